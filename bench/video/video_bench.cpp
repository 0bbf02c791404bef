// A 100-frame video of the whole screen (the shared screenshot shown as the root window's
// background), recorded and assembled as the program does it: the recording rate against the
// 30 frames a second it must keep up, the assembly time per frame against one still GIF shot of
// the same picture, and the peak memory against the idle size plus four frames per worker.
// Needs a 1920x1080 display (run it under tests/tools/with-xvfb).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "capture/video_recorder.h"
#include "gif/gif_image.h"
#include "platform/x11/x11_grabber.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

constexpr int kFrames = 100;
constexpr int kWorkers = 2;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The kB figure of one line of /proc/self/status.
long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// User and system time of all the process's threads.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Shows the picture as the root window's background.
void showOnRoot(Display* dpy, const Bitmap& picture) {
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    const int w = picture.width(), h = picture.height();
    Pixmap pixmap = XCreatePixmap(dpy, root, unsigned(w), unsigned(h), 24);
    XImage* image = XCreateImage(dpy, DefaultVisual(dpy, screen), 24, ZPixmap, 0, nullptr,
                                 unsigned(w), unsigned(h), 32, 0);
    image->data = static_cast<char*>(std::malloc(size_t(image->bytes_per_line) * size_t(h)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Color c = picture.pixel(x, y);
            XPutPixel(image, x, y, (unsigned long)(c.red) << 16 | c.green << 8 | c.blue);
        }
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XSetWindowBackgroundPixmap(dpy, root, pixmap);
    XClearWindow(dpy, root);
    XSync(dpy, False);
    XFreeGC(dpy, gc);
    XDestroyImage(image);
    XFreePixmap(dpy, pixmap);
}

// The window's controls, and the moments the recorder marks.
struct BenchHost final : CaptureHost, VideoHost {
    SaveOptions saveOptions() override {
        SaveOptions o;
        o.folder = folder;
        o.gifPalette = 3;
        o.counterText = counter;
        return o;
    }
    bool captureCursor() override { return false; }
    bool delayedShoot() override { return false; }
    std::string shotDelayText() override { return "0"; }
    void setShotDelayText(const std::string&) override {}
    std::string runningNumberText() override { return counter; }
    void setRunningNumberText(const std::string& t) override { counter = t; }
    std::string videoType() override { return "GIF"; }
    int speedPosition() override { return 10; }
    void setVideoCaption(const std::string&) override {}
    void setMainWindowEnabled(bool) override {}
    void setAssembling(bool on) override {
        if (on) {
            assemblyStart = Clock::now();
            cpuStart = cpuMs();
        } else {
            assemblyMs = msSince(assemblyStart);
            assemblyCpuMs = cpuMs() - cpuStart;
        }
    }
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}

    std::string folder;
    std::string counter = "0";
    Clock::time_point assemblyStart;
    double assemblyMs = 0;
    double cpuStart = 0;
    double assemblyCpuMs = 0;
};

// Counts the grabs and stops the video after the last one.
struct CountingGrabber final : ScreenGrabber {
    explicit CountingGrabber(X11Grabber& real) : real(real) {}
    ScreenRect screenRect() override { return real.screenRect(); }
    void grabScreen(Bitmap& into) override {
        if (grabs++ == 0)
            firstGrab = Clock::now();
        const auto start = Clock::now();
        real.grabScreen(into);
        grabMs += msSince(start);
    }
    std::optional<WindowHandle> foregroundWindow() override { return {}; }
    ScreenRect grabWindow(WindowHandle w, Bitmap& into) override {
        return real.grabWindow(w, into);
    }
    std::optional<CursorImage> cursor() override { return {}; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

    X11Grabber& real;
    int grabs = 0;
    double grabMs = 0;
    Clock::time_point firstGrab;
};

// Waits as the program's event loop does: asleep until the deadline.
struct SleepingPump final : EventPump {
    void processEventsFor(int64_t maxWaitMs) override {
        if (onWait)
            onWait();
        std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
    }
    std::function<void()> onWait;
};

}  // namespace

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display: run under tests/tools/with-xvfb\n");
        return 1;
    }
    {
        const Bitmap picture = bench::loadBenchPicture("screen-1080p.bmp");
        showOnRoot(dpy, picture);
    }
    const std::string folder = bench::scratchFile("video-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    X11Grabber x11;
    CountingGrabber grabber(x11);
    BenchHost host;
    host.folder = folder;
    SteadyClock clock;
    SleepingPump pump;
    Capture capture(grabber, host, clock, pump);
    VideoRecorder video(capture, host, kWorkers);
    double recordingMs = 0;
    pump.onWait = [&] {
        if (grabber.grabs == kFrames && video.VideoOn) {
            recordingMs = msSince(grabber.firstGrab);
            video.ToggleVideo();
        }
    };

    resetPeakMemory();
    const long idleKb = statusKb("VmRSS:");
    video.ToggleVideo();
    const long peakKb = statusKb("VmHWM:");
    const ScreenRect screen = x11.screenRect();
    const double frameMb = double(screen.width) * screen.height * 4 / (1 << 20);

    // One still GIF shot of the same screen, as the saving step writes it.
    const std::string still = folder + "/still.gif";
    const double stillCpuStart = cpuMs();
    const double stillMs = bench::medianMs(
        [&] {
            Bitmap shot;
            x11.grabScreen(shot);
            TGIFImage gif;
            gif.setDitherKind(dkBurkes);
            gif.setReductionKind(pkOctreeSystem);
            gif.AssignBitmap(shot);
            gif.WriteToFile(still);
        },
        5);
    const double stillCpuMs = (cpuMs() - stillCpuStart) / 6;  // a warm-up run and five
    const double videoBytes = double(std::filesystem::file_size(folder + "/video_0.gif"));
    std::filesystem::remove_all(folder);

    const double periodMs = recordingMs / (kFrames - 1);
    std::printf("screen %dx%d, %d frames, %d workers, video %.1f MB\n", screen.width, screen.height,
                kFrames, kWorkers, videoBytes / (1 << 20));
    std::printf("recording: %.1f frames/s; per frame %.1f ms grab, %.1f ms file write and pause\n",
                1000.0 / periodMs, grabber.grabMs / kFrames, periodMs - grabber.grabMs / kFrames);
    std::printf(
        "assembly: %.1f ms per frame, %.1f ms of processor time per frame (%.2f cores busy)\n",
        host.assemblyMs / kFrames, host.assemblyCpuMs / kFrames,
        host.assemblyCpuMs / host.assemblyMs);
    bench::reportRatio("recording, time per frame", periodMs, "1/30 s", 1000.0 / 30, 1.0);
    bench::reportRatio("assembly, time per frame", host.assemblyMs / kFrames,
                       "one still GIF shot of the same screen", stillMs, 0.6);
    // The work itself, which no number of cores changes; on a machine shared with other work
    // the time above also shows how many cores the workers got.
    bench::reportRatio("assembly, processor time per frame", host.assemblyCpuMs / kFrames,
                       "one still GIF shot, processor time", stillCpuMs, 1.1);
    const double addedMb = double(peakKb - idleKb) / 1024;
    std::printf("memory: idle %.0f MB, peak %.0f MB, added %.0f MB (%.1f frames of %.1f MB)\n",
                idleKb / 1024.0, peakKb / 1024.0, addedMb, addedMb / frameMb, frameMb);
    bench::reportRatio("peak memory above idle, MB", addedMb, "4 frames per worker, MB",
                       4 * kWorkers * frameMb, 1.0);
    XCloseDisplay(dpy);
    return 0;
}
