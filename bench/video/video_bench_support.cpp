#include "video_bench_support.h"

#include <X11/Xutil.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace fk::bench {

double msSince(SteadyTime::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyTime::now() - start).count();
}

long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

Pixmap pixmapOf(Display* dpy, const Bitmap& picture, int left, int top, int w, int h) {
    const int screen = DefaultScreen(dpy);
    Pixmap pixmap = XCreatePixmap(dpy, RootWindow(dpy, screen), unsigned(w), unsigned(h), 24);
    XImage* image = XCreateImage(dpy, DefaultVisual(dpy, screen), 24, ZPixmap, 0, nullptr,
                                 unsigned(w), unsigned(h), 32, 0);
    image->data = static_cast<char*>(std::malloc(size_t(image->bytes_per_line) * size_t(h)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Color c = picture.pixel(left + x, top + y);
            XPutPixel(image, x, y, (unsigned long)(c.red) << 16 | c.green << 8 | c.blue);
        }
    GC gc = XCreateGC(dpy, pixmap, 0, nullptr);
    XPutImage(dpy, pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XFreeGC(dpy, gc);
    XDestroyImage(image);
    return pixmap;
}

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

SaveOptions BenchHost::saveOptions() {
    SaveOptions o;
    o.folder = folder;
    o.gifPalette = 3;
    o.counterText = counter;
    return o;
}

void BenchHost::setAssembling(bool on) {
    if (on) {
        assemblyStart = SteadyTime::now();
        cpuStart = cpuMs();
    } else {
        assemblyEnd = SteadyTime::now();
        assemblyMs = msSince(assemblyStart);
        assemblyCpuMs = cpuMs() - cpuStart;
    }
}

void CountingGrabber::grabScreen(Bitmap& into) {
    if (grabs == 0)
        firstGrab = SteadyTime::now();
    else if (rate > 0)
        std::this_thread::sleep_until(firstGrab +
                                      std::chrono::microseconds(int64_t(grabs) * 1000000 / rate));
    ++grabs;
    const auto start = SteadyTime::now();
    real.grabScreen(into);
    grabMs += msSince(start);
}

void SleepingPump::processEventsFor(int64_t maxWaitMs) {
    if (onWait)
        onWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
}

pid_t startScene(const char* what, const std::function<void(int)>& play) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        play(fds[1]);
    }
    close(fds[1]);
    char ok = 0;
    if (read(fds[0], &ok, 1) != 1) {
        std::fprintf(stderr, "%s did not start\n", what);
        std::exit(1);
    }
    close(fds[0]);
    return child;
}

void endScene(pid_t child) {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
}

}  // namespace fk::bench
