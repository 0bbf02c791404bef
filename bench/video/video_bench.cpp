// A 100-frame video of the whole screen (the shared screenshot shown as the root window's
// background), recorded and assembled as the program does it: the recording rate against the
// 30 frames a second it must keep up, the assembly time per frame against one still GIF shot of
// the same picture, and the peak memory against the idle size plus four frames per worker.
// Needs a 1920x1080 display (run it under tests/tools/with-xvfb).
#include <X11/Xlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "gif/gif_image.h"
#include "platform/x11/x11_grabber.h"
#include "support/bench_support.h"
#include "video/video_recorder.h"
#include "video_bench_support.h"

using namespace fk;

namespace {

constexpr int kFrames = 100;
constexpr int kWorkers = 2;

using bench::BenchHost;
using bench::CountingGrabber;
using bench::cpuMs;
using bench::msSince;
using bench::SleepingPump;
using bench::statusKb;

}  // namespace

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display: run under tests/tools/with-xvfb\n");
        return 1;
    }
    {
        const Bitmap picture = bench::loadBenchPicture("screen-1080p.bmp");
        bench::showOnRoot(dpy, picture);
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

    bench::resetPeakMemory();
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
