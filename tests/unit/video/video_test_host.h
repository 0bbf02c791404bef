#pragma once

#include <functional>
#include <string>
#include <vector>

#include "capture/capture_host.h"
#include "platform/fake/fake_platform.h"
#include "video/video_recorder.h"

namespace fk::test {

// The main window's controls as the video sees them; every change is logged in order.
struct FakeVideoHost final : CaptureHost, VideoHost {
    SaveOptions saveOptions() override {
        SaveOptions o;
        o.folder = folder;
        o.mask = "ignored_##.jpg";
        o.gifPalette = palette;
        o.counterText = counter;
        return o;
    }
    bool captureCursor() override { return cursor; }
    bool delayedShoot() override { return false; }
    std::string shotDelayText() override { return "0"; }
    void setShotDelayText(const std::string&) override {}
    std::string runningNumberText() override { return counter; }
    void setRunningNumberText(const std::string& t) override {
        counter = t;
        log.push_back("number " + t);
    }
    void pictureSaved(const std::string& path) override { saved.push_back(path); }

    VideoEntry videoEntry() override { return entry; }
    int speedPosition() override { return speed; }
    void setVideoCaption(const std::string& c) override { log.push_back("caption " + c); }
    void setMainWindowEnabled(bool on) override { log.push_back(on ? "enable" : "disable"); }
    void setAssembling(bool on) override {
        busy = on;
        log.push_back(on ? "busy" : "idle");
        if (on && clock)
            assemblyStartMs = clock->now;
    }
    void setProgressMaximum(int n) override { log.push_back("maximum " + std::to_string(n)); }
    void setProgressPosition(int n) override {
        // While the frames are assembled a position comes again to repaint the window.
        if (lastProgress != n || (n == 0 && !busy))
            log.push_back("progress " + std::to_string(n));
        lastProgress = n;
    }

    std::string folder;
    std::string counter = "7";
    VideoEntry entry = VideoEntry::Whole;
    int palette = 3;
    int speed = 10;
    bool cursor = false;
    int lastProgress = 0;  // the bar starts empty
    bool busy = false;
    const FakeClock* clock = nullptr;
    int64_t assemblyStartMs = -1;
    std::vector<std::string> log;
    std::vector<std::string> saved;
};

// A way a recording fails: what is arranged before it starts, and a piece of the error it gives.
template <typename Rig>
struct FailureCase {
    const char* name;
    std::function<void(Rig&)> arrange;
    const char* message;
};

}  // namespace fk::test
