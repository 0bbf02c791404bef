#include "capture/video_recorder.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "capture/compact_pipeline.h"
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

void VideoRecorder::startAssembling(int frames, bool& assembling) {
    m_host.setProgressMaximum(frames);
    m_host.setMainWindowEnabled(false);
    m_host.setAssembling(true);
    assembling = true;
}

void VideoRecorder::RecordVideo() {
    TGIFImage settings;
    CaptureHost& shots = m_capture.host();
    applyVideoSettings(settings, shots.saveOptions().gifPalette);
    bool assembling = false;
    bool closing = false;
    std::string name;
    try {
        const std::string type = m_host.videoType();
        std::string counter = shots.runningNumberText();
        name = BuildVideoFileName(shots.saveOptions().folder, counter, type);
        shots.setRunningNumberText(counter);
        m_name = name;
        closing = type == kCompactEntry ? recordCompact(name, settings, assembling)
                                        : recordWhole(name, settings, assembling);
    } catch (const EVideoSavedInPart&) {
        VideoOn = false;
        restoreControls(assembling);
        shots.pictureSaved(name);
        throw;
    } catch (...) {
        VideoOn = false;
        restoreControls(assembling);
        throw;
    }
    restoreControls(assembling);
    shots.pictureSaved(name);
    if (closing)
        throw EWaitsEnded();
}

bool VideoRecorder::recordWhole(const std::string& name, const TGIFImage& settings,
                                bool& assembling) {
    ScreenGrabber& grabber = m_capture.grabber();
    FrameFile frames(name + ".tmp");
    const Underway underway(m_underway, [&frames] { frames.unlinkName(); });
    bool closing = false;
    {
        // One bitmap for every grab: a fresh screen-sized one per frame costs page faults.
        Bitmap frame;
        while (VideoOn) {
            grabber.grabScreen(frame);
            const ScreenRect screen = grabber.screenRect();
            m_capture.drawCursorIfAsked(frame, screen.x, screen.y);
            frames.append(frame);
            try {
                m_capture.Delay(kPauseMs);
            } catch (const EWaitsEnded&) {
                closing = true;
                VideoOn = false;
            }
        }
    }

    frames.checkWhole();
    const int count = frames.frameCount();
    startAssembling(count, assembling);

    const int delay = std::clamp(kSlowestSpeed - m_host.speedPosition(), 0, 0xFFFF);
    VideoFrames source{count, [&frames](int i, Bitmap& into) { frames.readFrame(i, into); }};
    saveStreamToFile(name, [&](Stream& out) {
        StreamVideo(out, settings, source, delay, m_workers,
                    [this](int written) { m_host.setProgressPosition(written); });
    });
    frames.remove();
    return closing;
}

std::string VideoRecorder::abandon() {
    if (!m_underway)
        return {};
    std::exchange(m_underway, {})();
    return m_name;
}

}  // namespace fk
