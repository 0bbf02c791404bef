#pragma once

#include <string>

#include "capture/capture.h"

namespace fk {

class FrameFile;

// What the video reads from and shows in the main window besides the shots' settings.
class VideoHost {
public:
    virtual ~VideoHost() = default;
    // The selected entry of the video type list; empty when none is selected.
    virtual std::string videoType() = 0;
    // The speed slider's position, 5..50.
    virtual int speedPosition() = 0;
    virtual void setVideoCaption(const std::string& caption) = 0;
    virtual void setMainWindowEnabled(bool enabled) = 0;
    // While on, the busy cursor shows and hot keys wait until it is off; no events are
    // dispatched meanwhile.
    virtual void setAssembling(bool on) = 0;
    // The progress bar counts frames. A new position is shown at once, without dispatching
    // events.
    virtual void setProgressMaximum(int frames) = 0;
    virtual void setProgressPosition(int frames) = 0;
};

// The video: the screen grabbed again and again into a temporary file of frames until toggled
// off, then assembled into a looping animated GIF. The recording runs inside the command that
// started it; the command that stops it runs inside one of its pauses.
class VideoRecorder {
public:
    static constexpr const char* kIdleCaption = "Съемка видео";
    static constexpr const char* kRecordingCaption = "СТОП!";
    static constexpr const char* kWaitCaption = "ЖДИТЕ!";
    static constexpr int kPauseMs = 5;
    static constexpr int kSlowestSpeed = 50;

    // `workers` threads assemble the frames.
    VideoRecorder(Capture& capture, VideoHost& host, int workers)
        : m_capture(capture), m_host(host), m_workers(workers) {}

    // Starts a video and returns when it has been written, or stops the running one.
    void ToggleVideo();
    // Stops a running recording at its next pause; it is then written (used when closing).
    void stop();
    // Records until VideoOn is cleared, then writes the video. A wait ended because the program
    // closes stops the recording too: the video is written, then the end of waits goes on.
    void RecordVideo();
    // For a process that ends from inside a recording and never comes back to it (the display
    // has gone): deletes the recorded frames. Returns the name of the video that is then not
    // written, or an empty text when no video was being made.
    std::string abandon();

    bool VideoOn = false;

private:
    void restoreControls(bool assembling);

    // The frames and name of the video being made, while RecordVideo runs.
    FrameFile* m_frames = nullptr;
    std::string m_name;

    Capture& m_capture;
    VideoHost& m_host;
    int m_workers;
};

}  // namespace fk
