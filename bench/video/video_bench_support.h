#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

#include "graphics/bitmap.h"
#include "platform/screen_grabber.h"
#include "video/video_recorder.h"

namespace fk::bench {

using SteadyTime = std::chrono::steady_clock;

double msSince(SteadyTime::time_point start);
// Plays a scene in a child process: `play` writes a byte to its descriptor once the scene shows,
// which this waits for. endScene stops the child.
pid_t startScene(const char* what, const std::function<void(int)>& play);
void endScene(pid_t child);
// The kB figure of one line of /proc/self/status ("VmRSS:", "VmHWM:").
long statusKb(const char* key);
// User and system time of all the process's threads.
double cpuMs();
// Starts VmHWM afresh from the resident size now.
void resetPeakMemory();

// A pixmap of the display holding the w x h piece of `picture` at (left, top).
Pixmap pixmapOf(Display* dpy, const Bitmap& picture, int left, int top, int w, int h);
// Shows the picture as the root window's background.
void showOnRoot(Display* dpy, const Bitmap& picture);

// The window's controls, and the moments the recorder marks.
struct BenchHost final : CaptureHost, VideoHost {
    SaveOptions saveOptions() override;
    bool captureCursor() override { return false; }
    bool delayedShoot() override { return false; }
    std::string shotDelayText() override { return "0"; }
    void setShotDelayText(const std::string&) override {}
    std::string runningNumberText() override { return counter; }
    void setRunningNumberText(const std::string& t) override { counter = t; }
    VideoEntry videoEntry() override { return entry; }
    int speedPosition() override { return speed; }
    void setVideoCaption(const std::string&) override {}
    void setMainWindowEnabled(bool) override {}
    void setAssembling(bool on) override;
    void setProgressMaximum(int frames) override { backlog = frames; }
    void setProgressPosition(int) override {}

    std::string folder;
    std::string counter = "0";
    VideoEntry entry = VideoEntry::Whole;
    int speed = 10;
    int backlog = 0;
    SteadyTime::time_point assemblyStart;
    SteadyTime::time_point assemblyEnd;
    double assemblyMs = 0;
    double cpuStart = 0;
    double assemblyCpuMs = 0;
};

// Counts the grabs; with a rate, waits for the rate's next tick before each.
struct CountingGrabber final : ScreenGrabber {
    explicit CountingGrabber(ScreenGrabber& real) : real(real) {}
    ScreenRect screenRect() override { return real.screenRect(); }
    void grabScreen(Bitmap& into) override;
    std::optional<WindowHandle> foregroundWindow() override { return {}; }
    ScreenRect grabWindow(WindowHandle w, Bitmap& into) override {
        return real.grabWindow(w, into);
    }
    std::optional<CursorImage> cursor() override { return {}; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

    ScreenGrabber& real;
    int rate = 0;
    int grabs = 0;
    double grabMs = 0;
    SteadyTime::time_point firstGrab;
};

// Waits as the program's event loop does: asleep until the deadline.
struct SleepingPump final : EventPump {
    void processEventsFor(int64_t maxWaitMs) override;
    std::function<void()> onWait;
};

}  // namespace fk::bench
