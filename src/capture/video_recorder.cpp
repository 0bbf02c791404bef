#include "capture/video_recorder.h"

#include <algorithm>
#include <memory>

#include "capture/frame_file.h"
#include "capture/naming.h"
#include "capture/video_gif.h"
#include "gif/gif_image.h"
#include "graphics/bitmap.h"

namespace fk {

void VideoRecorder::ToggleVideo() {
    const bool starting = !VideoOn;
    VideoOn = starting;
    if (starting) {
        m_host.setVideoCaption(kRecordingCaption);
        RecordVideo();
    } else {
        // The running recording finishes the rest.
        m_host.setVideoCaption(kWaitCaption);
        m_host.setMainWindowEnabled(false);
    }
}

void VideoRecorder::stop() {
    if (VideoOn)
        ToggleVideo();
}

void VideoRecorder::restoreControls(bool assembling) {
    m_host.setVideoCaption(kIdleCaption);
    m_host.setProgressPosition(0);
    m_host.setMainWindowEnabled(true);
    if (assembling)
        m_host.setAssembling(false);
}

void VideoRecorder::RecordVideo() {
    TGIFImage settings;
    CaptureHost& shots = m_capture.host();
    applyVideoSettings(settings, shots.saveOptions().gifPalette);
    ScreenGrabber& grabber = m_capture.grabber();
    std::unique_ptr<FrameFile> frames;
    bool assembling = false;
    bool closing = false;
    std::string name;
    try {
        std::string counter = shots.runningNumberText();
        name = BuildVideoFileName(shots.saveOptions().folder, counter, m_host.videoType());
        shots.setRunningNumberText(counter);
        frames = std::make_unique<FrameFile>(name + ".tmp");
        m_frames = frames.get();
        m_name = name;

        // One bitmap for every grab: a fresh screen-sized one per frame costs page faults.
        Bitmap frame;
        while (VideoOn) {
            grabber.grabScreen(frame);
            const ScreenRect screen = grabber.screenRect();
            m_capture.drawCursorIfAsked(frame, screen.x, screen.y);
            frames->append(frame);
            try {
                m_capture.Delay(kPauseMs);
            } catch (const EWaitsEnded&) {
                closing = true;
                VideoOn = false;
            }
        }
        frame = Bitmap();

        frames->checkWhole();
        const int count = frames->frameCount();
        m_host.setProgressMaximum(count);
        m_host.setMainWindowEnabled(false);
        m_host.setAssembling(true);
        assembling = true;

        const int delay = std::clamp(kSlowestSpeed - m_host.speedPosition(), 0, 0xFFFF);
        const FrameFile& file = *frames;
        VideoFrames source{count, [&file](int i, Bitmap& into) { file.readFrame(i, into); }};
        saveStreamToFile(name, [&](Stream& out) {
            StreamVideo(out, settings, source, delay, m_workers,
                        [this](int written) { m_host.setProgressPosition(written); });
        });
        frames->remove();
    } catch (...) {
        VideoOn = false;
        m_frames = nullptr;
        if (frames)
            frames->remove();
        frames.reset();
        restoreControls(assembling);
        throw;
    }
    m_frames = nullptr;
    frames.reset();
    restoreControls(assembling);
    shots.pictureSaved(name);
    if (closing)
        throw EWaitsEnded();
}

std::string VideoRecorder::abandon() {
    if (!m_frames)
        return {};
    m_frames->unlinkName();
    m_frames = nullptr;
    return m_name;
}

}  // namespace fk
