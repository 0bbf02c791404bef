#include "step_scene.h"

#include <X11/Xlib.h>
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
constexpr int kTitleHeight = 22, kLineHeight = 16, kMargin = 6;
constexpr int kLineEveryMs = 300, kStepEveryMs = 100;

const char* const kLines[] = {
    "$ cmake --build --preset release -j2",
    "[12/154] Building CXX object src/gif/CMakeFiles/fotokran_gif.dir/lzw_encoder.cpp.o",
    "[13/154] Building CXX object src/capture/CMakeFiles/fotokran_capture.dir/capture.cpp.o",
    "warning: unused parameter 'frame' [-Wunused-parameter]",
    "[14/154] Linking CXX static library src/gif/libfotokran_gif.a",
    "$ ls -la shots/",
    "-rw-r--r-- 1 user user  671234 scr_001.gif",
    "-rw-r--r-- 1 user user 1203311 scr_002.png",
};

void titleBar(Display* dpy, Pixmap on, GC gc, int width, unsigned long colour, const char* title,
              unsigned long ink) {
    XSetForeground(dpy, gc, colour);
    XFillRectangle(dpy, on, gc, 0, 0, unsigned(width), kTitleHeight);
    XSetForeground(dpy, gc, ink);
    XDrawString(dpy, on, gc, 8, 15, title, int(std::string(title).size()));
}

long msFrom(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
}

// Where the dragged window is after `step` steps: to and fro across the screen in 6 s, up and
// down every 4 s.
void dragPosition(long step, int& x, int& y) {
    const double t = double(step * kStepEveryMs) / 1000;
    const double phase = std::fmod(t / 6, 1.0);
    x = 200 + int(1000 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase));
    y = 420 + int(220 * std::sin(2 * M_PI * t / 4));
}

[[noreturn]] void play(StepScene::Window window, int movingMs, int ready) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy)
        _exit(2);
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    XSetWindowBackground(dpy, root, StepScene::kDesktop);
    XClearWindow(dpy, root);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XFontStruct* font = XLoadQueryFont(dpy, "fixed");

    Window term =
        XCreateWindow(dpy, root, kTermLeft, kTermTop, kTermWidth, kTermHeight, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    Pixmap text = XCreatePixmap(dpy, root, kTermWidth, kTermHeight, 24);
    GC gc = XCreateGC(dpy, text, 0, nullptr);
    if (font)
        XSetFont(dpy, gc, font->fid);
    XSetForeground(dpy, gc, 0x000000);
    XFillRectangle(dpy, text, gc, 0, 0, kTermWidth, kTermHeight);
    titleBar(dpy, text, gc, kTermWidth, 0xD4D0C8, "user@desktop: ~/fotokran", 0x000000);
    XSetWindowBackgroundPixmap(dpy, term, text);

    const Bitmap wallpaper = loadBenchPicture("screen-1080p.bmp");
    Pixmap picture =
        window == StepScene::Window::Photo
            ? pixmapOf(dpy, loadBenchPicture("photo-1080p.bmp"), 600, 300, kDragWidth, kDragHeight)
            : pixmapOf(dpy, wallpaper, 562, 596, kDragWidth, kDragHeight);
    titleBar(dpy, picture, gc, kDragWidth, 0x3584E4, "report.ods - LibreOffice Calc", 0xFFFFFF);
    int x = 0, y = 0;
    dragPosition(0, x, y);
    Window drag = XCreateWindow(dpy, root, x, y, kDragWidth, kDragHeight, 0, CopyFromParent,
                                InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
    XSetWindowBackgroundPixmap(dpy, drag, picture);
    XMapRaised(dpy, term);
    XMapRaised(dpy, drag);
    XSync(dpy, False);
    const char ok = 1;
    if (write(ready, &ok, 1) != 1)
        _exit(2);

    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const int rows = (kTermHeight - kTitleHeight - 2 * kMargin) / kLineHeight;
    int row = 0;
    long lines = 0, steps = 0;
    for (;;) {
        const long now = msFrom(start);
        if (now >= movingMs)
            pause();
        const long nextLine = (lines + 1) * kLineEveryMs, nextStep = (steps + 1) * kStepEveryMs;
        const long due = std::min(nextLine, nextStep);
        if (due > now)
            usleep(useconds_t((due - now) * 1000));
        if (msFrom(start) >= movingMs)
            pause();
        if (due == nextLine) {
            ++lines;
            if (row == rows) {
                XCopyArea(dpy, text, text, gc, 0, kTitleHeight + kMargin + kLineHeight, kTermWidth,
                          unsigned(kTermHeight - kTitleHeight - kMargin - kLineHeight), 0,
                          kTitleHeight + kMargin);
                --row;
                XSetForeground(dpy, gc, 0x000000);
                XFillRectangle(dpy, text, gc, 0, kTitleHeight + kMargin + row * kLineHeight,
                               kTermWidth, kTermHeight);
            }
            const char* line = kLines[size_t(lines) % (sizeof kLines / sizeof *kLines)];
            XSetForeground(dpy, gc, 0xC0FFC0);
            XDrawString(dpy, text, gc, kMargin,
                        kTitleHeight + kMargin + (row + 1) * kLineHeight - 4, line,
                        int(std::string(line).size()));
            ++row;
            XClearWindow(dpy, term);
        }
        if (due == nextStep) {
            ++steps;
            dragPosition(steps, x, y);
            XMoveWindow(dpy, drag, x, y);
        }
        XSync(dpy, False);
    }
}

}  // namespace

StepScene::StepScene(Window window, int movingMs) {
    m_child = startScene("the step scene", [&](int ready) { play(window, movingMs, ready); });
}

StepScene::~StepScene() {
    endScene(m_child);
}

}  // namespace fk::bench
