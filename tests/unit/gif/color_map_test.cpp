#include <gtest/gtest.h>

#include "gif/gif_image.h"
#include "gif_test_support.h"

using namespace fk;

TEST(GifColorMap, DepthIsTheSmallestPowerOfTwoThatHoldsTheEntries) {
    TGIFImage doc;
    TGIFColorMap& map = doc.header().colorMap();
    const std::vector<std::pair<int, int>> depthAt{{0, 0},  {1, 1},   {2, 1},   {3, 2},  {4, 2},
                                                   {5, 3},  {8, 3},   {9, 4},   {17, 5}, {33, 6},
                                                   {65, 7}, {128, 7}, {129, 8}, {256, 8}};
    int added = 0;
    for (auto [count, depth] : depthAt) {
        while (added < count)
            map.AppendColor(makeTColor(uint8_t(added), 0, 0)), ++added;
        EXPECT_EQ(map.ColorDepth(), depth) << count;
    }
    try {
        map.AppendColor(0);
        FAIL() << "257th colour taken";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }
    EXPECT_EQ(map.count(), 256);
}

TEST(GifColorMap, FindsFromTheLastEntryAndAppendsOnlyNewColours) {
    TGIFImage doc;
    TGIFColorMap& map = doc.header().colorMap();
    const TColor red = makeTColor(255, 0, 0);
    EXPECT_EQ(map.AppendColor(red), 0);
    EXPECT_EQ(map.AppendColor(makeTColor(0, 255, 0)), 1);
    EXPECT_EQ(map.AppendColor(red), 2);
    EXPECT_EQ(map.FindColor(red), 2);
    EXPECT_EQ(map.FindColor(red | 0xFF000000u), 2);  // the top byte is ignored
    EXPECT_EQ(map.FindColor(makeTColor(0, 0, 255)), -1);
    EXPECT_EQ(map.AppendUniqueColor(red), 2);
    EXPECT_EQ(map.AppendUniqueColor(makeTColor(0, 0, 255)), 3);
    EXPECT_EQ(map.entry(3), (Color{0, 0, 255}));
    EXPECT_EQ(map.color(1), makeTColor(0, 255, 0));
}

TEST(GifColorMap, BadIndexesRaiseOrWarnByOperation) {
    TGIFImage doc;
    std::vector<std::string> warnings;
    doc.setOnWarning(
        [&](TGIFPersistent*, TGIFSeverity, const std::string& m) { warnings.push_back(m); });
    TGIFColorMap& map = doc.header().colorMap();
    try {
        (void)map.entry(0);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table is empty");
    }
    map.AppendColor(makeTColor(1, 2, 3));
    map.AppendColor(makeTColor(4, 5, 6));
    EXPECT_EQ(map.entry(7), (Color{1, 2, 3}));
    EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
    try {
        map.Delete(2);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid color index");
    }
    map.Delete(0);
    EXPECT_EQ(map.count(), 1);
    EXPECT_EQ(map.entry(0), (Color{4, 5, 6}));
}

TEST(GifColorMap, ImportsPalettesAndDibTables) {
    TGIFImage doc;
    TGIFColorMap& map = doc.header().colorMap();
    map.ImportDIBTable({{10, 20, 30, 0}, {40, 50, 60, 9}});
    EXPECT_EQ(map.count(), 2);
    EXPECT_EQ(map.entry(0), (Color{30, 20, 10}));
    map.ImportPaletteEntries(Palette(300, PaletteEntry{7, 8, 9, 4}));
    EXPECT_EQ(map.count(), 256);
    EXPECT_EQ(map.entry(255), (Color{7, 8, 9}));
}
