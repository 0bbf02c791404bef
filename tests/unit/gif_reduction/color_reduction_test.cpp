#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "gif/reduction/color_reduction.h"
#include "gif/reduction/fixed_palettes.h"
#include "support/test_support.h"

namespace fk {
namespace {

Bitmap solid(int width, int height, Color c, PixelFormat format = PixelFormat::Device) {
    Bitmap b(width, height, format);
    b.fill(c);
    return b;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const GIFException& e) {
        return e.what();
    }
    return "";
}

TEST(MakePalettedBitmap, OnePixelBlackAndWhite) {
    Bitmap source = solid(1, 1, {200, 200, 200});
    Bitmap result = MakePalettedBitmap(source, pkBlackWhite, dkPlain, 8, nullptr);
    EXPECT_EQ(source.pixelFormat(), PixelFormat::Bits24);
    ASSERT_EQ(result.pixelFormat(), PixelFormat::Bits8);
    ASSERT_EQ(result.width(), 1);
    ASSERT_EQ(result.height(), 1);
    std::vector<RGBQuad> expected(256);
    expected[1] = {255, 255, 255, 0};
    EXPECT_EQ(result.colorTable(), expected);
    EXPECT_EQ(result.index(0, 0), 1);
}

TEST(MakePalettedBitmap, KindsBeyondTheEnumerationsGiveAnEmptyBitmap) {
    Bitmap source = test::makeTestPattern(4, 3, PixelFormat::Device, 1);
    const auto colors = test::pixelsOf(source);
    Bitmap byPalette = MakePalettedBitmap(source, TPaletteKind(10), dkPlain, 8, nullptr);
    EXPECT_TRUE(byPalette.empty());
    EXPECT_EQ(source.pixelFormat(), PixelFormat::Bits24);
    EXPECT_EQ(test::pixelsOf(source), colors);

    Bitmap again = test::makeTestPattern(4, 3, PixelFormat::Bits16, 1);
    Bitmap byDither = MakePalettedBitmap(again, pkHalftone, TDitherKind(7), 8, nullptr);
    EXPECT_TRUE(byDither.empty());
    EXPECT_EQ(again.pixelFormat(), PixelFormat::Bits24);

    Bitmap custom = test::makeTestPattern(4, 3, PixelFormat::Device, 1);
    EXPECT_TRUE(MakePalettedBitmap(custom, pkCustom, dkBurkes, 8, nullptr).empty());
    Palette none;
    EXPECT_TRUE(MakePalettedBitmap(custom, pkCustom, dkBurkes, 8, &none).empty());
}

TEST(MakePalettedBitmap, EmptySourcesAreInvalidDimensions) {
    for (TPaletteKind kind : {pkBlackWhite, pkHalftone, pkOctree, pkOctreeSystem}) {
        Bitmap wide(5, 0, PixelFormat::Device);
        EXPECT_EQ(errorOf([&] { MakePalettedBitmap(wide, kind, dkBurkes, 8, nullptr); }),
                  "Invalid image dimensions");
        Bitmap tall(0, 5, PixelFormat::Device);
        EXPECT_EQ(errorOf([&] { MakePalettedBitmap(tall, kind, dkPlain, 8, nullptr); }),
                  "Invalid image dimensions");
    }
}

TEST(MakePalettedBitmap, TrueColourIsATwentyFourBitCopy) {
    Bitmap source = test::makeTestPattern(6, 5, PixelFormat::Device, 8);
    Bitmap result = MakePalettedBitmap(source, pkTrueColor, dkBurkes, 8, nullptr);
    EXPECT_EQ(result.pixelFormat(), PixelFormat::Bits24);
    EXPECT_EQ(source.pixelFormat(), PixelFormat::Device);
    EXPECT_EQ(test::pixelsOf(result), test::pixelsOf(source));
}

// A captured 32-bit frame at the program's black-and-white setting.
TEST(MakePalettedBitmap, ScreenSizedMonochrome) {
    Bitmap source = test::makeTestPattern(800, 600, PixelFormat::Device, 4);
    const auto colors = test::pixelsOf(source);
    Bitmap result = MakePalettedBitmap(source, pkBlackWhite, dkPlain, 8, nullptr);
    ASSERT_EQ(result.width(), 800);
    ASSERT_EQ(result.height(), 600);
    EXPECT_EQ(result.colorTable()[0], (RGBQuad{0, 0, 0, 0}));
    EXPECT_EQ(result.colorTable()[1], (RGBQuad{255, 255, 255, 0}));
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const Color c = colors[size_t(y) * 800 + size_t(x)];
            const int expected = 77 * c.red + 150 * c.green + 29 * c.blue > 32512;
            ASSERT_EQ(result.index(x, y), expected) << x << "," << y;
        }
}

TEST(MakePalettedBitmap, GreyAndCubeReadTheSourceAsBlueGreenRed) {
    Bitmap blue = solid(3, 2, {0, 0, 255});
    EXPECT_EQ(MakePalettedBitmap(blue, pkGray256, dkPlain, 8, nullptr).index(2, 1), 28);
    Bitmap cube = solid(2, 2, {255, 48, 47});
    Bitmap result = MakePalettedBitmap(cube, pkWebCube, dkPlain, 8, nullptr);
    EXPECT_EQ(result.index(1, 1), 36 * 5 + 6 * 1 + 0);
    EXPECT_EQ(result.colorTable()[215], (RGBQuad{255, 255, 255, 0}));
    EXPECT_EQ(result.colorTable()[216], (RGBQuad{0, 0, 0, 0}));
}

// Mapped plainly, every pixel is the nearest entry of the result's own colour table (the least
// squared distance, the lowest index on a tie), or what the computed matchers give: the two
// halves of the weighted sum, the grey level, the cube's levels (c + 3) div 51. With the error
// spread, every kind stays within its palette.
TEST(MakePalettedBitmap, EveryPaletteKindMapsToItsNearestEntries) {
    const Palette custom = {{250, 10, 10, 0}, {10, 250, 10, 0}, {10, 10, 250, 0}, {90, 90, 90, 0}};
    auto nearestIn = [](const std::vector<RGBQuad>& table, size_t colours, Color c) {
        int best = 0, bestDistance = 1 << 30;
        for (size_t i = 0; i < colours; ++i) {
            const int dr = table[i].red - c.red, dg = table[i].green - c.green,
                      db = table[i].blue - c.blue;
            if (dr * dr + dg * dg + db * db < bestDistance) {
                bestDistance = dr * dr + dg * dg + db * db;
                best = int(i);
            }
        }
        return best;
    };
    auto luma = [](Color c) { return 77 * c.red + 150 * c.green + 29 * c.blue; };
    struct Case {
        TPaletteKind kind;
        TDitherKind dither;
        size_t colours;
        std::function<int(Color)> computed;  // none: the nearest entry of the table
    };
    const Case cases[] = {
        {pkSystem20, dkPlain, 20, nullptr},
        {pkHalftone, dkBurkes, 256, nullptr},
        {pkGray4, dkStucki, 4, nullptr},
        {pkBlackWhite, dkSierra, 2, [&](Color c) { return luma(c) > 32512 ? 1 : 0; }},
        {pkGray256, dkPlain, 256, [&](Color c) { return luma(c) >> 8; }},
        {pkWebCube, dkJaJuNi, 216,
         [](Color c) {
             return 36 * ((c.red + 3) / 51) + 6 * ((c.green + 3) / 51) + (c.blue + 3) / 51;
         }},
        {pkOctree, dkSteveArche, 16, nullptr},
        {pkOctreeSystem, dkBurkes, 256, nullptr},
        {pkCustom, dkFloydSteinberg, 4, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.kind));
        for (TDitherKind dither : {dkPlain, c.dither}) {
            Bitmap source = test::makeTestPattern(37, 21, PixelFormat::Device, 6);
            const std::vector<Color> colours = test::pixelsOf(source);
            Bitmap result = MakePalettedBitmap(source, c.kind, dither, 4, &custom);
            ASSERT_EQ(result.pixelFormat(), PixelFormat::Bits8);
            const auto& table = result.colorTable();
            ASSERT_EQ(table.size(), 256u);
            for (size_t i = c.colours; i < 256; ++i)
                ASSERT_EQ(table[i], RGBQuad{}) << i;
            for (int y = 0; y < 21; ++y)
                for (int x = 0; x < 37; ++x) {
                    const Color from = colours[size_t(y) * 37 + size_t(x)];
                    const int index = result.index(x, y);
                    ASSERT_LT(index, int(c.colours)) << x << "," << y;
                    if (dither != dkPlain)
                        continue;
                    const int nearest =
                        c.computed ? c.computed(from) : nearestIn(table, c.colours, from);
                    ASSERT_EQ(index, nearest) << x << "," << y << " from " << int(from.red) << ","
                                              << int(from.green) << "," << int(from.blue);
                }
        }
    }
}

TEST(MakePalettedBitmap, OctreeSystemKeepsAFewColoursExactly) {
    // A screen-like picture of few colours: every one gets its own octree entry and is kept.
    const Color colors[] = {
        {240, 240, 240}, {30, 60, 200}, {0, 0, 0}, {250, 200, 40}, {99, 7, 150}};
    Bitmap source(64, 40, PixelFormat::Device);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            source.setPixel(x, y, colors[(x / 7 + y / 5) % 5]);
    const auto before = test::pixelsOf(source);
    Bitmap result = MakePalettedBitmap(source, pkOctreeSystem, dkBurkes, 8, nullptr);
    EXPECT_EQ(test::pixelsOf(result), before);
    const auto& table = result.colorTable();
    EXPECT_EQ(table[0], (RGBQuad{0, 0, 0, 0}));
    EXPECT_EQ(table[255], (RGBQuad{255, 255, 255, 0}));
    EXPECT_EQ(table[9], (RGBQuad{240, 202, 166, 0}));
}

TEST(MakePalettedBitmap, OctreePaletteBitsSizeThePalette) {
    Bitmap source = test::makeTestPattern(50, 40, PixelFormat::Device, 12);
    for (int bits : {1, 3, 8}) {
        Bitmap copy = source;
        Bitmap result = MakePalettedBitmap(copy, pkOctree, dkPlain, bits, nullptr);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_LT(result.index(x, y), 1 << bits);
    }
    for (int bits : {-3, 0, 9, 40}) {  // held to 1..256 colours
        Bitmap copy = source;
        EXPECT_EQ(MakePalettedBitmap(copy, pkOctree, dkPlain, bits, nullptr).width(), 50);
    }
}

TEST(MakePalettedBitmap, LongCustomPalettesAreCutTo256) {
    Palette custom(300, PaletteEntry{255, 0, 0, 0});
    custom[299] = {0, 0, 255, 0};
    Bitmap source = solid(3, 3, {0, 0, 255});
    Bitmap result = MakePalettedBitmap(source, pkCustom, dkPlain, 8, &custom);
    EXPECT_EQ(result.index(1, 1), 0);
    EXPECT_EQ(result.colorTable()[255], (RGBQuad{0, 0, 255, 0}));
}

}  // namespace
}  // namespace fk
