#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "settings/ini_file.h"

namespace fk {
namespace {

// Controls held in plain fields, with the main window's start values; every setter call is
// recorded in order.
struct FakeControls final : SettingsControls {
    std::vector<std::string> calls;
    int x = 0, y = 0, alphaLevel = 255, format = -1, quality = 100, palette = 3, video = 0,
        speed = 10;
    bool transparent = false, minimized = false, delayOn = false, cursorOn = false, notes = true;
    std::string path = "/start", counter = "0", delay = "10", timer = "500", last = "scr_###.jpg";
    std::vector<std::string> list;
    std::string badFolder;  // selecting this one fails

    void note(const char* name) { calls.emplace_back(name); }

    int windowLeft() override { return x; }
    void setWindowLeft(int v) override { note("X"), x = v; }
    int windowTop() override { return y; }
    void setWindowTop(int v) override { note("Y"), y = v; }
    int alpha() override { return alphaLevel; }
    void setAlpha(int v) override { note("Alpha"), alphaLevel = v; }
    bool useAlpha() override { return transparent; }
    void setUseAlpha(bool v) override { note("UseAlpha"), transparent = v; }
    bool startMinimized() override { return minimized; }
    void setStartMinimized(bool v) override { note("StartMinimazed"), minimized = v; }
    std::string folder() override { return path; }
    void setFolder(const std::string& v) override {
        note("Path");
        if (!badFolder.empty() && v == badFolder)
            throw Exception(formatMessage("Error setting path: \"%s\"", {v}));
        path = v;
    }
    std::string counterText() override { return counter; }
    void setCounterText(const std::string& v) override { note("Count"), counter = v; }
    int formatIndex() override { return format; }
    void setFormatIndex(int v) override { note("Type"), format = v; }
    int jpegQuality() override { return quality; }
    void setJpegQuality(int v) override { note("JPEG_Quality"), quality = v; }
    int gifPalette() override { return palette; }
    void setGifPalette(int v) override { note("GIF_palette"), palette = v; }
    int videoType() override { return video; }
    void setVideoType(int v) override { note("VideoType"), video = v; }
    int gifSpeed() override { return speed; }
    void setGifSpeed(int v) override { note("GIFSpeed"), speed = v; }
    bool useDelay() override { return delayOn; }
    void setUseDelay(bool v) override { note("UseDelay"), delayOn = v; }
    bool captureCursor() override { return cursorOn; }
    void setCaptureCursor(bool v) override { note("CaptureCursor"), cursorOn = v; }
    std::string delayText() override { return delay; }
    void setDelayText(const std::string& v) override { note("Delay"), delay = v; }
    std::string timerText() override { return timer; }
    void setTimerText(const std::string& v) override { note("Timer"), timer = v; }
    std::string lastMask() override { return last; }
    void setLastMask(const std::string& v) override { note("Last"), last = v; }
    std::vector<std::string> masks() override { return list; }
    void setMasks(const std::vector<std::string>& v) override { note("Masks"), list = v; }
    bool notifications() override { return notes; }
    void setNotifications(bool v) override { note("Notifications"), notes = v; }
};

TEST(LoadSettings, AppliesEveryKeyInTheFixedOrder) {
    FakeControls c;
    EXPECT_TRUE(LoadSettings(IniFile::parse("[WindowPosition]\nX=3\n"), c).empty());
    const std::vector<std::string> order = {
        "X",         "Y",        "UseAlpha",     "StartMinimazed",
        "Alpha",     "Path",     "Last",         "Masks",
        "Count",     "Type",     "JPEG_Quality", "GIF_palette",
        "VideoType", "GIFSpeed", "UseDelay",     "CaptureCursor",
        "Delay",     "Timer",    "Notifications"};
    EXPECT_EQ(c.calls, order);
}

TEST(LoadSettings, MissingKeysOfAnExistingFileTakeTheFilesDefaultsNotTheWindows) {
    FakeControls c;
    LoadSettings(IniFile::parse("[Other]\n"), c);
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.alphaLevel, 255);
    EXPECT_EQ(c.format, 0);    // the window starts with none
    EXPECT_EQ(c.quality, 80);  // the window starts with 100
    EXPECT_EQ(c.palette, 3);
    EXPECT_EQ(c.speed, 10);
    EXPECT_EQ(c.delay, "0");  // the window starts with "10"
    EXPECT_EQ(c.timer, "0");  // and "500"
    EXPECT_EQ(c.counter, "0");
    EXPECT_EQ(c.last, "scr_###.jpg");
    EXPECT_EQ(c.path, "");  // the default folder is the window's to choose
    EXPECT_TRUE(c.list.empty());
}

TEST(LoadSettings, ASwitchIsOffOnlyForExactlyZero) {
    FakeControls c;
    LoadSettings(IniFile::parse("[WindowPosition]\nUseAlpha=yes\nStartMinimazed=\n"
                                "[ShootSettings]\nUseDelay=0\nCaptureCursor= 0 \n"),
                 c);
    EXPECT_TRUE(c.transparent);
    EXPECT_TRUE(c.minimized);  // empty reads as on
    EXPECT_FALSE(c.delayOn);
    EXPECT_FALSE(c.cursorOn);  // blanks around a value are not part of it
    FakeControls missing;
    LoadSettings(IniFile::parse("[WindowPosition]\n"), missing);
    EXPECT_FALSE(missing.transparent);
    EXPECT_FALSE(missing.minimized);
}

TEST(LoadSettings, ABadValueIsReportedAndSkippedAndLoadingGoesOn) {
    FakeControls c;
    c.badFolder = "/gone";
    const auto errors = LoadSettings(
        IniFile::parse("[WindowPosition]\nX=abc\nY=7\nAlpha=0x10\n[FileName]\nPath=/gone\n"
                       "Count=12\n[Format]\nType=1.5\nJPEG_Quality=99999999999\nGIF_palette=+2\n"
                       "[Masks]\nLast=a.png\n"),
        c);
    const std::vector<std::string> expected = {
        "[WindowPosition] X: 'abc' is not a valid integer value",
        "[WindowPosition] Alpha: '0x10' is not a valid integer value",
        "[FileName] Path: Error setting path: \"/gone\"",
        "[Format] Type: '1.5' is not a valid integer value",
        "[Format] JPEG_Quality: '99999999999' is not a valid integer value"};
    EXPECT_EQ(errors, expected);
    // Skipped keys keep the start values; the others are applied.
    EXPECT_EQ(c.x, 0);
    EXPECT_EQ(c.y, 7);
    EXPECT_EQ(c.alphaLevel, 255);
    EXPECT_EQ(c.path, "/start");
    EXPECT_EQ(c.format, -1);
    EXPECT_EQ(c.quality, 100);
    EXPECT_EQ(c.palette, 2);
    EXPECT_EQ(c.counter, "12");
    EXPECT_EQ(c.last, "a.png");
    EXPECT_EQ(c.timer, "0");
}

TEST(LoadSettings, IntegersAreStrictAndOutOfRangeValuesAreTheControlsToLimit) {
    FakeControls c;
    const auto errors =
        LoadSettings(IniFile::parse("[WindowPosition]\nX=-2147483648\nY=2147483648\nAlpha=50\n"
                                    "[Format]\nType=9\n"),
                     c);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "[WindowPosition] Y: '2147483648' is not a valid integer value");
    EXPECT_EQ(c.x, INT32_MIN);
    EXPECT_EQ(c.alphaLevel, 50);  // passed on as it is
    EXPECT_EQ(c.format, 9);
}

TEST(LoadSettings, TheMaskListIsEveryKeyStartingWithMaskInFileOrder) {
    FakeControls c;
    LoadSettings(IniFile::parse("[Masks]\nMask5=five.jpg\nLast=now.jpg\nmask1=lower.jpg\n"
                                "MaskList=odd.png\nMask0=zero.bmp\nMask0=dup.bmp\n"),
                 c);
    const std::vector<std::string> expected = {"five.jpg", "odd.png", "zero.bmp", "dup.bmp"};
    EXPECT_EQ(c.list, expected);
    EXPECT_EQ(c.last, "now.jpg");
}

TEST(SaveSettings, WritesEveryKeyInTheFixedOrderIntoAFreshFile) {
    FakeControls c;
    c.list = {"a_##.png", "b.bmp"};
    IniFile ini;
    SaveSettings(ini, c);
    EXPECT_EQ(ini.serialize(),
              "[WindowPosition]\nX=0\nY=0\nAlpha=255\nUseAlpha=0\nStartMinimazed=0\n\n"
              "[FileName]\nPath=/start\nCount=0\n\n"
              "[Format]\nType=-1\nJPEG_Quality=100\nGIF_palette=3\n\n"
              "[VideoFormat]\nVideoType=0\nGIFSpeed=10\n\n"
              "[ShootSettings]\nUseDelay=0\nCaptureCursor=0\nDelay=10\nTimer=500\n\n"
              "[Masks]\nLast=scr_###.jpg\nMask0=a_##.png\nMask1=b.bmp\n\n"
              "[Desktop]\nNotifications=1\n");
}

TEST(SaveSettings, TheMaskListNeverDoublesFromStartToStart) {
    IniFile ini = IniFile::parse("[Masks]\nMask5=five.jpg\n");
    for (int start = 0; start < 3; ++start) {
        FakeControls c;
        LoadSettings(ini, c);
        ASSERT_EQ(c.list, std::vector<std::string>{"five.jpg"}) << "start " << start;
        SaveSettings(ini, c);
    }
    EXPECT_EQ(ini.entries("Masks").size(), 2u);  // Last and Mask0
    EXPECT_EQ(ini.value("Masks", "Mask0"), "five.jpg");
    EXPECT_EQ(ini.value("Masks", "Mask5"), std::nullopt);
}

TEST(SaveSettings, KeepsWhatTheProgramDoesNotKnow) {
    IniFile ini = IniFile::parse(
        "; notes\n[Plugins]\nfoo=1\n[Format]\nType=2\nExtra=yes\n[Masks]\nmask7=kept\nComment=x\n");
    FakeControls c;
    LoadSettings(ini, c);
    SaveSettings(ini, c);
    const IniFile back = IniFile::parse(ini.serialize());
    EXPECT_EQ(back.value("Plugins", "foo"), "1");
    EXPECT_EQ(back.value("Format", "Extra"), "yes");
    EXPECT_EQ(back.value("Masks", "mask7"), "kept");
    EXPECT_EQ(back.value("Masks", "Comment"), "x");
    EXPECT_EQ(ini.serialize().rfind("; notes\n[Plugins]\nfoo=1\n[Format]\nType=2\nExtra=yes\n", 0),
              0u);
}

TEST(SaveSettings, WhatIsSavedLoadsBackTheSame) {
    FakeControls c;
    c.x = -30, c.y = 1200, c.alphaLevel = 120, c.transparent = true, c.minimized = true;
    c.path = "/home/u/Снимки", c.counter = "-2147483648", c.format = 4, c.quality = 0;
    c.palette = -1, c.video = -1, c.speed = 50, c.delayOn = true, c.cursorOn = true;
    c.delay = "", c.timer = "abc", c.last = "экран #.gif", c.list = {"", "x=y.png", " a "};
    IniFile ini;
    SaveSettings(ini, c);
    FakeControls back;
    EXPECT_TRUE(LoadSettings(IniFile::parse(ini.serialize()), back).empty());
    EXPECT_EQ(back.x, c.x);
    EXPECT_EQ(back.y, c.y);
    EXPECT_EQ(back.alphaLevel, c.alphaLevel);
    EXPECT_EQ(back.transparent, c.transparent);
    EXPECT_EQ(back.minimized, c.minimized);
    EXPECT_EQ(back.path, c.path);
    EXPECT_EQ(back.counter, c.counter);
    EXPECT_EQ(back.format, c.format);
    EXPECT_EQ(back.quality, c.quality);
    EXPECT_EQ(back.palette, c.palette);
    EXPECT_EQ(back.video, c.video);
    EXPECT_EQ(back.speed, c.speed);
    EXPECT_EQ(back.delayOn, c.delayOn);
    EXPECT_EQ(back.cursorOn, c.cursorOn);
    EXPECT_EQ(back.delay, c.delay);
    EXPECT_EQ(back.timer, c.timer);
    EXPECT_EQ(back.last, c.last);
    // Blanks around a value are not kept by the file format.
    EXPECT_EQ(back.list, (std::vector<std::string>{"", "x=y.png", "a"}));
}

}  // namespace
}  // namespace fk
