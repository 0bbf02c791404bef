#include "gif/reduction/color_lookup.h"

#include <algorithm>
#include <array>
#include <climits>

namespace fk {

void TColorLookup::MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) {
    uint8_t r, g, b;
    for (int i = 0; i < count; ++i, bgr += 3)
        indexes[i] = MatchColor(bgr[2], bgr[1], bgr[0], r, g, b);
}

// --- nearest palette entry ---

namespace {

inline int squaredDistance(const PaletteEntry& e, int red, int green, int blue) {
    const int dr = int(e.red) - red, dg = int(e.green) - green, db = int(e.blue) - blue;
    return dr * dr + dg * dg + db * db;
}

// Least and greatest squared distance from an entry to the integer points of a cube.
inline void boxDistances(const PaletteEntry& e, int r0, int g0, int b0, int side, int& least,
                         int& greatest) {
    least = greatest = 0;
    const int lows[3] = {r0, g0, b0};
    const int values[3] = {e.red, e.green, e.blue};
    for (int axis = 0; axis < 3; ++axis) {
        const int lo = lows[axis], hi = lows[axis] + side - 1, v = values[axis];
        const int nearGap = v < lo ? lo - v : (v > hi ? v - hi : 0);
        const int farGap = std::max(v - lo, hi - v);
        least += nearGap * nearGap;
        greatest += farGap * farGap;
    }
}

}  // namespace

TSlowColorLookup::TSlowColorLookup(const Palette& palette)
    : TColorLookup(0),
      FEntries(palette.begin(), palette.begin() + std::min<size_t>(palette.size(), 256)),
      m_cache(new CacheSlot[size_t(1) << kCacheBits]) {
    FColorCount = int(FEntries.size());
    // A repeated colour can never be the answer: the earlier entry ties and has the lower index.
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const PaletteEntry& e = FEntries[i];
        bool seen = false;
        for (uint8_t j : m_distinct) {
            const PaletteEntry& f = FEntries[j];
            if (f.red == e.red && f.green == e.green && f.blue == e.blue) {
                seen = true;
                break;
            }
        }
        if (!seen)
            m_distinct.push_back(uint8_t(i));
    }
    m_fineCells.assign(size_t(1) << (3 * (8 - kFineShift)), kUnbuilt);
    m_coarseCells.assign(size_t(1) << (3 * (8 - kCoarseShift)), kUnbuilt);
    std::fill_n(m_cache.get(), size_t(1) << kCacheBits, CacheSlot{0xFFFFFFFFu, 0});
}

TSlowColorLookup::~TSlowColorLookup() = default;

uint8_t TSlowColorLookup::LinearSearch(uint8_t red, uint8_t green, uint8_t blue) const {
    int best = 0, bestDistance = INT_MAX;
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const int d = squaredDistance(FEntries[i], red, green, blue);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return uint8_t(best);
}

// Keeps every entry that could be nearest to some point of the cube: its least distance to the
// cube is no more than the smallest greatest distance of any entry. The entries that tie at the
// minimum for a point all pass, so a search over the list in index order answers as the plain
// search does. A cube's list is a subset of its enclosing cube's list, which is why fine cells are
// built from coarse ones.
uint32_t TSlowColorLookup::BuildCell(int shift, int r0, int g0, int b0, const uint8_t* from,
                                     int fromCount) {
    std::array<uint8_t, 256> source;
    std::array<int, 256> least;
    std::copy_n(from, fromCount, source.begin());
    const int side = 1 << shift;
    int bound = INT_MAX;
    for (int k = 0; k < fromCount; ++k) {
        int greatest;
        boxDistances(FEntries[source[k]], r0, g0, b0, side, least[k], greatest);
        bound = std::min(bound, greatest);
    }
    const auto offset = uint32_t(m_lists.size());
    m_lists.push_back(0);
    int count = 0;
    for (int k = 0; k < fromCount; ++k) {
        if (least[k] <= bound) {
            m_lists.push_back(source[k]);
            ++count;
        }
    }
    m_lists[offset] = uint8_t(count - 1);  // never empty: the entry that sets the bound passes
    return offset;
}

uint32_t TSlowColorLookup::CoarseCell(int cr, int cg, int cb) {
    constexpr int bits = 8 - kCoarseShift;
    uint32_t& cell = m_coarseCells[(size_t(cr) << (2 * bits)) | (size_t(cg) << bits) | size_t(cb)];
    if (cell == kUnbuilt)
        cell = BuildCell(kCoarseShift, cr << kCoarseShift, cg << kCoarseShift, cb << kCoarseShift,
                         m_distinct.data(), int(m_distinct.size()));
    return cell;
}

uint8_t TSlowColorLookup::SearchGrid(uint8_t red, uint8_t green, uint8_t blue) {
    if (m_distinct.empty())
        return 0;
    constexpr int bits = 8 - kFineShift;
    const int fr = red >> kFineShift, fg = green >> kFineShift, fb = blue >> kFineShift;
    uint32_t& cell = m_fineCells[(size_t(fr) << (2 * bits)) | (size_t(fg) << bits) | size_t(fb)];
    if (cell == kUnbuilt) {
        constexpr int up = kCoarseShift - kFineShift;
        const uint32_t coarse = CoarseCell(fr >> up, fg >> up, fb >> up);
        const int coarseCount = m_lists[coarse] + 1;
        cell = BuildCell(kFineShift, fr << kFineShift, fg << kFineShift, fb << kFineShift,
                         &m_lists[coarse + 1], coarseCount);
    }
    const uint8_t* list = &m_lists[cell];
    const int count = list[0] + 1;
    int best = list[1];
    int bestDistance = squaredDistance(FEntries[best], red, green, blue);
    for (int k = 2; k <= count; ++k) {
        const int d = squaredDistance(FEntries[list[k]], red, green, blue);
        if (d < bestDistance) {
            bestDistance = d;
            best = list[k];
        }
    }
    return uint8_t(best);
}

uint8_t TSlowColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                     uint8_t& outGreen, uint8_t& outBlue) {
    const uint8_t index = Nearest(red, green, blue);
    if (index < FEntries.size()) {
        const PaletteEntry& e = FEntries[index];
        outRed = e.red;
        outGreen = e.green;
        outBlue = e.blue;
    } else {
        outRed = outGreen = outBlue = 0;
    }
    return index;
}

void TSlowColorLookup::MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) {
    for (int i = 0; i < count; ++i, bgr += 3)
        indexes[i] = Nearest(bgr[2], bgr[1], bgr[0]);
}

// --- computed palettes ---

namespace {

inline int cubeLevel(uint8_t c) {
    return (c + 3) / 51;
}
inline uint8_t luminance(uint8_t red, uint8_t green, uint8_t blue) {
    return uint8_t((77 * red + 150 * green + 29 * blue) >> 8);
}
inline bool isWhite(uint8_t red, uint8_t green, uint8_t blue) {
    return 77 * red + 150 * green + 29 * blue > 32512;
}

}  // namespace

uint8_t TNetscapeColorLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                         uint8_t& outGreen, uint8_t& outBlue) {
    const int r = cubeLevel(red), g = cubeLevel(green), b = cubeLevel(blue);
    outRed = uint8_t(51 * r);
    outGreen = uint8_t(51 * g);
    outBlue = uint8_t(51 * b);
    return uint8_t(36 * r + 6 * g + b);
}

void TNetscapeColorLookup::MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) {
    for (int i = 0; i < count; ++i, bgr += 3)
        indexes[i] = uint8_t(36 * cubeLevel(bgr[2]) + 6 * cubeLevel(bgr[1]) + cubeLevel(bgr[0]));
}

uint8_t TGrayScaleLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                     uint8_t& outGreen, uint8_t& outBlue) {
    const uint8_t y = luminance(red, green, blue);
    outRed = outGreen = outBlue = y;
    return y;
}

void TGrayScaleLookup::MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) {
    for (int i = 0; i < count; ++i, bgr += 3)
        indexes[i] = luminance(bgr[2], bgr[1], bgr[0]);
}

uint8_t TMonochromeLookup::MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                      uint8_t& outGreen, uint8_t& outBlue) {
    const bool white = isWhite(red, green, blue);
    outRed = outGreen = outBlue = white ? 255 : 0;
    return white ? 1 : 0;
}

void TMonochromeLookup::MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) {
    for (int i = 0; i < count; ++i, bgr += 3)
        indexes[i] = isWhite(bgr[2], bgr[1], bgr[0]) ? 1 : 0;
}

}  // namespace fk
