// Grabbing on displays set up otherwise: a primary monitor that does not start at (0, 0), a
// display without XFIXES, and what a grabber holds on the server after grabs that failed.
#include <gtest/gtest.h>

// After the test framework: Xlib's macros (None) would clash with its names.
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "capture/capture.h"
#include "capture_test_support.h"
#include "platform/errors.h"
#include "platform/x11/x11_grabber.h"
#include "support/test_support.h"
#include "x11_test_display.h"

namespace fk {
namespace {

using test::pattern;
using test::TestDisplay;

// Virtual monitors made with xrandr for one test, and removed again after it.
class Monitors {
public:
    void add(const std::string& name, int x, int y, int width, int height, bool primary) {
        const std::string geometry = std::to_string(width) + "/100x" + std::to_string(height) +
                                     "/100+" + std::to_string(x) + "+" + std::to_string(y);
        run("xrandr --setmonitor " + test::shellQuote((primary ? "*" : "") + name) + " " +
            geometry + " none");
        m_names.push_back(name);
    }
    ~Monitors() {
        for (const std::string& name : m_names)
            test::runCommand("xrandr --delmonitor " + test::shellQuote(name));
    }

private:
    static void run(const std::string& command) {
        const auto r = test::runCommand(command);
        ASSERT_EQ(r.exitCode, 0) << command << ": " << r.output;
    }
    std::vector<std::string> m_names;
};

// Two monitors side by side, the primary one on the right and lower: the screen picture is that
// monitor alone, and the cursor lands where it is on it.
TEST(Monitors, ThePrimaryMonitorAwayFromTheOriginIsThePictureAndTheCursorFollows) {
    Monitors monitors;
    monitors.add("left", 0, 0, 960, 1080, false);
    monitors.add("right", 960, 180, 960, 900, true);
    TestDisplay display;
    X11Grabber grabber;
    ASSERT_EQ(grabber.screenRect(), (ScreenRect{960, 180, 960, 900}));

    const int w = 201, h = 101;
    const Window win =
        display.createWindow(1200, 300, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    int wx = 0, wy = 0;
    display.clientOrigin(win, wx, wy);
    display.movePointer(wx + 40, wy + 30);
    const auto cursor = grabber.cursor();
    ASSERT_TRUE(cursor.has_value());

    test::ShotPairs shots(grabber);
    const auto [without, with] = shots.screenWithoutAndWithCursor();
    ASSERT_EQ(without.width(), 960);
    ASSERT_EQ(without.height(), 900);
    test::expectWindowAt(without, wx - 960, wy - 180, w, h, "the primary monitor's picture");
    test::expectCursorBox(with, without, cursor->x - 960 - cursor->hotX,
                          cursor->y - 180 - cursor->hotY, *cursor);
}

// A bitmap kept from grab to grab, as the video keeps its frame, while the primary monitor
// shrinks and grows again: each grab has the monitor's size and the same pixels as a grab into a
// new bitmap and one by plain requests, and grabs of an unchanged size keep the bitmap's memory.
TEST(Monitors, AKeptBitmapFollowsThePrimaryMonitorAndMatchesANewOne) {
    TestDisplay display;
    X11Grabber grabber;
    const int w = 201, h = 101;
    const Window win =
        display.createWindow(400, 300, w, h, [&](int x, int y) { return pattern(x, y, w, h); });
    int wx = 0, wy = 0;
    display.clientOrigin(win, wx, wy);
    display.movePointer(1900, 1060);  // out of the way

    Bitmap kept;
    auto expectLikeNewGrabs = [&](const ScreenRect& area, const char* what) {
        grabber.grabScreen(kept);
        ASSERT_EQ(kept.width(), area.width) << what;
        ASSERT_EQ(kept.height(), area.height) << what;
        test::expectWindowAt(kept, wx - area.x, wy - area.y, w, h, what);
        Bitmap fresh;
        grabber.grabScreen(fresh);
        EXPECT_EQ(test::differences(kept, fresh), "") << what << ", against a new bitmap";
        grabber.setShmEnabled(false);
        Bitmap plain;
        grabber.grabScreen(plain);
        grabber.setShmEnabled(true);
        EXPECT_EQ(test::differences(kept, plain), "") << what << ", against plain requests";
        const uint8_t* rows = kept.bits();
        grabber.grabScreen(kept);
        EXPECT_EQ(kept.bits(), rows) << what << ": a grab of the same size moved the bitmap";
    };
    expectLikeNewGrabs({0, 0, 1920, 1080}, "the whole screen");
    {
        Monitors monitors;
        monitors.add("part", 300, 200, 800, 600, true);
        ASSERT_EQ(grabber.screenRect(), (ScreenRect{300, 200, 800, 600}));
        expectLikeNewGrabs({300, 200, 800, 600}, "a smaller primary monitor");
    }
    ASSERT_EQ(grabber.screenRect(), (ScreenRect{0, 0, 1920, 1080}));
    expectLikeNewGrabs({0, 0, 1920, 1080}, "the whole screen again");
}

// Run on a display started without XFIXES: no cursor to draw, and a shot with the cursor
// switched on is the same picture as one without (with XFIXES the root window's cursor, in the
// middle of the screen, would be drawn in). The grabber is the display's only client here: this
// Xvfb ends when one of two clients leaves while XFIXES is off.
TEST(WithoutXfixes, ShotsHaveNoCursor) {
    X11Grabber grabber;
    EXPECT_FALSE(grabber.capabilities().cursorImage);
    EXPECT_FALSE(grabber.cursor().has_value());

    test::ShotPairs shots(grabber);
    const auto [without, with] = shots.screenWithoutAndWithCursor();
    EXPECT_EQ(shots.counter(), "2");
    ASSERT_EQ(without.width(), 1920);
    EXPECT_TRUE(with == without) << "the shot with the cursor switched on differs";
}

// The server resources of every client of this process, by the names of their types, and the
// shared-memory segments the process has attached.
std::map<std::string, long> heldByThisProcess(Display* dpy) {
    std::map<std::string, long> held;
    XResClientIdSpec all{0, XRES_CLIENT_ID_PID_MASK};  // every client
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(dpy, 1, &all, &count, &ids) != Success) {
        ADD_FAILURE() << "the display does not tell its clients";
        return held;
    }
    for (long i = 0; i < count; ++i) {
        if (XResGetClientPid(&ids[i]) != getpid())
            continue;
        int types = 0;
        XResType* resources = nullptr;
        XResQueryClientResources(dpy, ids[i].spec.client, &types, &resources);
        for (int t = 0; t < types; ++t) {
            char* name = XGetAtomName(dpy, resources[t].resource_type);
            held[name] += resources[t].count;
            XFree(name);
        }
        XFree(resources);
    }
    XResClientIdsDestroy(count, ids);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("SYSV") != std::string::npos)
            ++held["attached segments"];
    return held;
}

std::string describe(const std::map<std::string, long>& held) {
    std::string text;
    for (const auto& [name, count] : held)
        text += name + "=" + std::to_string(count) + " ";
    return text;
}

// Grabs that leave a window out, grabs that fail (a primary monitor reaching past the screen,
// with and without shared memory, with the window left out; a window that has gone), and grabs
// after those: the grabber holds on the server just what it held after its first grab.
TEST(Resources, GrabsThatFailOrLeaveWindowsOutReleaseWhatTheyMade) {
    TestDisplay display;
    X11Grabber grabber;
    ASSERT_EQ(grabber.capabilities().ownWindows, OwnWindows::LeftOut);
    display.setWallpaper([](int x, int y) { return Color{uint8_t(x), uint8_t(y), 40}; });
    const Window own = display.createWindow(200, 150, 300, 200, [](int, int) {
        return Color{0, 200, 0};
    });
    for (int i = 0; i < 4; ++i)  // others over and under the window's place
        display.createWindow(150 + 60 * i, 120 + 40 * i, 180, 120, [i](int, int) {
            return Color{uint8_t(50 * i), 20, 90};
        });
    const Window gone = display.frameOf(display.createWindow(900, 500, 50, 50, [](int, int) {
        return Color{1, 2, 3};
    }));
    display.destroyWindow(gone);

    grabber.setExcludedWindows({WindowHandle(own)});
    Bitmap picture;
    grabber.grabScreen(picture);
    const auto before = heldByThisProcess(display.dpy());
    ASSERT_EQ(before.count("attached segments"), 1u) << describe(before);

    for (int i = 0; i < 10; ++i)
        grabber.grabScreen(picture);
    int failures = 0;
    {
        Monitors monitors;
        monitors.add("beyond", 1500, 800, 1000, 500, true);
        for (bool shm : {true, false}) {
            grabber.setShmEnabled(shm);
            for (int i = 0; i < 5; ++i) {
                try {
                    grabber.grabScreen(picture);
                } catch (const EGrabError& e) {
                    EXPECT_STREQ(e.what(), "The display refused to give the picture");
                    ++failures;
                }
            }
        }
        grabber.setShmEnabled(true);
    }
    for (int i = 0; i < 5; ++i) {
        try {
            grabber.grabWindow(WindowHandle(gone), picture);
        } catch (const EGrabError&) {
            ++failures;
        }
    }
    EXPECT_EQ(failures, 15);
    grabber.grabScreen(picture);
    const auto after = heldByThisProcess(display.dpy());
    EXPECT_EQ(after, before) << "before: " << describe(before) << "\nafter:  " << describe(after);
}

}  // namespace
}  // namespace fk
