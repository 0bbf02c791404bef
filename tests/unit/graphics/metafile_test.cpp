#include <gtest/gtest.h>

#include <algorithm>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"
#include "graphics/metafile.h"
#include "support/test_support.h"

namespace fk {
namespace {

using test::shellQuote;

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return le16(b, at) | (uint32_t(le16(b, at + 2)) << 16);
}

// Left half red, right half blue, a green bar across the top quarter.
Bitmap sample(int w, int h) {
    Bitmap b(w, h, PixelFormat::Device);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y,
                       y < h / 4   ? Color{0, 255, 0}
                       : x < w / 2 ? Color{255, 0, 0}
                                   : Color{0, 0, 255});
    return b;
}

// Finds the drawn picture inside the rendered page (readers may put it on a white page) and
// checks its three areas.
void expectSampleColours(const test::DecodedImage& img, const char* reader) {
    ASSERT_GT(img.width, 0) << reader;
    int left = img.width, top = img.height, right = -1, bottom = -1;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y) != Color{255, 255, 255}) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, left) << reader << " drew nothing";
    const int w = right - left + 1, h = bottom - top + 1;
    EXPECT_NEAR(double(w) / h, 2.0, 0.2) << reader << " aspect";
    auto near = [](Color a, Color b) {
        return std::abs(a.red - b.red) < 40 && std::abs(a.green - b.green) < 40 &&
               std::abs(a.blue - b.blue) < 40;
    };
    EXPECT_TRUE(near(img.at(left + w / 4, top + h * 3 / 4), {255, 0, 0})) << reader << " left half";
    EXPECT_TRUE(near(img.at(left + w * 3 / 4, top + h * 3 / 4), {0, 0, 255}))
        << reader << " right half";
    EXPECT_TRUE(near(img.at(left + w / 2, top + h / 10), {0, 255, 0})) << reader << " top bar";
}

TEST(Metafile, FlavourFollowsTheNameInAnyCase) {
    EXPECT_EQ(metafileKindForName("/a/shot.wmf"), MetafileKind::Placeable);
    EXPECT_EQ(metafileKindForName("/a/shot.WmF"), MetafileKind::Placeable);
    EXPECT_EQ(metafileKindForName("/a/shot.emf"), MetafileKind::Enhanced);
    EXPECT_EQ(metafileKindForName("/a/shot.wmf.png"), MetafileKind::Enhanced);
    EXPECT_EQ(metafileKindForName("wmf"), MetafileKind::Enhanced);
}

TEST(Metafile, PlaceableHeaderHasKeyBoundsUnitsAndChecksum) {
    MemoryStream s;
    writeMetafile(sample(40, 20), s, MetafileKind::Placeable);
    const auto& b = s.bytes();
    EXPECT_EQ(le32(b, 0), 0x9AC6CDD7u);
    EXPECT_EQ(le16(b, 6), 0);  // bounding box left, top, right, bottom
    EXPECT_EQ(le16(b, 8), 0);
    EXPECT_EQ(le16(b, 10), 40);
    EXPECT_EQ(le16(b, 12), 20);
    EXPECT_EQ(le16(b, 14), 96);
    uint16_t x = 0;
    for (size_t i = 0; i < 20; i += 2)
        x ^= le16(b, i);
    EXPECT_EQ(le16(b, 20), x);
    // The metafile header counts every word after the placeable header.
    EXPECT_EQ(le32(b, 22 + 6) * 2, b.size() - 22);
    // It ends with the end-of-file record.
    EXPECT_EQ(le32(b, b.size() - 6), 3u);
    EXPECT_EQ(le16(b, b.size() - 2), 0);
}

TEST(Metafile, EnhancedHeaderCountsBytesAndRecords) {
    MemoryStream s;
    writeMetafile(sample(40, 20), s, MetafileKind::Enhanced);
    const auto& b = s.bytes();
    EXPECT_EQ(le32(b, 0), 1u);
    EXPECT_EQ(le32(b, 40), 0x464D4520u);
    EXPECT_EQ(le32(b, 48), b.size());
    EXPECT_EQ(le32(b, 52), 3u);
    EXPECT_EQ(le32(b, 16), 39u);  // inclusive bounds
    EXPECT_EQ(le32(b, 20), 19u);
    EXPECT_EQ(le32(b, 108), 81u);  // the stretch-DIB record follows the header
}

TEST(Metafile, LibwmfDrawsThePlaceablePicture) {
    if (!test::toolAvailable("wmf2gd"))
        GTEST_SKIP() << "wmf2gd (libwmf-bin) is not installed";
    test::TempDir dir;
    saveMetafileToFile(dir.file("shot.wmf"), sample(64, 32));
    auto r = test::runCommand("wmf2gd -t png -o " + shellQuote(dir.file("shot.png")) + " " +
                              shellQuote(dir.file("shot.wmf")));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    expectSampleColours(test::decodeWithPillow(dir.file("shot.png")), "wmf2gd");
}

TEST(Metafile, LibreOfficeDrawsBothFlavours) {
    if (!test::toolAvailable("soffice"))
        GTEST_SKIP() << "LibreOffice is not installed";
    test::TempDir dir;
    saveMetafileToFile(dir.file("a.wmf"), sample(64, 32));
    saveMetafileToFile(dir.file("b.emf"), sample(64, 32));
    for (const char* name : {"a", "b"}) {
        std::string in = dir.file(std::string(name) + (name[0] == 'a' ? ".wmf" : ".emf"));
        auto r =
            test::runCommand("cd " + shellQuote(dir.path()) + " && HOME=" + shellQuote(dir.path()) +
                             " timeout 120 soffice --headless --convert-to png " + shellQuote(in));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        expectSampleColours(test::decodeWithPillow(dir.file(std::string(name) + ".png")), name);
    }
}

TEST(Metafile, RefusesPicturesItCannotHold) {
    MemoryStream s;
    EXPECT_THROW(writeMetafile(Bitmap(0, 0, PixelFormat::Device), s, MetafileKind::Enhanced),
                 EInvalidGraphic);
    EXPECT_THROW(writeMetafile(Bitmap(40000, 1, PixelFormat::Bits8), s, MetafileKind::Placeable),
                 EInvalidGraphic);
    // The enhanced header gives the picture's size in micrometres in signed 32-bit fields: at
    // 96 pixels an inch, 8 million pixels are 2116667 mm and still fit, 8.2 million no longer.
    writeMetafile(Bitmap(8'000'000, 1, PixelFormat::Bits8), s, MetafileKind::Enhanced);
    EXPECT_EQ(le32(s.bytes(), 80), 2116667u);
    EXPECT_EQ(le32(s.bytes(), 100), 2116667000u);
    MemoryStream wider;
    try {
        writeMetafile(Bitmap(8'200'000, 1, PixelFormat::Bits8), wider, MetafileKind::Enhanced);
        ADD_FAILURE() << "a width the header cannot hold was written";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Picture is too large for a metafile");
    }
}

}  // namespace
}  // namespace fk
