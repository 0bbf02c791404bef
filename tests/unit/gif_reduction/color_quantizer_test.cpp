#include <gtest/gtest.h>

#include "gif/reduction/color_quantizer.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/fixed_palettes.h"
#include "support/test_support.h"

namespace fk {
namespace {

std::vector<RGBQuad> tableOf(const TColorQuantizer& q) {
    std::array<RGBQuad, 256> table{};
    const int n = q.WriteColorTable(table);
    return {table.begin(), table.begin() + n};
}

Bitmap solid(int width, int height, Color c) {
    Bitmap b(width, height, PixelFormat::Bits24);
    b.fill(c);
    return b;
}

TEST(ColorQuantizer, ColourPathsFollowTheChannelBits) {
    TColorQuantizer q(256, 8);
    q.AddColor(255, 0, 0);
    q.AddColor(0, 0, 255);
    q.AddColor(0x80, 0x80, 0x80);
    EXPECT_EQ(q.LeafTotal(), 3);
    auto leafAlong = [&](std::initializer_list<int> path) {
        const TOctreeNode* node = q.Root();
        for (int kid : path) {
            if (!node || node->Leaf)
                return static_cast<const TOctreeNode*>(nullptr);
            node = node->Kids[kid];
        }
        return node && node->Leaf ? node : nullptr;
    };
    const TOctreeNode* red = leafAlong({4, 4, 4, 4, 4, 4, 4, 4});
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->SumR, 255);
    EXPECT_NE(leafAlong({1, 1, 1, 1, 1, 1, 1, 1}), nullptr);
    EXPECT_NE(leafAlong({7, 0, 0, 0, 0, 0, 0, 0}), nullptr);
    // Leaves come out in octree order: child 1 (blue) before child 4 (red) before child 7.
    EXPECT_EQ(tableOf(q),
              (std::vector<RGBQuad>{{255, 0, 0, 0}, {0, 0, 255, 0}, {128, 128, 128, 0}}));
}

TEST(ColorQuantizer, BlackWhiteRedFoldIntoOneLeafAtLimitTwo) {
    TColorQuantizer q(2, 8);
    q.AddColor(0, 0, 0);
    q.AddColor(255, 255, 255);
    EXPECT_EQ(q.LeafTotal(), 2);
    q.AddColor(255, 0, 0);
    EXPECT_EQ(q.LeafTotal(), 1);
    ASSERT_TRUE(q.Root()->Leaf);
    EXPECT_EQ(q.Root()->Tally, 3);
    EXPECT_EQ(tableOf(q), (std::vector<RGBQuad>{{85, 85, 170, 0}}));
}

// The node merged is the last made one of the deepest level that has one, and merging stops as
// soon as the leaves fit.
TEST(ColorQuantizer, MergesTheNewestDeepestNodeFirst) {
    TColorQuantizer q(2, 8);
    q.AddColor(0, 0, 0);
    q.AddColor(0, 0, 1);  // shares every node with black down to level 7
    q.AddColor(255, 255, 255);
    EXPECT_EQ(q.LeafTotal(), 2);
    // White's level-7 node was newest and folded first (no leaf fewer); black's and blue's
    // shared level-7 node came next and brought the count to two.
    const TOctreeNode* white = q.Root()->Kids[7];
    for (int level = 1; level < 7; ++level) {
        ASSERT_FALSE(white->Leaf);
        white = white->Kids[7];
    }
    EXPECT_TRUE(white->Leaf);
    EXPECT_EQ(white->Tally, 1);
    const TOctreeNode* dark = q.Root()->Kids[0];
    for (int level = 1; level < 7; ++level)
        dark = dark->Kids[0];
    EXPECT_TRUE(dark->Leaf);
    EXPECT_EQ(dark->Tally, 2);
    EXPECT_EQ(dark->SumB, 1);
    EXPECT_EQ(tableOf(q), (std::vector<RGBQuad>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
}

TEST(ColorQuantizer, AveragesTruncate) {
    TColorQuantizer q(1, 8);
    q.AddColor(1, 0, 9);
    q.AddColor(2, 0, 0);
    EXPECT_EQ(tableOf(q), (std::vector<RGBQuad>{{4, 0, 1, 0}}));
}

TEST(ColorQuantizer, NeverHoldsMoreLeavesThanTheLimit) {
    Bitmap picture = test::makeTestPattern(64, 48, PixelFormat::Bits24, 11);
    for (int limit : {1, 2, 7, 16, 236}) {
        TColorQuantizer q(limit, 8);
        TDIBReader reader(picture, PixelFormat::Bits24);
        for (int row = 0; row < 48; ++row) {
            const uint8_t* p = reader.ScanRow(row);
            for (int col = 0; col < 64; ++col, p += 3) {
                q.AddColor(p[2], p[1], p[0]);
                ASSERT_LE(q.LeafTotal(), limit);
            }
        }
        EXPECT_EQ(int(tableOf(q).size()), q.LeafTotal());
    }
}

// Colours met again after their leaf has been folded away must count in the merged leaf.
TEST(ColorQuantizer, RepeatedColoursCountWhereTheTreeNowEndsTheirPath) {
    TColorQuantizer q(2, 8);
    for (int round = 0; round < 3; ++round) {
        q.AddColor(10, 10, 10);
        q.AddColor(12, 10, 10);
        q.AddColor(200, 10, 10);
        q.AddColor(201, 10, 10);
    }
    std::array<RGBQuad, 256> table{};
    ASSERT_EQ(q.WriteColorTable(table), 2);
    EXPECT_EQ(table[0], (RGBQuad{10, 10, 11, 0}));
    EXPECT_EQ(table[1], (RGBQuad{10, 10, 200, 0}));
    int64_t tally = 0;
    for (int kid = 0; kid < 8; ++kid) {
        const TOctreeNode* node = q.Root()->Kids[kid];
        while (node && !node->Leaf) {
            const TOctreeNode* next = nullptr;
            for (const TOctreeNode* k : node->Kids)
                next = k ? k : next;
            node = next;
        }
        if (node)
            tally += node->Tally;
    }
    EXPECT_EQ(tally, 12);
}

TEST(OctreePalette, OneColourWithSystemReserve) {
    Bitmap picture = solid(3, 2, {10, 20, 30});
    Palette p = MakeOctreePaletteForBitmap(picture, 256, 8, true);
    ASSERT_EQ(p.size(), 256u);
    const Palette& system = SystemPalette20();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(p[i], system[i]);
        EXPECT_EQ(p[246 + i], system[10 + i]);
    }
    EXPECT_EQ(p[10], (PaletteEntry{10, 20, 30, 0}));
    for (int i = 11; i < 246; ++i)
        ASSERT_EQ(p[i], (PaletteEntry{0, 0, 0, 0})) << i;

    Bitmap onePixel = solid(1, 1, {1, 2, 3});
    EXPECT_EQ(MakeOctreePaletteForBitmap(onePixel, 16, 8, true).size(), 256u);
}

// Worked by hand. The pixels, top row first: A (0,0,0), B (0,0,8), C (255,0,0); D (255,0,5),
// E (0,255,0), A' (1,0,0). B leaves A's path at level 4 (blue bit 3), D leaves C's at level 5
// (blue bit 2), A' would leave A's at level 7.
// With 4 colours, E makes a fifth leaf. The merges take the level-7 nodes, newest first (E, D, C,
// B, A), then those of level 6, all of one child, none lowering the count; then at level 5 E's
// node (one child) and C's node, which holds C and D: four leaves, and merging stops. A' then
// ends in A's leaf (now at level 6). The depth-first order gives A (red 1 / 2 = 0), B, E, and
// C with D (255, 0, 5 / 2 = 2).
// With 8 colours nothing merges: A, A', B, E, C, D in tree order, then black.
TEST(OctreePalette, WithoutReserveHasExactlyTheColourCount) {
    auto picture = [] {
        Bitmap b(3, 2, PixelFormat::Device);
        const Color pixels[] = {{0, 0, 0},   {0, 0, 8},   {255, 0, 0},
                                {255, 0, 5}, {0, 255, 0}, {1, 0, 0}};
        for (int i = 0; i < 6; ++i)
            b.setPixel(i % 3, i / 3, pixels[i]);
        return b;
    };
    Bitmap four = picture();
    EXPECT_EQ(MakeOctreePaletteForBitmap(four, 4, 8, false),
              (Palette{{0, 0, 0, 0}, {0, 0, 8, 0}, {0, 255, 0, 0}, {255, 0, 2, 0}}));
    EXPECT_EQ(four.pixelFormat(), PixelFormat::Bits24);  // converted in place
    Bitmap eight = picture();
    EXPECT_EQ(MakeOctreePaletteForBitmap(eight, 8, 8, false), (Palette{{0, 0, 0, 0},
                                                                       {1, 0, 0, 0},
                                                                       {0, 0, 8, 0},
                                                                       {0, 255, 0, 0},
                                                                       {255, 0, 0, 0},
                                                                       {255, 0, 5, 0},
                                                                       {0, 0, 0, 0},
                                                                       {0, 0, 0, 0}}));

    Bitmap pattern = test::makeTestPattern(40, 30, PixelFormat::Device, 2);
    EXPECT_EQ(MakeOctreePaletteForBitmap(pattern, 16, 8, false).size(), 16u);
    Bitmap two = solid(2, 2, {9, 9, 9});
    EXPECT_EQ(MakeOctreePaletteForBitmap(two, 1000, 8, false).size(), 256u);  // held to 256
}

// A single colour over more pixels than 32-bit sums could hold still averages to itself.
TEST(OctreePalette, LargeSolidPictureKeepsItsColour) {
    TColorQuantizer q(256, 8);
    for (int i = 0; i < 9'000'000; ++i)
        q.AddColor(255, 255, 255);
    EXPECT_EQ(tableOf(q), (std::vector<RGBQuad>{{255, 255, 255, 0}}));
}

}  // namespace
}  // namespace fk
