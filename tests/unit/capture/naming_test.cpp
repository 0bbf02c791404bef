#include <gtest/gtest.h>

#include "capture/naming.h"

namespace fk {
namespace {

TEST(BuildFileName, ReplacesTheFirstRunOfHashesWithThePaddedNumber) {
    EXPECT_EQ(BuildFileName("/shots", "scr_###.jpg", "7"), "/shots/scr_007.jpg");
    EXPECT_EQ(BuildFileName("/shots", "a#b#.png", "7"), "/shots/a7b#.png");
    EXPECT_EQ(BuildFileName("/shots", "x.bmp", "7"), "/shots/x.bmp");
    EXPECT_EQ(BuildFileName("/shots", "scr_#.jpg", "123"), "/shots/scr_123.jpg");
    EXPECT_EQ(BuildFileName("/shots", "###", "12"), "/shots/012");
    EXPECT_EQ(BuildFileName("/shots", "#", "0"), "/shots/0");
}

TEST(BuildFileName, KeepsTheCounterTextAsItStands) {
    EXPECT_EQ(BuildFileName("/s", "scr_###.jpg", "-5"), "/s/scr_0-5.jpg");  // sign after the zeros
    EXPECT_EQ(BuildFileName("/s", "##.gif", "abc"), "/s/abc.gif");
    EXPECT_EQ(BuildFileName("/s", "#.gif", "123456"), "/s/123456.gif");  // never cut
    EXPECT_EQ(BuildFileName("/s", "####", ""), "/s/0000");
}

TEST(BuildFileName, JoinsTheFolderWithOneSeparatorWhateverItEndsWith) {
    EXPECT_EQ(BuildFileName("/", "a#.png", "1"), "//a1.png");  // the platform accepts it
    EXPECT_EQ(BuildFileName("", "a#.png", "1"), "/a1.png");    // no folder selected
    EXPECT_EQ(BuildFileName("/home/user/Снимки", "кадр_##.bmp", "3"),
              "/home/user/Снимки/кадр_03.bmp");
}

TEST(RunningNumber, AdvancesCountsTextAsZeroAndWraps) {
    EXPECT_EQ(AdvanceRunningNumber("7"), "8");
    EXPECT_EQ(AdvanceRunningNumber("abc"), "1");
    EXPECT_EQ(AdvanceRunningNumber(""), "1");
    EXPECT_EQ(AdvanceRunningNumber("-1"), "0");
    EXPECT_EQ(AdvanceRunningNumber("007"), "8");
    EXPECT_EQ(AdvanceRunningNumber("2147483647"), "-2147483648");
    EXPECT_EQ(AdvanceRunningNumber("2147483648"), "1");  // out of range counts as no number
    EXPECT_EQ(RunningNumberValue(" 5"), 0);
    EXPECT_EQ(RunningNumberValue("+5"), 5);
}

TEST(BuildVideoFileName, UsesTheNumberNotTheMaskAndAdvances) {
    std::string counter = "007";
    EXPECT_EQ(BuildVideoFileName("/v", counter, VideoEntry::Whole), "/v/video_7.gif");
    EXPECT_EQ(counter, "8");
    EXPECT_EQ(BuildVideoFileName("/v", counter, VideoEntry::NotSelected),
              "/v/video_8");  // no type selected
    EXPECT_EQ(counter, "9");
    counter = "x";
    EXPECT_EQ(BuildVideoFileName("/v", counter, VideoEntry::Whole), "/v/video_0.gif");
    EXPECT_EQ(counter, "1");
}

TEST(RewriteMaskExtension, ReplacesOnlyARealExtension) {
    EXPECT_EQ(RewriteMaskExtension("scr_###", "PNG"), "scr_###.png");
    EXPECT_EQ(RewriteMaskExtension("shot.jpg", "PNG"), "shot.png");
    EXPECT_EQ(RewriteMaskExtension("a.jpg.jpg", "PNG"), "a.jpg.png");
    EXPECT_EQ(RewriteMaskExtension("scr_###.jpg", "GIF"), "scr_###.gif");
    EXPECT_EQ(RewriteMaskExtension("dir.v2/shot", "TIF"), "dir.v2/shot.tif");
    EXPECT_EQ(RewriteMaskExtension("dir.v2\\shot", "TIF"), "dir.v2\\shot.tif");
    EXPECT_EQ(RewriteMaskExtension("c:shot", "BMP"), "c:shot.bmp");
    EXPECT_EQ(RewriteMaskExtension(".hidden", "WMF"), ".wmf");
    EXPECT_EQ(RewriteMaskExtension("", "JPG"), ".jpg");
}

}  // namespace
}  // namespace fk
