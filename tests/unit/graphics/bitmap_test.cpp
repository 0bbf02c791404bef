#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "graphics/bitmap.h"
#include "graphics/palettes.h"
#include "support/test_support.h"

namespace fk {
namespace {

TEST(Bitmap, RowsAreStoredBottomUpAndPaddedToFourBytes) {
    Bitmap b(5, 3, PixelFormat::Bits24);
    EXPECT_EQ(b.stride(), 16u);
    EXPECT_EQ(b.imageSize(), 48u);
    EXPECT_EQ(b.scanLine(2), b.bits());       // bottom row first
    EXPECT_EQ(b.scanLine(0), b.bits() + 32);  // top row last
    EXPECT_EQ(Bitmap::strideFor(9, 1), 4u);
    EXPECT_EQ(Bitmap::strideFor(9, 4), 8u);
    EXPECT_EQ(Bitmap::strideFor(3, 16), 8u);
    EXPECT_THROW(b.scanLine(3), EInvalidGraphicOperation);
    EXPECT_THROW(b.scanLine(-1), EInvalidGraphicOperation);
}

TEST(Bitmap, DeviceFormatIs32BitsBlueGreenRedUnused) {
    Bitmap b(2, 1, PixelFormat::Device);
    b.setPixel(1, 0, {10, 20, 30});
    const uint8_t* p = b.scanLine(0) + 4;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(b.bitsPerPixel(), 32);
}

TEST(Bitmap, PaletteFormatsExpandThroughTheirColourTable) {
    Bitmap b(9, 2, PixelFormat::Bits1);
    b.setColorTable({{0, 0, 255, 0}, {255, 0, 0, 0}});  // red, blue
    b.setIndex(8, 1, 1);
    b.setPixelFormat(PixelFormat::Bits24);
    EXPECT_EQ(b.pixel(0, 0), (Color{255, 0, 0}));
    EXPECT_EQ(b.pixel(8, 1), (Color{0, 0, 255}));

    Bitmap four = test::makeTestPattern(7, 3, PixelFormat::Bits4, 9);
    auto before = test::pixelsOf(four);
    four.setPixelFormat(PixelFormat::Bits8);  // deeper palette: same table and indexes
    EXPECT_EQ(four.colorTable().size(), 16u);
    EXPECT_EQ(test::pixelsOf(four), before);
    four.setPixelFormat(PixelFormat::Device);
    EXPECT_EQ(test::pixelsOf(four), before);
}

TEST(Bitmap, TruecolourConversionsKeepColoursTheFormatCanHold) {
    // Widths that end a row on either pixel of a pair, with junk in the display's unused byte.
    for (int width : {1, 2, 3, 6, 7}) {
        Bitmap w = test::makeTestPattern(width, 3, PixelFormat::Bits24, 4);
        const auto colours = test::pixelsOf(w);
        w.setPixelFormat(PixelFormat::Device);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                w.scanLine(y)[4 * x + 3] = uint8_t(0xA5 + x);
        w.setPixelFormat(PixelFormat::Bits24);
        EXPECT_EQ(test::pixelsOf(w), colours) << width << " wide";
    }
    Bitmap b = test::makeTestPattern(6, 5, PixelFormat::Bits24, 4);
    auto original = test::pixelsOf(b);
    b.setPixelFormat(PixelFormat::Device);
    EXPECT_EQ(test::pixelsOf(b), original);
    b.setPixelFormat(PixelFormat::Bits32);
    b.setPixelFormat(PixelFormat::Bits24);
    EXPECT_EQ(test::pixelsOf(b), original);

    b.setPixelFormat(PixelFormat::Bits16);
    Color c = b.pixel(0, 0);
    EXPECT_LE(std::abs(int(c.red) - original[0].red), 8);
    EXPECT_LE(std::abs(int(c.green) - original[0].green), 4);
    Bitmap white(1, 1, PixelFormat::Bits15);
    white.setPixel(0, 0, {255, 255, 255});
    EXPECT_EQ(white.pixel(0, 0), (Color{255, 255, 255}));
}

TEST(Bitmap, ReducingToAPaletteTakesTheNearestEntry) {
    Bitmap b(3, 1, PixelFormat::Bits24);
    b.setPixel(0, 0, {250, 250, 250});
    b.setPixel(1, 0, {20, 10, 5});
    b.setPixel(2, 0, {200, 30, 30});
    Bitmap mono = b;
    mono.setPixelFormat(PixelFormat::Bits1);
    EXPECT_EQ(mono.index(0, 0), 1);
    EXPECT_EQ(mono.index(1, 0), 0);
    b.setPixelFormat(PixelFormat::Bits8);
    EXPECT_EQ(b.colorTable().size(), 256u);
    EXPECT_EQ(b.pixel(2, 0), (Color{204, 51, 51}));  // nearest halftone entry
}

TEST(Palettes, HalftoneHasTheCubeTheGreysAndTheStaticColours) {
    EXPECT_EQ(kHalftonePalette256[0], (Color{0, 0, 0}));
    EXPECT_EQ(kHalftonePalette256[9], (Color{166, 202, 240}));
    EXPECT_EQ(kHalftonePalette256[10], (Color{0, 0, 0}));
    EXPECT_EQ(kHalftonePalette256[10 + 36 * 5 + 6 * 2 + 1], (Color{255, 102, 51}));
    EXPECT_EQ(kHalftonePalette256[225], (Color{255, 255, 255}));
    EXPECT_EQ(kHalftonePalette256[226], (Color{12, 12, 12}));
    EXPECT_EQ(kHalftonePalette256[245], (Color{243, 243, 243}));
    EXPECT_EQ(kHalftonePalette256[246], (Color{255, 251, 240}));
    EXPECT_EQ(kHalftonePalette256[255], (Color{255, 255, 255}));
}

TEST(Bitmap, RefusesImpossibleSizes) {
    EXPECT_THROW(Bitmap(-1, 5, PixelFormat::Bits24), EInvalidGraphic);
    EXPECT_THROW(Bitmap(1 << 20, 1 << 20, PixelFormat::Bits24), EInvalidGraphic);
    Bitmap empty(0, 10, PixelFormat::Bits24);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.imageSize(), 0u);
}

}  // namespace
}  // namespace fk
