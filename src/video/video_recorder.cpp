#include "video/video_recorder.h"

#include <exception>
#include <utility>

#include "base/exceptions.h"
#include "capture/naming.h"
#include "capture/save_capture.h"
#include "gif/gif_image.h"
#include "graphics/bitmap.h"
#include "video/compact_recording.h"
#include "video/video_gif.h"
#include "video/whole_recording.h"

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
        const VideoEntry entry = m_host.videoEntry();
        std::string counter = shots.runningNumberText();
        const std::string folder = shots.saveOptions().folder;
        name = BuildVideoFileName(folder, counter, entry);
        shots.setRunningNumberText(counter);
        checkOutputFolder(folder, name);
        m_name = name;
        closing = record(*makeRecording(entry, name, settings), assembling);
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

std::unique_ptr<VideoRecording> VideoRecorder::makeRecording(VideoEntry entry,
                                                             const std::string& name,
                                                             const TGIFImage& settings) {
    if (entry == VideoEntry::Compact)
        return std::make_unique<CompactRecording>(name, settings, m_host.speedPosition(), m_workers,
                                                  compactMemoryBytes, compactBacklogMs,
                                                  compactColours);
    return std::make_unique<WholeRecording>(name, settings, m_host, m_workers);
}

bool VideoRecorder::record(VideoRecording& recording, bool& assembling) {
    const Underway underway(m_underway, recording);
    Clock& clock = m_capture.clock();
    ScreenGrabber& grabber = m_capture.grabber();
    bool closing = false;
    std::exception_ptr failure;
    try {
        // One bitmap for every grab: a fresh screen-sized one per frame costs page faults.
        Bitmap screen;
        const int64_t start = clock.nowMs();
        while (VideoOn) {
            recording.check();
            const int64_t grabbed = clock.nowMs();
            if (recording.wantsGrab()) {
                grabber.grabScreen(screen);
                const ScreenRect rect = grabber.screenRect();
                m_capture.drawCursorIfAsked(screen, rect.x, rect.y);
                recording.add(screen, grabbed);
            }
            try {
                m_capture.Delay(recording.pauseMs(start, grabbed, clock.nowMs()));
            } catch (const EWaitsEnded&) {
                closing = true;
                VideoOn = false;
            }
        }
        recording.stopped(clock.nowMs());
    } catch (...) {
        VideoOn = false;
        failure = std::current_exception();
    }
    recording.write(failure, {[&](int frames) { startAssembling(frames, assembling); },
                              [this](int done) { m_host.setProgressPosition(done); }});
    return closing;
}

std::string VideoRecorder::endWithoutDisplay() {
    VideoRecording* recording = std::exchange(m_underway, nullptr);
    if (!recording)
        return {};
    VideoOn = false;
    return recording->endWithoutDisplay(m_name, m_capture.clock().nowMs());
}

std::string VideoRecording::endWithoutDisplay(const std::string& name, int64_t) {
    abandon();
    return formatMessage("The video \"%s\" was not written: the recording ended with the display",
                         {name});
}

}  // namespace fk
