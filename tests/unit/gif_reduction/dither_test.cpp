#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/fixed_palettes.h"

namespace fk {
namespace {

// Answers from a script, then the asked colour itself (no error); records every question.
class ScriptedLookup final : public TColorLookup {
public:
    explicit ScriptedLookup(std::vector<Color> answers = {})
        : TColorLookup(256), m_answers(std::move(answers)) {}
    uint8_t MatchColor(uint8_t r, uint8_t g, uint8_t b, uint8_t& outR, uint8_t& outG,
                       uint8_t& outB) override {
        asked.push_back({r, g, b});
        Color c = asked.size() <= m_answers.size() ? m_answers[asked.size() - 1] : Color{r, g, b};
        outR = c.red, outG = c.green, outB = c.blue;
        return uint8_t(asked.size() - 1);
    }
    std::vector<Color> asked;

private:
    std::vector<Color> m_answers;
};

uint8_t map(TDitherEngine& d, Color c) {
    uint8_t r, g, b;
    return d.MapPixel(c.red, c.green, c.blue, r, g, b);
}

constexpr int kRed = 0;

TEST(Burkes, SpreadsTheFirstPixelsErrorAheadAndBelow) {
    ScriptedLookup lookup({{96, 0, 0}});
    TBurkesDitherer d(5, lookup);
    map(d, {100, 0, 0});  // error 4 in red
    // Column c is slot c + 2.
    EXPECT_EQ(d.ErrorSlot(0, 2, kRed), 0);
    EXPECT_EQ(d.ErrorSlot(0, 3, kRed), 32);
    EXPECT_EQ(d.ErrorSlot(0, 4, kRed), 16);
    const int below[] = {8, 16, 32, 16, 8};
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(d.ErrorSlot(1, slot, kRed), below[slot]);
    for (int slot = 0; slot < 9; ++slot) {
        EXPECT_EQ(d.ErrorSlot(0, slot, 1), 0);
        EXPECT_EQ(d.ErrorSlot(1, slot, 2), 0);
    }
    map(d, {100, 0, 0});
    map(d, {100, 0, 0});
    EXPECT_EQ(lookup.asked[1], (Color{101, 0, 0}));  // 100 + (32 + 16) div 32
    EXPECT_EQ(lookup.asked[2], (Color{101, 0, 0}));  // 100 + (16 + 16) div 32
}

TEST(Burkes, ReadsRoundHalfUpAndTruncateTowardZero) {
    struct Case {
        std::vector<Color> answers;  // for pixels 0, 1
        int thirdRead;               // red the third pixel (red 100) is matched with
        int secondRead;
    };
    const Case cases[] = {
        {{{98, 0, 0}}, 100, 101},                // slot 16: +1; third slot 8: 0
        {{{106, 0, 0}}, 100, 99},                // slot -48: -1; third slot -24: -8 div 32 = 0
        {{{101, 0, 0}, {102, 0, 0}}, 100, 100},  // third slot -4 - 16 = -20: -4 div 32 = 0
    };
    for (const Case& c : cases) {
        ScriptedLookup lookup(c.answers);
        TBurkesDitherer d(6, lookup);
        for (int i = 0; i < 3; ++i)
            map(d, {100, 0, 0});
        EXPECT_EQ(lookup.asked[1].red, c.secondRead);
        EXPECT_EQ(lookup.asked[2].red, c.thirdRead);
    }
}

TEST(Burkes, ClampsBeforeMatchingAndSpreadsTheClampedError) {
    ScriptedLookup lookup({{210, 0, 0}, {250, 0, 0}});
    TBurkesDitherer d(6, lookup);
    map(d, {250, 0, 0});  // error 40: the next slot holds 320
    EXPECT_EQ(d.ErrorSlot(0, 3, kRed), 320);
    map(d, {250, 0, 0});  // 250 + 10 is matched as 255, error 255 - 250
    EXPECT_EQ(lookup.asked[1].red, 255);
    EXPECT_EQ(d.ErrorSlot(0, 4, kRed), 4 * 40 + 8 * 5);
}

TEST(Burkes, ReversedRowsSpreadToTheLeft) {
    ScriptedLookup lookup({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    TBurkesDitherer d(3, lookup);
    for (int i = 0; i < 3; ++i)
        map(d, {0, 0, 0});
    d.EndRow();
    EXPECT_EQ(d.Col(), 2);
    EXPECT_EQ(d.Step(), -1);
    map(d, {1, 0, 0});  // column 2, error 1
    EXPECT_EQ(d.Col(), 1);
    EXPECT_EQ(d.ErrorSlot(0, 3, kRed), 8);  // column 1
    EXPECT_EQ(d.ErrorSlot(0, 2, kRed), 4);  // column 0
    EXPECT_EQ(d.ErrorSlot(0, 5, kRed), 0);
    const int below[] = {0, 0, 2, 4, 8, 4, 2};  // slots 5 and 6 are the margin past column 2
    for (int slot = 0; slot < 7; ++slot)
        EXPECT_EQ(d.ErrorSlot(1, slot, kRed), below[slot]);
}

TEST(Burkes, OnePixelWideImage) {
    ScriptedLookup lookup({{0, 0, 0}, {0, 0, 0}});
    TBurkesDitherer d(1, lookup);
    map(d, {64, 0, 0});
    EXPECT_EQ(d.Col(), 1);
    d.EndRow();
    EXPECT_EQ(d.Col(), 0);
    map(d, {64, 0, 0});
    EXPECT_EQ(lookup.asked[1].red, 64 + (8 * 64 + 16) / 32);
}

TEST(DitherEngine, SerpentineOrder) {
    ScriptedLookup lookup;
    TDitherEngine d(2, lookup);
    std::vector<std::pair<int, int>> visited;
    for (int row = 0; row < 3; ++row) {
        while (d.Col() >= 0 && d.Col() < 2) {
            visited.push_back({d.Col(), row});
            map(d, {0, 0, 0});
        }
        d.EndRow();
    }
    EXPECT_EQ(visited,
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 2}, {1, 2}}));
}

using Factory = std::function<std::unique_ptr<TDitherEngine>(int, TColorLookup&)>;

template <class T>
Factory factory() {
    return [](int w, TColorLookup& m) { return std::make_unique<T>(w, m); };
}

struct Kind {
    const char* name;
    Factory make;
    int divisor;
    // (row, offset ahead, weight) of the kernel, as published.
    std::vector<std::array<int, 3>> kernel;
};

// clang-format off
std::vector<Kind> ditherers() {
    return {
        {"Plain", factory<TDitherEngine>(), 1, {}},
        {"Burkes", factory<TBurkesDitherer>(), 32,
         {{0, 1, 8}, {0, 2, 4},
          {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}},
        {"Stucki", factory<TStuckiDitherer>(), 42,
         {{0, 1, 8}, {0, 2, 4},
          {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
          {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}},
        {"Sierra", factory<TSierraDitherer>(), 32,
         {{0, 1, 5}, {0, 2, 3},
          {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
          {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}},
        {"JaJuNi", factory<TJaJuNiDitherer>(), 48,
         {{0, 1, 7}, {0, 2, 5},
          {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
          {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}},
        {"SteveArche", factory<TSteveArcheDitherer>(), 200,
         {{0, 2, 32},
          {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
          {2, -2, 12}, {2, 0, 26}, {2, 2, 12},
          {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}},
        {"FloydSteinberg", factory<TFloydSteinbergDitherer>(), 16,
         {{0, 1, 7},
          {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}},
    };
}
// clang-format on

using Picture = std::vector<std::vector<uint8_t>>;  // 24-bit rows, blue, green, red

Picture randomPicture(int width, int height, uint32_t seed) {
    std::mt19937 rng(seed);
    Picture p(size_t(height), std::vector<uint8_t>(3 * size_t(width)));
    for (auto& row : p)
        for (auto& b : row)
            b = uint8_t(rng());
    return p;
}

// The plain way: a whole error plane, walked in serpentine order, spread discarded past the edges.
std::vector<std::vector<uint8_t>> referenceDither(const Kind& kind, const Picture& picture,
                                                  TColorLookup& lookup) {
    const int height = int(picture.size()), width = int(picture[0].size() / 3);
    std::vector<std::vector<std::array<int, 3>>> err(
        size_t(height), std::vector<std::array<int, 3>>(size_t(width), {0, 0, 0}));
    std::vector<std::vector<uint8_t>> out(static_cast<size_t>(height),
                                          std::vector<uint8_t>(static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        const int d = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = d == 1 ? i : width - 1 - i;
            const uint8_t* p = &picture[y][3 * size_t(x)];
            const int in[3] = {p[2], p[1], p[0]};
            uint8_t v[3], o[3];
            for (int c = 0; c < 3; ++c)
                v[c] = uint8_t(
                    std::clamp(in[c] + (err[y][x][c] + kind.divisor / 2) / kind.divisor, 0, 255));
            out[y][x] = lookup.MatchColor(v[0], v[1], v[2], o[0], o[1], o[2]);
            for (auto [row, ahead, weight] : kind.kernel) {
                const int ty = y + row, tx = x + ahead * d;
                if (ty >= height || tx < 0 || tx >= width)
                    continue;
                for (int c = 0; c < 3; ++c)
                    err[ty][tx][c] += weight * (v[c] - o[c]);
            }
        }
    }
    return out;
}

std::vector<std::vector<uint8_t>> runRows(TDitherEngine& d, const Picture& picture) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& row : picture) {
        out.emplace_back(row.size() / 3, 0);
        d.MapRow(row.data(), out.back().data());
        d.EndRow();
    }
    return out;
}

// The same walk pixel by pixel, as MakePalettedBitmap's loop is written down.
std::vector<std::vector<uint8_t>> runPixels(TDitherEngine& d, const Picture& picture) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& row : picture) {
        out.emplace_back(row.size() / 3, 0);
        uint8_t r, g, b;
        while (d.Col() >= 0 && d.Col() < d.RowWidth()) {
            const int col = d.Col();
            const uint8_t* p = &row[3 * size_t(col)];
            out.back()[size_t(col)] = d.MapPixel(p[2], p[1], p[0], r, g, b);
        }
        d.EndRow();
    }
    return out;
}

TEST(Ditherers, MatchAWholePlaneReferenceOfTheirKernel) {
    const Palette palettes[] = {MakeHalftonePalette(), MakeGray4Palette(), SystemPalette20()};
    for (const Kind& kind : ditherers()) {
        int total = 0;
        for (auto [row, ahead, weight] : kind.kernel)
            total += weight;
        if (!kind.kernel.empty()) {
            ASSERT_EQ(total, kind.divisor) << kind.name;
        }
        for (const Palette& palette : palettes) {
            for (int width : {1, 2, 5, 37}) {
                Picture picture = randomPicture(width, 9, uint32_t(width));
                TSlowColorLookup lookup(palette), reference(palette);
                const auto expected = referenceDither(kind, picture, reference);
                auto byRow = kind.make(width, lookup);
                ASSERT_EQ(runRows(*byRow, picture), expected)
                    << kind.name << ", width " << width << ", palette of " << palette.size();
                auto byPixel = kind.make(width, lookup);
                ASSERT_EQ(runPixels(*byPixel, picture), expected) << kind.name;
            }
        }
    }
}

TEST(Ditherers, OutputStaysWithinThePalette) {
    std::vector<Factory> all;
    for (const Kind& kind : ditherers())
        all.push_back(kind.make);
    const Palette palettes[] = {MakeBlackWhitePalette(), MakeGray4Palette(), SystemPalette20(),
                                MakeHalftonePalette(), Palette{{200, 30, 90, 0}}};
    Picture picture = randomPicture(31, 12, 5);
    for (const Palette& palette : palettes) {
        for (const Factory& make : all) {
            TSlowColorLookup lookup(palette);
            auto d = make(31, lookup);
            for (const auto& row : picture) {
                while (d->Col() >= 0 && d->Col() < 31) {
                    const uint8_t* p = &row[3 * size_t(d->Col())];
                    uint8_t r, g, b;
                    const uint8_t index = d->MapPixel(p[2], p[1], p[0], r, g, b);
                    ASSERT_LT(index, palette.size());
                    const PaletteEntry& e = palette[index];
                    ASSERT_EQ((Color{r, g, b}), (Color{e.red, e.green, e.blue}));
                }
                d->EndRow();
            }
        }
    }
}

TEST(Ditherers, PicturesMadeOfPaletteColoursSpreadNoError) {
    const Palette palette = SystemPalette20();
    std::mt19937 rng(3);
    Picture picture(8, std::vector<uint8_t>(3 * 17));
    for (auto& row : picture)
        for (size_t i = 0; i < row.size(); i += 3) {
            const PaletteEntry& e = palette[rng() % palette.size()];
            row[i] = e.blue, row[i + 1] = e.green, row[i + 2] = e.red;
        }
    TSlowColorLookup plainLookup(palette);
    TDitherEngine plain(17, plainLookup);
    const auto expected = runRows(plain, picture);
    for (const Kind& kind : ditherers()) {
        TSlowColorLookup lookup(palette);
        auto d = kind.make(17, lookup);
        EXPECT_EQ(runRows(*d, picture), expected) << kind.name;
    }
}

}  // namespace
}  // namespace fk
