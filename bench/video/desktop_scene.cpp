#include "desktop_scene.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/bench_support.h"
#include "video_bench_support.h"

namespace fk::bench {

namespace {

constexpr int kTermLeft = 60, kTermTop = 80, kTermWidth = 820, kTermHeight = 500;
constexpr int kDragWidth = 640, kDragHeight = 400;
constexpr int kLineHeight = 16, kCharWidth = 9, kMargin = 6;
constexpr int kTickMs = 16;
constexpr int kTypeEveryMs = 60;

// The text the terminal types: compiler-like output, the same every run.
char typedChar(long n) {
    static const std::string text =
        "$ cmake --build --preset release -j2\n"
        "[12/154] Building CXX object src/gif/CMakeFiles/fotokran_gif.dir/lzw_encoder.cpp.o\n"
        "[13/154] Building CXX object src/capture/CMakeFiles/fotokran_capture.dir/capture.cpp.o\n"
        "warning: unused parameter 'frame' [-Wunused-parameter]\n"
        "[14/154] Linking CXX static library src/gif/libfotokran_gif.a\n"
        "$ ls -la shots/\ntotal 4120\n-rw-r--r-- 1 user user  671234 scr_001.gif\n"
        "-rw-r--r-- 1 user user 1203311 scr_002.png\n$ ";
    return text[size_t(n) % text.size()];
}

[[noreturn]] void play(DesktopScene::Motion motion, DesktopScene::Window window, int ready) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        _exit(2);
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    const unsigned long black = BlackPixel(dpy, screen);
    const Bitmap wallpaper = loadBenchPicture("screen-1080p.bmp");
    showOnRoot(dpy, wallpaper);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;

    Window term =
        XCreateWindow(dpy, root, kTermLeft, kTermTop, kTermWidth, kTermHeight, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    Pixmap screenText = XCreatePixmap(dpy, root, kTermWidth, kTermHeight, 24);
    GC gc = XCreateGC(dpy, screenText, 0, nullptr);
    XSetForeground(dpy, gc, black);
    XFillRectangle(dpy, screenText, gc, 0, 0, kTermWidth, kTermHeight);
    XSetWindowBackgroundPixmap(dpy, term, screenText);
    XFontStruct* font = XLoadQueryFont(dpy, "fixed");
    if (font)
        XSetFont(dpy, gc, font->fid);

    Window drag = XCreateWindow(dpy, root, 300, 450, kDragWidth, kDragHeight, 0, CopyFromParent,
                                InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    // The spreadsheet window of the screenshot, or a piece of the photo.
    Pixmap picture =
        window == DesktopScene::Window::Photo
            ? pixmapOf(dpy, loadBenchPicture("photo-1080p.bmp"), 600, 300, kDragWidth, kDragHeight)
            : pixmapOf(dpy, wallpaper, 562, 596, kDragWidth, kDragHeight);
    XSetWindowBackgroundPixmap(dpy, drag, picture);
    XMapRaised(dpy, term);
    XMapRaised(dpy, drag);
    XSync(dpy, False);
    const char ok = 1;
    if (write(ready, &ok, 1) != 1)
        _exit(2);

    const int lines = (kTermHeight - 2 * kMargin) / kLineHeight;
    const int columns = (kTermWidth - 2 * kMargin) / kCharWidth;
    int row = 0, column = 0;
    long typed = 0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long tick = 0;; ++tick) {
        next.tv_nsec += kTickMs * 1000000L;
        if (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        if (motion == DesktopScene::Motion::Still)
            continue;
        const double t = double(tick * kTickMs) / 1000;
        // To and fro across the screen in 6 s, up and down every 4 s.
        const double phase = std::fmod(t / 6, 1.0);
        const int x = 200 + int(1000 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase));
        const int y = 420 + int(220 * std::sin(2 * M_PI * t / 4));
        XMoveWindow(dpy, drag, x, y);

        const long due = tick * kTickMs / kTypeEveryMs;
        for (; typed < due; ++typed) {
            const char c = typedChar(typed);
            XSetForeground(dpy, gc, 0xC0FFC0);
            if (c != '\n') {
                char one[1] = {c};
                const int px = kMargin + column * kCharWidth;
                const int py = kMargin + (row + 1) * kLineHeight - 4;
                if (font)
                    XDrawString(dpy, screenText, gc, px, py, one, 1);
                else
                    XFillRectangle(dpy, screenText, gc, px, py - 10, kCharWidth - 2, 10);
                ++column;
            }
            if (c == '\n' || column == columns) {
                column = 0;
                if (++row == lines) {
                    row = lines - 1;
                    XCopyArea(dpy, screenText, screenText, gc, 0, kMargin + kLineHeight, kTermWidth,
                              unsigned(kTermHeight - kMargin - kLineHeight), 0, kMargin);
                    XSetForeground(dpy, gc, black);
                    XFillRectangle(dpy, screenText, gc, 0, kMargin + row * kLineHeight, kTermWidth,
                                   kTermHeight);
                }
            }
        }
        // The cursor blinks twice a second.
        XSetForeground(dpy, gc, (tick * kTickMs / 500) % 2 ? 0xC0FFC0 : black);
        XFillRectangle(dpy, screenText, gc, kMargin + column * kCharWidth,
                       kMargin + row * kLineHeight + 2, kCharWidth, kLineHeight - 2);
        XClearWindow(dpy, term);
        XFlush(dpy);
    }
}

}  // namespace

DesktopScene::DesktopScene(Motion motion, Window window) {
    m_child = startScene("the desktop scene", [&](int ready) { play(motion, window, ready); });
}

DesktopScene::~DesktopScene() {
    endScene(m_child);
}

}  // namespace fk::bench
