#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "capture/capture.h"
#include "platform/errors.h"
#include "platform/fake/fake_platform.h"
#include "support/test_support.h"

namespace fk {
namespace {

// The main window's controls as the shots see them.
struct FakeHost final : CaptureHost {
    SaveOptions saveOptions() override {
        ++optionReads;
        SaveOptions o = save;
        o.counterText = counter;
        return o;
    }
    bool captureCursor() override { return cursor; }
    bool delayedShoot() override { return delayed; }
    std::string shotDelayText() override { return delayText; }
    void setShotDelayText(const std::string& t) override { delayText = t; }
    std::string runningNumberText() override { return counter; }
    void setRunningNumberText(const std::string& t) override { counter = t; }

    SaveOptions save;
    std::string counter = "0";
    std::string delayText = "10";
    bool cursor = false;
    bool delayed = false;
    int optionReads = 0;
};

class ShotsTest : public ::testing::Test {
protected:
    ShotsTest() {
        host.save.format = PictureFormat::Bmp;
        host.save.folder = dir.path();
        host.save.mask = "s_##.bmp";
    }
    Bitmap saved(const std::string& name) { return Bitmap::loadFromFile(dir.file(name)); }

    test::TempDir dir;
    FakeGrabber grabber;
    FakeHost host;
    FakeClock clock;
    FakeEventPump pump{clock};
    Capture capture{grabber, host, clock, pump};
};

TEST_F(ShotsTest, ScreenShotSavesThenAdvances) {
    grabber.screen = {0, 0, 5, 3};
    capture.ShootScreen();
    EXPECT_EQ(host.counter, "1");
    Bitmap b = saved("s_00.bmp");
    EXPECT_EQ(b.width(), 5);
    EXPECT_EQ(b.pixel(4, 2), grabber.screenColor);
    capture.ShootScreen();
    EXPECT_TRUE(test::fileExists(dir.file("s_01.bmp")));
    EXPECT_EQ(host.counter, "2");
}

TEST_F(ShotsTest, AFailedSaveStillAdvancesTheNumberAndReportsTheError) {
    host.save.folder = dir.file("missing");
    EXPECT_THROW(capture.ShootScreen(), EFCreateError);
    EXPECT_EQ(host.counter, "1");
    host.save.format = PictureFormat::NotSelected;  // no format: nothing written, number moves on
    capture.ShootScreen();
    EXPECT_EQ(host.counter, "2");
}

TEST_F(ShotsTest, AFailedGrabAdvancesToo) {
    grabber.windows[7] = {{10, 10, 4, 4}, Bitmap(4, 4, PixelFormat::Device), true};
    grabber.foreground = 7;
    EXPECT_THROW(capture.ShootWindow(), EGrabError);
    EXPECT_EQ(host.counter, "1");
}

TEST_F(ShotsTest, NoWindowInFrontSavesNothingAndKeepsTheNumber) {
    host.counter = "5";
    capture.ShootWindow();
    EXPECT_EQ(host.counter, "5");
    EXPECT_EQ(grabber.windowGrabs, 0);
    EXPECT_EQ(host.optionReads, 0);
}

TEST_F(ShotsTest, WindowShotSavesTheWindowsPicture) {
    Bitmap picture = test::makeTestPattern(6, 4, PixelFormat::Device, 5);
    grabber.windows[3] = {{100, 50, 6, 4}, picture};
    grabber.foreground = 3;
    capture.ShootWindow();
    EXPECT_EQ(test::pixelsOf(saved("s_00.bmp")), test::pixelsOf(picture));
    EXPECT_EQ(host.counter, "1");
}

CursorImage opaqueCursor(int x, int y, int hotX, int hotY) {
    CursorImage c;
    c.x = x;
    c.y = y;
    c.hotX = hotX;
    c.hotY = hotY;
    c.width = 2;
    c.height = 2;
    c.pixels = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0x80000080};  // red, and half-covering blue
    return c;
}

TEST_F(ShotsTest, CursorLandsAtPositionLessOffsetLessHotSpot) {
    host.cursor = true;
    grabber.screen = {0, 0, 8, 6};
    grabber.screenColor = {0, 0, 0};
    grabber.cursorImage = opaqueCursor(4, 3, 1, 1);
    capture.ShootScreen();
    Bitmap b = saved("s_00.bmp");
    EXPECT_EQ(b.pixel(3, 2), (Color{255, 0, 0}));
    EXPECT_EQ(b.pixel(4, 2), (Color{255, 0, 0}));
    EXPECT_EQ(b.pixel(4, 3), (Color{0, 0, 128}));  // premultiplied blue over black
    EXPECT_EQ(b.pixel(2, 2), (Color{0, 0, 0}));
    EXPECT_EQ(b.pixel(5, 4), (Color{0, 0, 0}));

    // A window away from the corner: the cursor keeps its place over the window's content.
    Bitmap white(6, 6, PixelFormat::Device);
    white.fill({255, 255, 255});
    grabber.windows[9] = {{100, 200, 6, 6}, white};
    grabber.foreground = 9;
    grabber.cursorImage = opaqueCursor(103, 204, 0, 0);
    capture.ShootWindow();
    Bitmap w = saved("s_01.bmp");
    EXPECT_EQ(w.pixel(3, 4), (Color{255, 0, 0}));
    EXPECT_EQ(w.pixel(4, 5), (Color{127, 127, 255}));  // half blue over white
    EXPECT_EQ(w.pixel(2, 4), (Color{255, 255, 255}));
}

TEST_F(ShotsTest, CursorIsOnlyAskedForWhenWantedAndMayBeMissing) {
    capture.ShootScreen();
    EXPECT_EQ(grabber.cursorQueries, 0);
    host.cursor = true;
    capture.ShootScreen();  // no cursor image: the picture is saved without one
    EXPECT_EQ(grabber.cursorQueries, 1);
    EXPECT_EQ(saved("s_01.bmp").pixel(0, 0), grabber.screenColor);
}

TEST(DrawCursor, ClipsAtEveryEdgeOfThePicture) {
    Bitmap b(3, 3, PixelFormat::Device);
    CursorImage c;
    c.width = c.height = 5;
    c.pixels.assign(25, 0xFF00FF00);
    for (auto [x, y] : {std::pair{-3, -3}, std::pair{2, 2}, std::pair{-10, 1}}) {
        c.x = x;
        c.y = y;
        DrawCursor(b, c, 0, 0);
    }
    EXPECT_EQ(b.pixel(0, 0), (Color{0, 255, 0}));
    EXPECT_EQ(b.pixel(2, 2), (Color{0, 255, 0}));
    EXPECT_EQ(b.pixel(2, 0), (Color{0, 0, 0}));
    Bitmap b24(2, 2, PixelFormat::Bits24);  // other formats take the slow way, same result
    c.x = c.y = 0;
    DrawCursor(b24, c, 0, 0);
    EXPECT_EQ(b24.pixel(1, 1), (Color{0, 255, 0}));
}

TEST_F(ShotsTest, ShotDelayIsWaitedOnlyWhenSwitchedOn) {
    host.delayText = "";
    capture.WaitShotDelay();
    EXPECT_EQ(host.delayText, "0");  // also with the switch off
    EXPECT_EQ(pump.waitedMs, 0);
    host.delayText = "3";
    capture.WaitShotDelay();
    EXPECT_EQ(pump.waitedMs, 0);
    host.delayed = true;
    const int64_t start = clock.now;
    capture.WaitShotDelay();
    EXPECT_EQ(clock.now - start, 3000);
}

TEST_F(ShotsTest, ShotDelayTextMustBeAnInteger) {
    host.delayed = true;
    host.delayText = "1O";
    try {
        capture.WaitShotDelay();
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1O' is not a valid integer value");
    }
    host.delayText = "3000000";  // beyond the 32-bit millisecond range: no wait at all
    capture.WaitShotDelay();
    host.delayText = "-4";
    capture.WaitShotDelay();
    EXPECT_EQ(pump.waitedMs, 0);
}

TEST_F(ShotsTest, WindowShotWaitsFirstAndTakesTheWindowInFrontAfterTheWait) {
    host.delayed = true;
    host.delayText = "2";
    grabber.windows[1] = {{0, 0, 2, 2}, Bitmap(2, 2, PixelFormat::Device)};
    pump.scheduleIn(1500, [&] { grabber.foreground = 1; });
    capture.ShootWindow();
    EXPECT_EQ(grabber.windowGrabs, 1);
    EXPECT_EQ(host.counter, "1");
}

TEST(Delay, WaitsAtLeastTheTimeAndRunsEventsNestedInside) {
    FakeClock clock;
    FakeEventPump pump(clock);
    Delay(0, clock, pump);
    Delay(-5, clock, pump);
    EXPECT_EQ(pump.waits, 0);

    std::vector<std::string> order;
    pump.scheduleIn(10, [&] {
        order.push_back("outer event");
        Delay(100, clock, pump);  // a command waiting inside the wait
        order.push_back("inner wait done");
    });
    const int64_t start = clock.now;
    Delay(50, clock, pump);
    order.push_back("outer wait done");
    EXPECT_EQ(order,
              (std::vector<std::string>{"outer event", "inner wait done", "outer wait done"}));
    EXPECT_GE(clock.now - start, 110);
}

TEST_F(ShotsTest, ASecondShotRunsInsideTheFirstShotsDelay) {
    host.delayed = true;
    host.delayText = "1";
    grabber.windows[1] = {{0, 0, 2, 2}, Bitmap(2, 2, PixelFormat::Device)};
    grabber.foreground = 1;
    pump.scheduleIn(200, [&] { capture.ShootScreen(); });
    capture.ShootWindow();
    EXPECT_EQ(grabber.screenGrabs, 1);
    EXPECT_EQ(grabber.windowGrabs, 1);
    EXPECT_EQ(host.counter, "2");
    EXPECT_TRUE(test::fileExists(dir.file("s_00.bmp")));  // the nested screen shot came first
    EXPECT_EQ(saved("s_01.bmp").width(), 2);
}

}  // namespace
}  // namespace fk
