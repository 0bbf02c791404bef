// The compact video against the GIF recorders a Linux user picks, on the scene they are compared
// on (StepScene: a plain desktop, a terminal printing a line every 0.3 s, a window dragged in
// 0.1 s steps, then 0.5 s of stillness; 10 s at 10 grabs a second). For the compact entry with
// this build's colours and with the previous method's, and for byzanz-record --delay 0 and ffmpeg
// (x11grab to lossless, then palettegen and paletteuse) where they are installed, it prints the
// file's size and bytes per second, the time from the stop to the file, the CPU time, and the
// last frame's PSNR, mean difference and stale pixels against the final screen (stale: the screen
// shows the plain desktop colour there and the frame is more than 30 levels away); for the
// compact entry also the peak memory and the worst PSNR of every 10th grab against the frame the
// animation shows at its time.
// Needs a 1920x1080 display (run it under tests/tools/with-xvfb).
//
//   bench_video_fidelity [photo] [ours]
// With "ours" only this build's compact video is recorded.
#include <X11/Xlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "fidelity.h"
#include "platform/x11/x11_grabber.h"
#include "step_scene.h"
#include "support/bench_support.h"
#include "video/video_recorder.h"
#include "video_bench_support.h"

using namespace fk;
using namespace fk::bench;

namespace {

constexpr int kWorkers = 2;
constexpr int kRate = 10;
constexpr int kSeconds = 10;
constexpr int kMovingMs = 9500;
constexpr int kEveryNth = 10;

// Keeps every nth grab, with its moment, in a scratch file (not in memory, which is measured).
struct KeepingGrabber final : ScreenGrabber {
    KeepingGrabber(ScreenGrabber& real, Clock& clock, GrabLog& log)
        : real(real), clock(clock), log(log) {}
    ScreenRect screenRect() override { return real.screenRect(); }
    void grabScreen(Bitmap& into) override {
        const int64_t now = clock.nowMs();
        if (grabs == 0)
            first = now;
        real.grabScreen(into);
        if (grabs++ % kEveryNth == 0)
            log.keep(into, now - first);
    }
    std::optional<WindowHandle> foregroundWindow() override { return {}; }
    ScreenRect grabWindow(WindowHandle w, Bitmap& into) override {
        return real.grabWindow(w, into);
    }
    std::optional<CursorImage> cursor() override { return {}; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

    ScreenGrabber& real;
    Clock& clock;
    GrabLog& log;
    int grabs = 0;
    int64_t first = 0;
};

Outcome recordCompact(StepScene::Window window, CompactColours colours, const std::string& folder,
                      GrabLog& log) {
    StepScene scene(window, kMovingMs);
    X11Grabber x11;
    SteadyClock clock;
    KeepingGrabber grabber(x11, clock, log);
    BenchHost host;
    host.folder = folder;
    host.entry = VideoEntry::Compact;
    host.speed = kRate;
    SleepingPump pump;
    Capture capture(grabber, host, clock, pump);
    VideoRecorder video(capture, host, kWorkers);
    video.compactColours = colours;
    Outcome result;
    result.file = folder + "/video_0.gif";
    SteadyTime::time_point start, stop;
    pump.onWait = [&] {
        if (video.VideoOn && grabber.grabs > 0 && msSince(start) >= kSeconds * 1000) {
            stop = SteadyTime::now();
            video.ToggleVideo();
        }
    };
    resetPeakMemory();
    const double cpuStart = cpuMs();
    start = SteadyTime::now();
    video.ToggleVideo();
    result.finishMs = msSince(stop);
    result.cpuMs = cpuMs() - cpuStart;
    result.peakKb = statusKb("VmHWM:");
    x11.grabScreen(result.finalScreen);
    return result;
}

void print(const char* what, const Outcome& o) {
    if (o.bytes == 0) {
        std::printf("%-34s %s\n", what, o.note.c_str());
        return;
    }
    std::printf("%-34s %10llu B %8.1f kB/s  finish %6.0f ms  CPU %6.0f ms", what,
                (unsigned long long)o.bytes, o.bytes / 1024.0 / kSeconds, o.finishMs, o.cpuMs);
    if (o.peakKb > 0)
        std::printf("  VmHWM %4.0f MB", o.peakKb / 1024.0);
    std::printf("\n%-34s last frame: PSNR %5.2f dB, mean diff %4.2f, stale %d", "", o.last.psnr,
                o.last.meanDifference, o.last.stale);
    if (o.grabsCompared > 0)
        std::printf("; every %dth grab (%d): worst PSNR %5.2f dB", kEveryNth, o.grabsCompared,
                    o.worstGrabPsnr);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    bool photo = false, ours = false;
    for (int i = 1; i < argc; ++i) {
        photo = photo || std::string(argv[i]) == "photo";
        ours = ours || std::string(argv[i]) == "ours";
    }
    const auto window = photo ? StepScene::Window::Photo : StepScene::Window::Spreadsheet;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display: run under tests/tools/with-xvfb\n");
        return 1;
    }
    const int width = DisplayWidth(dpy, DefaultScreen(dpy));
    const int height = DisplayHeight(dpy, DefaultScreen(dpy));
    XCloseDisplay(dpy);
    std::printf("screen %dx%d, %d workers, %d s at %d grabs a second\n", width, height, kWorkers,
                kSeconds, kRate);
    const std::string folder = scratchFile("video-fidelity-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    const struct {
        const char* name;
        CompactColours colours;
    } methods[] = {{"compact (this build)", CompactColours::Exact},
                   {"compact (previous method)", CompactColours::Reduced}};
    Outcome compact[2];
    const int methodCount = ours ? 1 : 2;
    for (int m = 0; m < methodCount; ++m) {
        GrabLog log(folder + "/grabs.raw");
        compact[m] = recordCompact(window, methods[m].colours, folder, log);
        judge(compact[m], StepScene::kDesktop, &log);
        std::filesystem::rename(compact[m].file, folder + "/compact" + std::to_string(m) + ".gif");
    }
    if (ours) {
        print(methods[0].name, compact[0]);
        return 0;
    }
    Outcome byzanz, ffmpeg;
    {
        StepScene scene(window, kMovingMs);
        byzanz = recordWithByzanz(folder, width, height, kSeconds);
        X11Grabber().grabScreen(byzanz.finalScreen);
    }
    judge(byzanz, StepScene::kDesktop, nullptr);
    {
        StepScene scene(window, kMovingMs);
        ffmpeg = recordWithFfmpeg(folder, width, height, kSeconds, kRate);
        X11Grabber().grabScreen(ffmpeg.finalScreen);
    }
    judge(ffmpeg, StepScene::kDesktop, nullptr);

    for (int m = 0; m < 2; ++m)
        print(methods[m].name, compact[m]);
    print("byzanz-record --delay 0", byzanz);
    print("ffmpeg palettegen/paletteuse", ffmpeg);
    if (byzanz.bytes > 0)
        reportRatio("file size, compact", double(compact[0].bytes), "byzanz", double(byzanz.bytes),
                    0.8, "B");
    if (byzanz.cpuMs > 0)
        reportRatio("CPU, compact", compact[0].cpuMs, "byzanz", byzanz.cpuMs, 1.0);
    if (ffmpeg.bytes > 0)
        reportRatio("last frame's PSNR, ffmpeg", ffmpeg.last.psnr, "compact", compact[0].last.psnr,
                    1.0, "dB");
    reportRatio("finish after the stop, compact", compact[0].finishMs, "0.3 s", 300, 1.0);
    reportRatio("peak memory, compact", compact[0].peakKb / 1024.0, "150 MB", 150, 1.0, "MB");
    return 0;
}
