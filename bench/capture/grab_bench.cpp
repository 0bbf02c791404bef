// One full-screen grab into a Bitmap, with and without MIT-SHM, against the bare XShmGetImage call
// into a segment that is already attached, and one that leaves a window out against the plain
// grab. Needs a display (run it under tests/tools/with-xvfb).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>

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

    // With a window left out, as while the transparency switch is on: the screen is composed from
    // the other windows on the server (two full-screen copies before the read), and the window's
    // frame is looked up at every grab.
    Window own = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 100, 537, 333, 0, 0, 0);
    XMapWindow(dpy, own);
    XSync(dpy, False);
    grabber.setExcludedWindows({WindowHandle(own)});
    const double leftOutMs = bench::medianMs([&] { grabber.grabScreen(picture); }, 31);
    grabber.setExcludedWindows({});
    XDestroyWindow(dpy, own);

    std::printf("screen %dx%d\n", width, height);
    bench::reportRatio("grab into a Bitmap, MIT-SHM", shmMs, "bare XShmGetImage", bareMs, 1.2);
    bench::reportRatio("grab into a new Bitmap, MIT-SHM", freshMs, "bare XShmGetImage", bareMs,
                       1.2);
    bench::reportRatio("grab into a Bitmap, no MIT-SHM", noShmMs, "bare XGetImage", plainMs, 1.2);
    bench::reportRatio("grab leaving one window out", leftOutMs, "grab into a Bitmap, MIT-SHM",
                       shmMs, 4.0);

    XShmDetach(dpy, &info);
    shmdt(info.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    XCloseDisplay(dpy);
    return 0;
}
