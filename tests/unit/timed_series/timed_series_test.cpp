#include "capture/timed_series.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/exceptions.h"
#include "platform/fake/fake_platform.h"
#include "support/test_support.h"

namespace fk {
namespace {

// The main window's side of the shots and the series, in plain fields.
struct Window final : CaptureHost, TimedSeriesHost {
    SaveOptions options{PictureFormat::NotSelected, 100, 3, "", "scr_###.bmp", "0"};
    bool cursor = false;
    bool delayed = false;
    std::string delay = "10";
    std::string interval = "500";
    std::vector<std::string> captions;

    SaveOptions saveOptions() override { return options; }
    bool captureCursor() override { return cursor; }
    bool delayedShoot() override { return delayed; }
    std::string shotDelayText() override { return delay; }
    void setShotDelayText(const std::string& t) override { delay = t; }
    std::string runningNumberText() override { return options.counterText; }
    void setRunningNumberText(const std::string& t) override { options.counterText = t; }
    std::string intervalText() override { return interval; }
    void setIntervalText(const std::string& t) override { interval = t; }
    void setSeriesCaption(const std::string& c) override { captions.push_back(c); }
};

class TimedSeriesTest : public ::testing::Test {
protected:
    // Shots are written as BMP files into the test's folder.
    void recordShots() {
        window.options.format = PictureFormat::Bmp;
        window.options.folder = dir.path();
    }

    test::TempDir dir;
    FakeGrabber grabber;
    FakeClock clock;
    FakeEventPump pump{clock};
    Window window;
    Capture capture{grabber, window, clock, pump};
    TimedSeries series{capture, window};
};

const std::string kIdle = "Снятие по таймеру";
const std::string kRunning = "СТОП!";

TEST_F(TimedSeriesTest, RunsUntilToggledOffAndEndsAtTheEndOfThePause) {
    window.interval = "100";
    const int64_t start = clock.now;
    pump.schedule(start + 350, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();

    // Shots at 0, 100, 200 and 300; the stop comes inside the fourth pause, which is waited out.
    EXPECT_EQ(grabber.screenGrabs, 4);
    EXPECT_EQ(clock.now, start + 400);
    EXPECT_FALSE(series.TimerOn);
    EXPECT_EQ(window.captions, (std::vector<std::string>{kRunning, kIdle}));
    EXPECT_EQ(window.options.counterText, "4");  // every shot advances the running number
}

TEST_F(TimedSeriesTest, EveryShotIsSavedUnderTheNextNumber) {
    recordShots();
    window.interval = "50";
    pump.schedule(clock.now + 120, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();
    for (const char* name : {"scr_000.bmp", "scr_001.bmp", "scr_002.bmp"})
        EXPECT_TRUE(test::fileExists(dir.file(name))) << name;
    EXPECT_FALSE(test::fileExists(dir.file("scr_003.bmp")));
}

TEST_F(TimedSeriesTest, TheIntervalIsCorrectedOnEveryCall) {
    window.interval = "5";
    pump.scheduleIn(1, [&] {
        EXPECT_EQ(window.interval, "10");
        window.interval = "";
        series.ToggleTimedSeries();  // the stopping call corrects it too
        EXPECT_EQ(window.interval, "10");
    });
    series.ToggleTimedSeries();

    window.interval = "abc";
    EXPECT_THROW(series.ToggleTimedSeries(), EConvertError);
    EXPECT_FALSE(series.TimerOn);  // nothing started
    EXPECT_EQ(window.captions.size(), 2u);
}

TEST_F(TimedSeriesTest, APauseIsNeverShorterThanTheMinimumWhateverTheBoxHolds) {
    window.interval = "100";
    // Change the box while the series runs: the next pauses take it, but never below 10 ms.
    pump.scheduleIn(50, [&] { window.interval = "0"; });
    pump.scheduleIn(125, [&] { window.interval = "-7"; });
    pump.scheduleIn(145, [&] { series.ToggleTimedSeries(); });
    const int64_t start = clock.now;
    series.ToggleTimedSeries();
    const int shots = grabber.screenGrabs;
    // 0, 100 (pause read "0" → 10), 110, 120, 130 (pause "-7" → 10), 140, stop at 145 in pause.
    EXPECT_EQ(shots, 6);
    EXPECT_EQ(clock.now, start + 150);
    EXPECT_EQ(window.interval, "10");  // corrected by the stopping call
}

TEST_F(TimedSeriesTest, TheShotDelayIsWaitedOnceBeforeTheFirstPicture) {
    window.delayed = true;
    window.delay = "10";
    window.interval = "1000";
    const int64_t start = clock.now;
    int64_t firstGrab = -1;
    pump.schedule(start + 10000, [&] { firstGrab = grabber.screenGrabs; });
    pump.schedule(start + 11500, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();
    EXPECT_EQ(firstGrab, 0);            // nothing before the delay is over
    EXPECT_EQ(grabber.screenGrabs, 2);  // at 10 s and 11 s
    EXPECT_EQ(clock.now, start + 12000);
}

TEST_F(TimedSeriesTest, StoppedDuringTheShotDelayTakesNoPicture) {
    window.delayed = true;
    window.delay = "10";
    pump.scheduleIn(3000, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();
    EXPECT_EQ(grabber.screenGrabs, 0);
    EXPECT_FALSE(series.TimerOn);
    EXPECT_EQ(window.captions, (std::vector<std::string>{kRunning, kIdle}));
}

TEST_F(TimedSeriesTest, AnEmptyShotDelayBecomesZeroOnStartAndOnStop) {
    window.delay = "";
    pump.scheduleIn(1, [&] {
        EXPECT_EQ(window.delay, "0");
        window.delay = "";
        series.ToggleTimedSeries();
        EXPECT_EQ(window.delay, "0");
    });
    series.ToggleTimedSeries();
}

TEST_F(TimedSeriesTest, OtherCommandsRunInsideThePauses) {
    window.interval = "100";
    pump.scheduleIn(150, [&] { capture.ShootScreen(); });  // a single shot, nested
    pump.scheduleIn(250, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();
    EXPECT_EQ(grabber.screenGrabs, 4);  // 0, 100, the nested one, 200
    EXPECT_EQ(window.options.counterText, "4");
}

TEST_F(TimedSeriesTest, AFailedShotEndsTheSeries) {
    recordShots();
    window.interval = "100";
    // The folder disappears after two pictures: the third cannot be written.
    const std::string folder = dir.file("shots");
    std::filesystem::create_directory(folder);
    window.options.folder = folder;
    pump.scheduleIn(150, [&] { std::filesystem::remove_all(folder); });
    EXPECT_THROW(series.ToggleTimedSeries(), EStreamError);
    EXPECT_FALSE(series.TimerOn);
    EXPECT_EQ(window.captions, (std::vector<std::string>{kRunning, kIdle}));
    EXPECT_EQ(grabber.screenGrabs, 3);
    EXPECT_EQ(window.options.counterText, "3");  // the failed shot advanced it too

    // The next press starts a new series rather than only switching the old one off.
    std::filesystem::create_directory(folder);
    pump.scheduleIn(50, [&] { series.ToggleTimedSeries(); });
    series.ToggleTimedSeries();
    EXPECT_EQ(grabber.screenGrabs, 4);
}

TEST_F(TimedSeriesTest, AnIntervalThatIsNoNumberEndsTheSeriesAtTheNextPause) {
    window.interval = "100";
    pump.scheduleIn(50, [&] { window.interval = "12x"; });
    try {
        series.ToggleTimedSeries();
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'12x' is not a valid integer value");
    }
    EXPECT_FALSE(series.TimerOn);
    EXPECT_EQ(window.captions.back(), kIdle);
    EXPECT_EQ(grabber.screenGrabs, 2);
}

}  // namespace
}  // namespace fk
