// Grabbing on a real (virtual) X display: pictures, frames, the cursor and the own-window mode.
#include <gtest/gtest.h>

#include <algorithm>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "base/stream.h"
#include "capture/capture.h"
#include "capture_test_support.h"
#include "platform/errors.h"
#include "platform/x11/x11_grabber.h"
#include "support/test_support.h"
#include "x11_test_display.h"

namespace fk {
namespace {

using test::differences;
using test::expectCursorBox;
using test::expectWindowAt;
using test::NoEvents;
using test::pattern;
using test::TestDisplay;
using Host = test::ShotHost;

class X11Capture : public ::testing::Test {
protected:
    TestDisplay display;
    X11Grabber grabber;
};

TEST_F(X11Capture, ScreenGrabIsPixelExactWithAndWithoutSharedMemory) {
    EXPECT_TRUE(grabber.capabilities().sharedMemory);
    EXPECT_EQ(grabber.screenRect(), (ScreenRect{0, 0, 1920, 1080}));
    const int w = 201, h = 101;
    Window win =
        display.createWindow(300, 200, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    int x = 0, y = 0;
    display.clientOrigin(win, x, y);

    for (bool shm : {true, false}) {
        grabber.setShmEnabled(shm);
        Bitmap screen;
        grabber.grabScreen(screen);
        ASSERT_EQ(screen.width(), 1920);
        ASSERT_EQ(screen.height(), 1080);
        EXPECT_EQ(screen.pixelFormat(), PixelFormat::Device);
        expectWindowAt(screen, x, y, w, h, shm ? "shared memory" : "plain request");
        // The window's pixels carry a set unused byte on the server; the file stores 0 there.
        MemoryStream file;
        screen.saveToStream(file);
        const std::vector<uint8_t>& bytes = file.bytes();
        ASSERT_EQ(bytes.size(), 54 + size_t(1920) * 1080 * 4);
        bool unusedByteClear = true;
        for (size_t at = 54 + 3; at < bytes.size(); at += 4)
            unusedByteClear &= bytes[at] == 0;
        EXPECT_TRUE(unusedByteClear) << (shm ? "shared memory" : "plain request");
    }
}

TEST_F(X11Capture, WindowShotTakesTheActiveWindowWithItsFrame) {
    const int w = 160, h = 90;
    Window win =
        display.createWindow(500, 300, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    display.activate(win);
    const Window frame = display.frameOf(win);
    ASSERT_NE(frame, win) << "the window manager should have framed the window";

    auto found = grabber.foregroundWindow();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, WindowHandle(frame));

    XWindowAttributes attrs;
    XGetWindowAttributes(display.dpy(), frame, &attrs);
    Bitmap picture;
    ScreenRect rect = grabber.grabWindow(*found, picture);
    EXPECT_EQ(rect.width, attrs.width + 2 * attrs.border_width);
    EXPECT_EQ(rect.height, attrs.height + 2 * attrs.border_width);
    EXPECT_GT(rect.height, h);  // the title bar is part of it
    EXPECT_EQ(picture.width(), rect.width);
    EXPECT_EQ(picture.height(), rect.height);
    int cx = 0, cy = 0;
    display.clientOrigin(win, cx, cy);
    expectWindowAt(picture, cx - rect.x, cy - rect.y, w, h, "window shot");
    const std::vector<long> extents = display.cardinals(win, "_NET_FRAME_EXTENTS");
    ASSERT_EQ(extents.size(), 4u) << "the window manager should declare its frame's extents";
    EXPECT_EQ(rect,
              (ScreenRect{cx - int(extents[0]), cy - int(extents[2]),
                          w + int(extents[0] + extents[1]), h + int(extents[2] + extents[3])}));
}

// A window that draws its own decorations and shadow, as GTK's do: the shot holds what lies inside
// the shadow margins it declares, with or without a window manager.
void expectShotWithoutShadow(TestDisplay& display, X11Grabber& grabber) {
    const int w = 150, h = 70;
    const long left = 11, right = 17, top = 7, bottom = 23;
    const Color shadow{40, 40, 40};
    const Window win = display.createWindow(
        400, 250, int(left + w + right), int(top + h + bottom),
        [&](int x, int y) {
            const int ix = x - int(left), iy = y - int(top);
            return ix >= 0 && ix < w && iy >= 0 && iy < h ? pattern(ix, iy, w, h) : shadow;
        },
        TestDisplay::Managed::Yes,
        [&](Window created) {
            Display* dpy = display.dpy();
            long margins[4] = {left, right, top, bottom};
            XChangeProperty(dpy, created, XInternAtom(dpy, "_GTK_FRAME_EXTENTS", False),
                            XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(margins), 4);
            const Atom motif = XInternAtom(dpy, "_MOTIF_WM_HINTS", False);
            long noDecorations[5] = {2, 0, 0, 0, 0};
            XChangeProperty(dpy, created, motif, motif, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(noDecorations), 5);
        });
    if (display.hasWindowManager()) {
        display.activate(win);
    } else {
        XSetInputFocus(display.dpy(), win, RevertToParent, CurrentTime);
        display.settle();
    }
    const auto found = grabber.foregroundWindow();
    ASSERT_TRUE(found.has_value());
    Bitmap picture;
    const ScreenRect rect = grabber.grabWindow(*found, picture);
    int cx = 0, cy = 0;
    display.clientOrigin(win, cx, cy);
    EXPECT_EQ(rect, (ScreenRect{cx + int(left), cy + int(top), w, h}));
    ASSERT_EQ(picture.width(), w);
    ASSERT_EQ(picture.height(), h);
    expectWindowAt(picture, 0, 0, w, h, "window shot without its shadow");
}

TEST_F(X11Capture, AWindowThatDrawsItsOwnFrameIsShotWithoutItsShadow) {
    expectShotWithoutShadow(display, grabber);
}

TEST_F(X11Capture, NoActiveWindowMeansNoWindowInFront) {
    Window win = display.createWindow(500, 300, 40, 40, [](int, int) { return Color{1, 2, 3}; });
    display.activate(win);
    ASSERT_TRUE(grabber.foregroundWindow().has_value());
    display.destroyWindow(win);  // the window manager now names no active window
    display.waitFor([&] { return display.activeWindow() == 0; });
    EXPECT_FALSE(grabber.foregroundWindow().has_value());
}

TEST_F(X11Capture, WindowPartlyOffTheScreenKeepsItsSizeWithBlackOutside) {
    const int w = 120, h = 80;
    Window win =
        display.createWindow(1860, 1040, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    display.activate(win);
    auto found = grabber.foregroundWindow();
    ASSERT_TRUE(found.has_value());
    Bitmap picture;
    ScreenRect rect = grabber.grabWindow(*found, picture);
    EXPECT_EQ(picture.width(), rect.width);
    EXPECT_GT(rect.x + rect.width, 1920);
    EXPECT_EQ(picture.pixel(picture.width() - 1, picture.height() - 1), (Color{0, 0, 0}));
}

TEST_F(X11Capture, AVanishedWindowIsAClearError) {
    Window win = display.createWindow(100, 100, 50, 50, [](int, int) { return Color{1, 2, 3}; });
    const Window frame = display.frameOf(win);
    display.destroyWindow(win);
    Bitmap picture;
    try {
        grabber.grabWindow(WindowHandle(frame), picture);
        FAIL() << "no error";
    } catch (const EGrabError& e) {
        EXPECT_STREQ(e.what(), "The window in front closed before it could be captured");
    }
}

TEST_F(X11Capture, CursorIsDrawnWhereThePointerIsOnScreenAndOverAWindow) {
    const int w = 200, h = 150;
    Window win = display.createWindow(700, 400, w, h, [](int, int) {
        return Color{255, 255, 255};
    });
    display.activate(win);
    int cx = 0, cy = 0;
    display.clientOrigin(win, cx, cy);
    display.movePointer(cx + 50, cy + 60);
    auto cursor = grabber.cursor();
    ASSERT_TRUE(cursor.has_value()) << "XFIXES gives the cursor";
    EXPECT_EQ(cursor->x, cx + 50);
    EXPECT_EQ(cursor->y, cy + 60);

    test::ShotPairs shots(grabber);
    const auto [screen, screenWithCursor] = shots.screenWithoutAndWithCursor();
    expectCursorBox(screenWithCursor, screen, cursor->x - cursor->hotX, cursor->y - cursor->hotY,
                    *cursor);
    const auto [window, windowWithCursor] = shots.windowWithoutAndWithCursor();
    Bitmap frameShot;
    ScreenRect rect = grabber.grabWindow(*grabber.foregroundWindow(), frameShot);
    expectCursorBox(windowWithCursor, window, cursor->x - rect.x - cursor->hotX,
                    cursor->y - rect.y - cursor->hotY, *cursor);
    EXPECT_EQ(shots.counter(), "4");
}

// A managed window left out by its own id, as the program knows its windows: the picture is the
// screen without it and without the window manager's frame around it, also after the window has
// been hidden and shown again (and so framed anew).
void expectLeftOutByItsOwnId(TestDisplay& display, X11Grabber& grabber) {
    display.setWallpaper([](int x, int y) { return Color{uint8_t(x / 8), uint8_t(y / 5), 90}; });
    display.createWindow(
        100, 600, 300, 200,
        [](int, int) {
            return Color{200, 0, 0};
        },
        TestDisplay::Managed::No);
    Bitmap before;
    grabber.grabScreen(before);

    const Window own = display.createWindow(450, 350, 300, 250, [](int, int) {
        return Color{0, 200, 0};
    });
    const bool framed = display.frameOf(own) != own;
    EXPECT_EQ(framed, display.hasWindowManager());
    grabber.setExcludedWindows({WindowHandle(own)});
    Bitmap without;
    grabber.grabScreen(without);
    EXPECT_EQ(differences(without, before), "") << "the window or its frame shows";

    XUnmapWindow(display.dpy(), own);
    display.require([&] { return !display.isViewable(own); }, "the window to be hidden");
    XMapWindow(display.dpy(), own);
    display.require([&] { return display.isViewable(own); }, "the window to be shown again");
    if (framed)
        display.require([&] { return display.frameOf(own) != own; }, "a new frame");
    display.settle();
    Bitmap shown;
    grabber.setExcludedWindows({});
    grabber.grabScreen(shown);
    int ox = 0, oy = 0;
    display.clientOrigin(own, ox, oy);
    EXPECT_EQ(shown.pixel(ox + 5, oy + 5), (Color{0, 200, 0}));
    grabber.setExcludedWindows({WindowHandle(own)});
    grabber.grabScreen(without);
    EXPECT_EQ(differences(without, before), "") << "shown again, the window or its frame shows";
}

TEST_F(X11Capture, AManagedWindowIsLeftOutWithItsFrameByItsOwnId) {
    if (grabber.capabilities().ownWindows != OwnWindows::LeftOut)
        GTEST_SKIP() << "the display has no Composite";
    ASSERT_TRUE(display.hasWindowManager());
    expectLeftOutByItsOwnId(display, grabber);
}

TEST_F(X11Capture, OwnWindowsAreLeftOutWithoutBeingHidden) {
    if (grabber.capabilities().ownWindows != OwnWindows::LeftOut)
        GTEST_SKIP() << "the display has no Composite";
    display.setWallpaper([](int x, int y) { return Color{uint8_t(x / 8), uint8_t(y / 5), 90}; });
    // Unmanaged windows: no frame drawn differently when the focus moves.
    display.createWindow(
        400, 300, 300, 200,
        [](int, int) {
            return Color{200, 0, 0};
        },
        TestDisplay::Managed::No);
    Bitmap before;
    grabber.grabScreen(before);

    Window own = display.createWindow(
        550, 350, 300, 250,
        [](int, int) {
            return Color{0, 200, 0};
        },
        TestDisplay::Managed::No);
    const Window ownFrame = display.frameOf(own);
    Bitmap shown;
    grabber.grabScreen(shown);
    int ox = 0, oy = 0;
    display.clientOrigin(own, ox, oy);
    EXPECT_EQ(shown.pixel(ox + 5, oy + 5), (Color{0, 200, 0}));

    grabber.setExcludedWindows({WindowHandle(ownFrame)});
    Bitmap without;
    grabber.grabScreen(without);
    EXPECT_EQ(differences(without, before), "") << "the own window shows through";
    XWindowAttributes attrs;
    XGetWindowAttributes(display.dpy(), own, &attrs);
    EXPECT_EQ(attrs.map_state, IsViewable);

    // A window shot of the own window still shows it.
    Bitmap ownShot;
    ScreenRect rect = grabber.grabWindow(WindowHandle(ownFrame), ownShot);
    EXPECT_EQ(ownShot.pixel(ox - rect.x + 5, oy - rect.y + 5), (Color{0, 200, 0}));

    grabber.setExcludedWindows({});
    Bitmap again;
    grabber.grabScreen(again);
    EXPECT_EQ(again.pixel(ox + 5, oy + 5), (Color{0, 200, 0}));
}

// A shot of the whole screen in the given format, decoded again by an independent reader.
class ShotFormats : public X11Capture {
protected:
    // Shoots the screen with a known window on it; returns the path written.
    std::string shoot(PictureFormat format, const std::string& mask, int palette = 3) {
        if (!window) {
            window = display.createWindow(200, 150, kW, kH,
                                          [](int x, int y) { return pattern(x, y, kW, kH); });
            display.clientOrigin(window, originX, originY);
            display.movePointer(1900, 1060);  // out of the way
        }
        host.options = {format, 90, palette, dir.path(), mask, "41"};
        SteadyClock clock;
        NoEvents pump;
        Capture capture(grabber, host, clock, pump);
        capture.ShootScreen();
        EXPECT_EQ(host.options.counterText, "42");
        return dir.file(mask.substr(0, mask.find('#')) + "041" + mask.substr(mask.rfind('#') + 1));
    }
    // Compares the window's area; `margin` pixels around its colour edges are left out for readers
    // that resample.
    void expectScreenDecoded(const test::DecodedImage& img, int tolerance, int margin = 0) {
        ASSERT_EQ(img.width, 1920);
        ASSERT_EQ(img.height, 1080);
        int worst = 0;
        for (int y = 0; y < kH; y += 3)
            for (int x = 0; x < kW; x += 3) {
                if (y == kH / 2)
                    continue;  // the checker line does not survive lossy formats
                if (std::abs(x - kW / 2) <= margin || std::abs(y - kH / 2) <= margin ||
                    x < margin || y < margin || x >= kW - margin || y >= kH - margin)
                    continue;
                Color want = pattern(x, y, kW, kH), got = img.at(originX + x, originY + y);
                worst =
                    std::max({worst, std::abs(want.red - got.red), std::abs(want.green - got.green),
                              std::abs(want.blue - got.blue)});
            }
        EXPECT_LE(worst, tolerance);
    }

    static constexpr int kW = 120, kH = 80;
    test::TempDir dir;
    Host host;
    Window window = 0;
    int originX = 0, originY = 0;
};

TEST_F(ShotFormats, BmpAndWmfLandUnderTheMasksNameAndShowTheScreen) {
    std::string bmp = shoot(PictureFormat::Bmp, "shot_###.bmp");
    expectScreenDecoded(test::decodeWithPillow(bmp), 0);
    std::string wmf = shoot(PictureFormat::Wmf, "shot_###.wmf");
    if (!test::toolAvailable("wmf2gd"))
        GTEST_SKIP() << "wmf2gd is not installed";
    auto r = test::runCommand("wmf2gd -t png --maxwidth=1920 --maxheight=1080 --maxsize -o " +
                              test::shellQuote(wmf + ".png") + " " + test::shellQuote(wmf));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    expectScreenDecoded(test::decodeWithPillow(wmf + ".png"), 2, 2);
}

TEST_F(ShotFormats, JpgPngAndTifLandUnderTheMasksNameAndShowTheScreen) {
    expectScreenDecoded(test::decodeWithPillow(shoot(PictureFormat::Tiff, "shot_###.tif")), 0);
    expectScreenDecoded(test::decodeWithPillow(shoot(PictureFormat::Png, "shot_###.png")), 0);
    expectScreenDecoded(test::decodeWithPillow(shoot(PictureFormat::Jpeg, "shot_###.jpg")), 40, 8);
}

TEST_F(ShotFormats, GifInEveryPaletteChoiceHasTheScreensSize) {
    for (int palette : {0, 1, 2, 3, -1}) {
        auto image = test::decodeWithPillow(shoot(PictureFormat::Gif, "shot_###.gif", palette));
        ASSERT_EQ(image.width, 1920) << "palette " << palette;
        ASSERT_EQ(image.height, 1080);
        if (palette == 0) {
            bool onlyBlackAndWhite = true;
            for (Color c : image.pixels)
                onlyBlackAndWhite &= c == Color{0, 0, 0} || c == Color{255, 255, 255};
            EXPECT_TRUE(onlyBlackAndWhite);
        }
        if (palette == 3)
            expectScreenDecoded(image, 60, 3);  // 256 colours, dithered
    }
}

TEST(WithoutExtensions, PlainRequestsGiveTheSamePicture) {
    X11Grabber grabber;
    TestDisplay display;
    EXPECT_FALSE(grabber.capabilities().sharedMemory);
    EXPECT_EQ(grabber.capabilities().ownWindows, OwnWindows::Shown);
    const int w = 64, h = 48;
    Window win =
        display.createWindow(100, 100, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    int x = 0, y = 0;
    display.clientOrigin(win, x, y);
    // Leaving windows out needs Composite: without it the caller is told, and the grab goes on
    // as a plain one.
    try {
        grabber.setExcludedWindows({WindowHandle(display.frameOf(win))});
        ADD_FAILURE() << "leaving a window out without Composite was not refused";
    } catch (const EGrabError& e) {
        EXPECT_STREQ(e.what(),
                     "The display has no Composite extension to leave windows out of pictures");
    }
    Bitmap screen;
    grabber.grabScreen(screen);
    expectWindowAt(screen, x, y, w, h, "without extensions");
}

TEST(BareDisplay, NoWindowManagerMeansNoWindowInFront) {
    X11Grabber grabber;
    TestDisplay display;
    display.createWindow(10, 10, 40, 40, [](int, int) { return Color{9, 9, 9}; });
    EXPECT_FALSE(grabber.foregroundWindow().has_value());
}

TEST(BareDisplay, AFocusedWindowCountsWhenThereIsNoWindowManager) {
    X11Grabber grabber;
    TestDisplay display;
    Window w = display.createWindow(10, 10, 40, 40, [](int, int) { return Color{9, 9, 9}; });
    XSetInputFocus(display.dpy(), w, RevertToParent, CurrentTime);
    display.settle();
    auto found = grabber.foregroundWindow();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, WindowHandle(w));
    Bitmap picture;
    EXPECT_EQ(grabber.grabWindow(*found, picture), (ScreenRect{10, 10, 40, 40}));
    EXPECT_EQ(picture.pixel(39, 39), (Color{9, 9, 9}));
}

TEST(BareDisplay, AWindowThatDrawsItsOwnFrameIsShotWithoutItsShadow) {
    X11Grabber grabber;
    TestDisplay display;
    expectShotWithoutShadow(display, grabber);
}

TEST(BareDisplay, LeftoverPropertiesOfAGoneWindowManagerAreNotTrusted) {
    X11Grabber grabber;
    TestDisplay display;
    Window w = display.createWindow(10, 10, 40, 40, [](int, int) { return Color{9, 9, 9}; });
    Atom active = XInternAtom(display.dpy(), "_NET_ACTIVE_WINDOW", False);
    Atom check = XInternAtom(display.dpy(), "_NET_SUPPORTING_WM_CHECK", False);
    Window gone = 0x7fff0001;
    XChangeProperty(display.dpy(), display.root(), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&w), 1);
    XChangeProperty(display.dpy(), display.root(), check, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&gone), 1);
    display.settle();
    EXPECT_FALSE(grabber.foregroundWindow().has_value());
}

TEST(BareDisplay, AWindowIsLeftOutByItsOwnId) {
    X11Grabber grabber;
    TestDisplay display;
    expectLeftOutByItsOwnId(display, grabber);
}

TEST(BareDisplay, AMissingDisplayIsAClearError) {
    try {
        X11Grabber grabber(":4711");
        FAIL() << "no error";
    } catch (const EGrabError& e) {
        EXPECT_STREQ(e.what(), "Cannot open the X11 display \":4711\"");
    }
}

}  // namespace
}  // namespace fk
