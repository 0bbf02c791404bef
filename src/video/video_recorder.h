#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "capture/capture.h"
#include "capture/format_choice.h"
#include "gif/changed_frame.h"

namespace fk {

// What the video reads from and shows in the main window besides the shots' settings.
class VideoHost {
public:
    virtual ~VideoHost() = default;
    // What the video list selects.
    virtual VideoEntry videoEntry() = 0;
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

class VideoRecording;
class TGIFImage;

// The video: the screen grabbed again and again until toggled off, into a looping animated GIF.
// The recording runs inside the command that started it; the command that stops it runs inside
// one of its pauses. What becomes of the grabs is the selected entry's (WholeRecording,
// CompactRecording); the toggle, the captions and controls, the grab loop and what a failure
// ends are the same for both.
class VideoRecorder {
public:
    static constexpr const char* kIdleCaption = "Съемка видео";
    static constexpr const char* kRecordingCaption = "СТОП!";
    static constexpr const char* kWaitCaption = "ЖДИТЕ!";
    // Frames of the compact entry wait in memory up to this size, then in a file.
    static constexpr size_t kCompactMemoryBytes = size_t(32) << 20;
    // No more of them wait than the encoders make in about this time.
    static constexpr int kCompactBacklogMs = 2000;

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
    // has gone): a compact video is completed up to its last whole frame, the frames of the
    // other entry are deleted. Returns what to tell the user, or an empty text when no video was
    // being made.
    std::string endWithoutDisplay();

    bool VideoOn = false;
    size_t compactMemoryBytes = kCompactMemoryBytes;
    int compactBacklogMs = kCompactBacklogMs;
    CompactColours compactColours = CompactColours::Exact;

private:
    std::unique_ptr<VideoRecording> makeRecording(VideoEntry entry, const std::string& name,
                                                  const TGIFImage& settings);
    // Grabs until VideoOn is cleared and writes the video; true when a wait ended because the
    // program closes.
    bool record(VideoRecording& recording, bool& assembling);
    void restoreControls(bool assembling);
    void startAssembling(int frames, bool& assembling);

    // The recording that runs, and the video's name.
    VideoRecording* m_underway = nullptr;
    std::string m_name;
    // Sets m_underway for as long as it lives.
    struct Underway {
        Underway(VideoRecording*& slot, VideoRecording& recording) : slot(slot) {
            slot = &recording;
        }
        ~Underway() { slot = nullptr; }
        VideoRecording*& slot;
    };

    Capture& m_capture;
    VideoHost& m_host;
    int m_workers;
};

}  // namespace fk
