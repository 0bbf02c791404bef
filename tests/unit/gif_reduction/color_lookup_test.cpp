#include <gtest/gtest.h>

#include <random>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/fixed_palettes.h"
#include "graphics/palettes.h"

namespace fk {
namespace {

struct Match {
    int index;
    Color color;
};

Match match(TColorLookup& lookup, uint8_t r, uint8_t g, uint8_t b) {
    Color out;
    int index = lookup.MatchColor(r, g, b, out.red, out.green, out.blue);
    return {index, out};
}

TEST(Matchers, MonochromeSplitsAtHalfTheWeightedSum) {
    TMonochromeLookup mono;
    EXPECT_EQ(mono.ColorCount(), 2);
    Match dark = match(mono, 127, 127, 127);  // 77*127 + 150*127 + 29*127 = 32512
    EXPECT_EQ(dark.index, 0);
    EXPECT_EQ(dark.color, (Color{0, 0, 0}));
    Match light = match(mono, 128, 127, 127);  // 32589
    EXPECT_EQ(light.index, 1);
    EXPECT_EQ(light.color, (Color{255, 255, 255}));
}

TEST(Matchers, GrayScaleUsesWeightedLuminance) {
    TGrayScaleLookup gray;
    EXPECT_EQ(gray.ColorCount(), 256);
    EXPECT_EQ(match(gray, 255, 0, 0).index, 76);
    EXPECT_EQ(match(gray, 255, 0, 0).color, (Color{76, 76, 76}));
    EXPECT_EQ(match(gray, 255, 255, 255).index, 255);
    EXPECT_EQ(match(gray, 0, 0, 255).index, 28);
    EXPECT_EQ(match(gray, 0, 255, 0).index, 149);
}

TEST(Matchers, NetscapeCubeLevels) {
    TNetscapeColorLookup cube;
    EXPECT_EQ(cube.ColorCount(), 216);
    EXPECT_EQ(match(cube, 47, 0, 0).index, 0);
    EXPECT_EQ(match(cube, 48, 0, 0).index, 36);
    EXPECT_EQ(match(cube, 48, 0, 0).color, (Color{51, 0, 0}));
    EXPECT_EQ(match(cube, 0, 0, 255).index, 5);
    EXPECT_EQ(match(cube, 255, 255, 255).index, 215);
    EXPECT_EQ(match(cube, 255, 255, 255).color, (Color{255, 255, 255}));
}

// The computed matchers agree with the palettes built for their kinds, and their batch entry
// with their single one.
TEST(Matchers, ComputedMatchersAgreeWithTheirPalettes) {
    TMonochromeLookup mono;
    TGrayScaleLookup gray;
    TNetscapeColorLookup cube;
    std::pair<TColorLookup*, Palette> kinds[] = {
        {&mono, MakeBlackWhitePalette()},
        {&gray, MakeGrayRampPalette()},
        {&cube, MakeWebCubePalette()},
    };
    std::mt19937 rng(7);
    std::vector<uint8_t> row(3 * 500);
    for (auto& b : row)
        b = uint8_t(rng());
    for (auto& [lookup, palette] : kinds) {
        ASSERT_EQ(size_t(lookup->ColorCount()), palette.size());
        std::vector<uint8_t> batch(500);
        lookup->MatchPixels(row.data(), batch.data(), 500);
        for (int i = 0; i < 500; ++i) {
            Match m = match(*lookup, row[3 * i + 2], row[3 * i + 1], row[3 * i]);
            ASSERT_EQ(batch[i], m.index);
            const PaletteEntry& e = palette[m.index];
            ASSERT_EQ(m.color, (Color{e.red, e.green, e.blue}));
        }
    }
}

TEST(Palettes, FixedPalettes) {
    Palette bw = MakeBlackWhitePalette();
    ASSERT_EQ(bw.size(), 2u);
    EXPECT_EQ(bw[0], (PaletteEntry{0, 0, 0, 4}));
    EXPECT_EQ(bw[1], (PaletteEntry{255, 255, 255, 4}));

    Palette gray4 = MakeGray4Palette();
    ASSERT_EQ(gray4.size(), 4u);
    EXPECT_EQ(gray4[1], (PaletteEntry{128, 128, 128, 4}));
    EXPECT_EQ(gray4[2], (PaletteEntry{192, 192, 192, 4}));

    Palette ramp = MakeGrayRampPalette();
    ASSERT_EQ(ramp.size(), 256u);
    EXPECT_EQ(ramp[77], (PaletteEntry{77, 77, 77, 4}));

    Palette cube = MakeWebCubePalette();
    ASSERT_EQ(cube.size(), 216u);
    EXPECT_EQ(cube[36 * 1 + 6 * 2 + 3], (PaletteEntry{51, 102, 153, 0}));

    Palette halftone = MakeHalftonePalette();
    ASSERT_EQ(halftone.size(), 256u);
    EXPECT_EQ(halftone[9], (PaletteEntry{166, 202, 240, 0}));
    EXPECT_EQ(halftone[10], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(halftone[10 + 36 * 5 + 6 * 0 + 1], (PaletteEntry{255, 0, 51, 0}));
    EXPECT_EQ(halftone[226], (PaletteEntry{12, 12, 12, 0}));
    EXPECT_EQ(halftone[245], (PaletteEntry{243, 243, 243, 0}));
    EXPECT_EQ(halftone[246], (PaletteEntry{255, 251, 240, 0}));

    const Palette& system = SystemPalette20();
    ASSERT_EQ(system.size(), 20u);
    EXPECT_EQ(&system, &SystemPalette20());  // shared, not rebuilt
    EXPECT_EQ(system[8], (PaletteEntry{192, 220, 192, 0}));
}

TEST(SlowColorLookup, NearestEntryLowestIndexOnTies) {
    Palette p = {{10, 10, 10, 0}, {0, 0, 0, 0}, {20, 20, 20, 0}, {0, 0, 0, 0}, {200, 0, 0, 0}};
    TSlowColorLookup lookup(p);
    EXPECT_EQ(lookup.ColorCount(), 5);
    EXPECT_EQ(match(lookup, 15, 15, 15).index, 0);  // 0 and 2 tie
    EXPECT_EQ(match(lookup, 1, 1, 1).index, 1);     // 1 and 3 are the same colour
    Match red = match(lookup, 255, 40, 40);
    EXPECT_EQ(red.index, 4);
    EXPECT_EQ(red.color, (Color{200, 0, 0}));
}

// Black and white are the colours an unused memo slot could be mistaken for.
TEST(SlowColorLookup, FirstQuestionsForBlackAndWhite) {
    Palette p(256, PaletteEntry{90, 90, 90, 0});
    p[7] = {255, 255, 255, 0};
    p[200] = {0, 0, 0, 0};
    for (int order = 0; order < 2; ++order) {
        TSlowColorLookup lookup(p);
        if (order == 0) {
            EXPECT_EQ(match(lookup, 255, 255, 255).index, 7);
            EXPECT_EQ(match(lookup, 0, 0, 0).index, 200);
        } else {
            EXPECT_EQ(match(lookup, 0, 0, 0).index, 200);
            EXPECT_EQ(match(lookup, 255, 255, 255).index, 7);
        }
    }
}

TEST(SlowColorLookup, ReadsAtMostTheFirst256Entries) {
    Palette p(300, PaletteEntry{255, 255, 255, 0});
    p[299] = {0, 0, 0, 0};
    TSlowColorLookup lookup(p);
    EXPECT_EQ(lookup.ColorCount(), 256);
    EXPECT_EQ(match(lookup, 0, 0, 0).index, 0);

    TSlowColorLookup empty(Palette{});
    EXPECT_EQ(empty.ColorCount(), 0);
}

Palette randomPalette(std::mt19937& rng, int size, int spread) {
    Palette p(static_cast<size_t>(size));
    const int base = int(rng() % (256 - spread + 1));
    for (auto& e : p) {
        e = {uint8_t(base + rng() % spread), uint8_t(base + rng() % spread),
             uint8_t(base + rng() % spread), 0};
        if (rng() % 8 == 0 && &e != &p[0])
            e = p[rng() % size_t(&e - &p[0])];  // repeats
    }
    return p;
}

// The fast search must give the plain search's answer, ties included, for any palette.
TEST(SlowColorLookup, FastSearchEqualsLinearSearch) {
    std::mt19937 rng(12345);
    std::vector<Palette> palettes = {MakeHalftonePalette(), SystemPalette20(),
                                     MakeGray4Palette(),    MakeWebCubePalette(),
                                     MakeGrayRampPalette(), Palette{{128, 128, 128, 0}}};
    for (int size : {2, 3, 16, 100, 236, 256}) {
        palettes.push_back(randomPalette(rng, size, 256));
        palettes.push_back(randomPalette(rng, size, 9));  // crowded: many ties
    }
    for (const Palette& palette : palettes) {
        TSlowColorLookup lookup(palette);
        for (int i = 0; i < 40000; ++i) {
            uint8_t r, g, b;
            if (i % 2) {
                r = uint8_t(rng()), g = uint8_t(rng()), b = uint8_t(rng());
            } else {  // near an entry, where ties and close calls live
                const PaletteEntry& e = palette[rng() % palette.size()];
                r = uint8_t(std::clamp(int(e.red) + int(rng() % 9) - 4, 0, 255));
                g = uint8_t(std::clamp(int(e.green) + int(rng() % 9) - 4, 0, 255));
                b = uint8_t(std::clamp(int(e.blue) + int(rng() % 9) - 4, 0, 255));
            }
            const uint8_t expected = lookup.LinearSearch(r, g, b);
            Match m = match(lookup, r, g, b);
            ASSERT_EQ(m.index, expected) << int(r) << "," << int(g) << "," << int(b)
                                         << " in a palette of " << palette.size();
            const PaletteEntry& e = palette[expected];
            ASSERT_EQ(m.color, (Color{e.red, e.green, e.blue}));
        }
    }
}

TEST(SlowColorLookup, HalftoneOverAWholeLatticeOfColours) {
    TSlowColorLookup lookup(MakeHalftonePalette());
    std::vector<uint8_t> row;
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 7) {
                row.push_back(uint8_t(b));
                row.push_back(uint8_t(g));
                row.push_back(uint8_t(r));
            }
    const int count = int(row.size() / 3);
    std::vector<uint8_t> batch(static_cast<size_t>(count));
    lookup.MatchPixels(row.data(), batch.data(), count);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(batch[i], lookup.LinearSearch(row[3 * i + 2], row[3 * i + 1], row[3 * i]));
}

}  // namespace
}  // namespace fk
