// The compact video on a scripted desktop (a terminal typing, a photo window dragged across the
// screen; the same scene for every figure), recorded as the program records it:
//   size: against the "GIF" entry's file of the same scene at the same frame rate, and what a
//         still screen adds per second;
//   rate: grabs per second kept while the frames are encoded;
//   finish: from the stop press of a long recording to the complete file;
//   resources: peak memory (VmHWM) and the disk the frame store takes per recorded second, also
//         with every frame sent through the store.
// Needs a 1920x1080 display (run it under tests/tools/with-xvfb).
//
//   bench_video_compact [seconds of the long recording, default 60] [photo]
// With "photo" the dragged window shows a photo instead of the spreadsheet.
#include <X11/Xlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "desktop_scene.h"
#include "platform/x11/x11_grabber.h"
#include "support/bench_support.h"
#include "video/video_recorder.h"
#include "video_bench_support.h"

using namespace fk;
using namespace fk::bench;

namespace {

constexpr int kWorkers = 2;

struct Recording {
    double seconds = 0;  // from the first grab to the stop press
    int grabs = 0;
    double finishMs = 0;  // from the stop press to the written file
    uint64_t fileBytes = 0;
    long peakKb = 0;  // VmHWM
    long idleKb = 0;  // resident size before
    uint64_t peakStoreBytes = 0;
    double grabMs = 0;  // per grab
};

uint64_t diskBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_blocks) * 512 : 0;
}

// Records `seconds` of the display with the given entry and rate. `limitRate` grabs the
// "GIF" entry at that rate too.
Recording record(VideoEntry entry, int rate, double seconds, size_t storeMemory,
                 bool limitRate = false) {
    const std::string folder = scratchFile("video-compact-bench");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    X11Grabber x11;
    CountingGrabber grabber(x11);
    if (limitRate)
        grabber.rate = rate;
    BenchHost host;
    host.folder = folder;
    host.entry = entry;
    host.speed = rate;
    SteadyClock clock;
    SleepingPump pump;
    Capture capture(grabber, host, clock, pump);
    VideoRecorder video(capture, host, kWorkers);
    video.compactMemoryBytes = storeMemory;
    const std::string name = folder + "/video_0.gif";
    Recording result;
    SteadyTime::time_point stop;
    pump.onWait = [&] {
        result.peakStoreBytes = std::max(result.peakStoreBytes, diskBytes(name + ".tmp"));
        if (video.VideoOn && grabber.grabs > 0 && msSince(grabber.firstGrab) >= seconds * 1000) {
            stop = SteadyTime::now();
            result.seconds = msSince(grabber.firstGrab) / 1000;
            result.grabs = grabber.grabs;
            video.ToggleVideo();
        }
    };
    resetPeakMemory();
    result.idleKb = statusKb("VmRSS:");
    video.ToggleVideo();
    result.finishMs = msSince(stop);
    result.peakKb = statusKb("VmHWM:");
    result.fileBytes = std::filesystem::file_size(name);
    result.grabMs = grabber.grabMs / grabber.grabs;
    std::filesystem::remove_all(folder);
    return result;
}

void describe(const char* what, const Recording& r) {
    std::printf(
        "%s: %.1f s, %d grabs (%.1f/s, %.1f ms each), file %.2f MB (%.1f kB/s), finished %.0f ms "
        "after the stop, VmHWM %.0f MB (idle %.0f MB), store at most %.2f MB\n",
        what, r.seconds, r.grabs, r.grabs / r.seconds, r.grabMs, r.fileBytes / 1048576.0,
        r.fileBytes / 1024.0 / r.seconds, r.finishMs, r.peakKb / 1024.0, r.idleKb / 1024.0,
        r.peakStoreBytes / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
    const double longSeconds = argc > 1 ? std::atof(argv[1]) : 60;
    const auto window = argc > 2 && std::string(argv[2]) == "photo"
                            ? DesktopScene::Window::Photo
                            : DesktopScene::Window::Spreadsheet;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display: run under tests/tools/with-xvfb\n");
        return 1;
    }
    const int width = DisplayWidth(dpy, DefaultScreen(dpy));
    const int height = DisplayHeight(dpy, DefaultScreen(dpy));
    XCloseDisplay(dpy);
    std::printf("screen %dx%d, %d workers\n", width, height, kWorkers);
    const size_t memory = VideoRecorder::kCompactMemoryBytes;

    // Size: both entries on the same 10 s of the scene at 10 frames a second.
    Recording compact10, whole10;
    {
        DesktopScene scene(DesktopScene::Motion::Playing, window);
        compact10 = record(VideoEntry::Compact, 10, 10, memory);
    }
    {
        DesktopScene scene(DesktopScene::Motion::Playing, window);
        whole10 = record(VideoEntry::Whole, 10, 10, memory, true);
    }
    describe("compact, 10/s", compact10);
    describe("GIF, 10/s", whole10);
    reportRatio("file size per second, compact", compact10.fileBytes / compact10.seconds,
                "the GIF entry at the same rate", whole10.fileBytes / whole10.seconds, 0.2, "B/s");

    // A still screen: what each second adds to the first frame.
    Recording still2, still12;
    {
        DesktopScene scene(DesktopScene::Motion::Still, window);
        still2 = record(VideoEntry::Compact, 30, 2, memory);
        still12 = record(VideoEntry::Compact, 30, 12, memory);
    }
    const double stillPerSecond =
        (double(still12.fileBytes) - double(still2.fileBytes)) / (still12.seconds - still2.seconds);
    std::printf("still screen: %.0f bytes for 2 s, %.0f bytes for 12 s: %.1f bytes a second\n",
                double(still2.fileBytes), double(still12.fileBytes), stillPerSecond);
    reportRatio("a still screen's bytes per second", stillPerSecond, "the scene's, compact",
                compact10.fileBytes / compact10.seconds, 0.01, "B/s");

    // The long recording at 30 and at 50 grabs a second, and with every frame through the store.
    Recording long30, long50, stored;
    {
        DesktopScene scene(DesktopScene::Motion::Playing, window);
        long30 = record(VideoEntry::Compact, 30, longSeconds, memory);
    }
    {
        DesktopScene scene(DesktopScene::Motion::Playing, window);
        long50 = record(VideoEntry::Compact, 50, longSeconds, memory);
    }
    {
        DesktopScene scene(DesktopScene::Motion::Playing, window);
        stored = record(VideoEntry::Compact, 30, longSeconds / 3, 0);
    }
    describe("compact, 30/s", long30);
    describe("compact, 50/s", long50);
    describe("compact, 30/s, every frame through the store", stored);
    reportRatio("time per grab at 30/s", long30.seconds * 1000 / long30.grabs, "1/25 s", 40, 1.0);
    reportRatio("time per grab at 50/s", long50.seconds * 1000 / long50.grabs, "1/25 s", 40, 1.0);
    reportRatio("finish after the stop at 30/s", long30.finishMs, "3 s", 3000, 1.0);
    reportRatio("finish after the stop at 50/s", long50.finishMs, "3 s", 3000, 1.0);
    reportRatio("peak memory (VmHWM) at 50/s", long50.peakKb / 1024.0, "150 MB", 150, 1.0, "MB");
    reportRatio("store per recorded second", stored.peakStoreBytes / 1048576.0 / stored.seconds,
                "5 MB a second", 5, 1.0, "MB/s");
    return 0;
}
