// One full-screen grab into a Bitmap, with and without MIT-SHM, against the bare XShmGetImage call
// into a segment that is already attached, and grabs that leave a window out, with 0, 1 and 20
// other windows about, against the plain grab. Needs a display (run it under
// tests/tools/with-xvfb).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/x11_grabber.h"
#include "support/bench_support.h"

using namespace fk;

int main() {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display: run under tests/tools/with-xvfb\n");
        return 1;
    }
    const int screen = DefaultScreen(dpy);
    const int width = DisplayWidth(dpy, screen), height = DisplayHeight(dpy, screen);
    XShmSegmentInfo info{};
    XImage* image =
        XShmCreateImage(dpy, DefaultVisual(dpy, screen), unsigned(DefaultDepth(dpy, screen)),
                        ZPixmap, nullptr, &info, unsigned(width), unsigned(height));
    info.shmid =
        shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
    info.shmaddr = image->data = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    XShmAttach(dpy, &info);
    XSync(dpy, False);
    shmctl(info.shmid, IPC_RMID, nullptr);

    const double bareMs = bench::medianMs(
        [&] { XShmGetImage(dpy, DefaultRootWindow(dpy), image, 0, 0, AllPlanes); }, 31);
    const double plainMs = bench::medianMs(
        [&] {
            XImage* i = XGetImage(dpy, DefaultRootWindow(dpy), 0, 0, unsigned(width),
                                  unsigned(height), AllPlanes, ZPixmap);
            XDestroyImage(i);
        },
        15);

    X11Grabber grabber;
    Bitmap picture;
    const double shmMs = bench::medianMs([&] { grabber.grabScreen(picture); }, 31);
    grabber.setShmEnabled(false);
    const double noShmMs = bench::medianMs([&] { grabber.grabScreen(picture); }, 15);
    Bitmap fresh;
    grabber.setShmEnabled(true);
    const double freshMs = bench::medianMs(
        [&] {
            Bitmap b;  // a new bitmap every time, as one shot makes it
            grabber.grabScreen(b);
        },
        15);

    // Leaving a window out, as while the transparency switch is on: the screen is read as it
    // shows, and the window's place is composed again on the server from what lies below and
    // above it. Beside it the plain grab, by a second grabber in turns with the first, while the
    // window's place holds 0, 1 or 20 other windows.
    const Window own =
        XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 100, 537, 333, 0, 0, 0x336699);
    XMapWindow(dpy, own);
    X11Grabber plain;
    grabber.setExcludedWindows({WindowHandle(own)});
    std::vector<Window> others;
    auto addOthers = [&](int count) {
        // Half of them over the window's place, half elsewhere, some on top of each other.
        while (int(others.size()) < count) {
            const int i = int(others.size());
            const int x = i % 2 ? 40 + 35 * i : 900 + 40 * i,
                      y = i % 2 ? 60 + 20 * i : 500 + 17 * i;
            const Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), x, y, 320, 200, 1, 0,
                                                 0x102030u * unsigned(i + 1));
            XMapWindow(dpy, w);
            others.push_back(w);
        }
        XSync(dpy, False);
    };
    Bitmap plainPicture;
    std::vector<std::pair<int, std::pair<double, double>>> leftOut;
    for (int count : {0, 1, 20}) {
        addOthers(count);
        leftOut.emplace_back(count,
                             bench::medianPairMs([&] { grabber.grabScreen(picture); },
                                                 [&] { plain.grabScreen(plainPicture); }, 31));
    }
    grabber.setExcludedWindows({});
    for (Window w : others)
        XDestroyWindow(dpy, w);
    XDestroyWindow(dpy, own);

    std::printf("screen %dx%d\n", width, height);
    bench::reportRatio("grab into a Bitmap, MIT-SHM", shmMs, "bare XShmGetImage", bareMs, 1.2);
    bench::reportRatio("grab into a new Bitmap, MIT-SHM", freshMs, "bare XShmGetImage", bareMs,
                       1.2);
    bench::reportRatio("grab into a Bitmap, no MIT-SHM", noShmMs, "bare XGetImage", plainMs, 1.2);
    for (const auto& [count, times] : leftOut)
        bench::reportRatio("grab leaving one window out, " + std::to_string(count) +
                               (count == 1 ? " other" : " others"),
                           times.first, "plain grab, MIT-SHM", times.second, 2.0);

    XShmDetach(dpy, &info);
    shmdt(info.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    XCloseDisplay(dpy);
    return 0;
}
