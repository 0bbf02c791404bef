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
      FEntries(palette.begin(), palette.begin() + std::min<size_t>(palette.size(), 256)) {
    FColorCount = int(FEntries.size());
    std::copy(FEntries.begin(), FEntries.end(), m_colors.begin());
    for (size_t i = 0; i < m_colors.size(); ++i) {
        const PaletteEntry& e = m_colors[i];
        m_packed[i] =
            uint32_t(e.blue) | uint32_t(e.green) << 8 | uint32_t(e.red) << 16 | uint32_t(i) << 24;
    }
    // A repeated colour can never be the answer: the earlier entry ties and has the lower index.
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const PaletteEntry& e = FEntries[i];
        const uint32_t rgb = uint32_t(e.red) | (uint32_t(e.green) << 8) | (uint32_t(e.blue) << 16);
        const bool seen = std::any_of(m_distinct.begin(), m_distinct.end(),
                                      [rgb](uint32_t c) { return (c & 0xFFFFFF) == rgb; });
        if (!seen)
            m_distinct.push_back(rgb | uint32_t(i) << 24);
    }
    for (int level = 0; level < 3; ++level)
        m_levels[size_t(level)].assign(size_t(1) << (3 * (8 - kShifts[level])), kFineUnbuilt);
    m_eights = std::make_unique_for_overwrite<Eight[]>(kCoarseCells);
    m_memo.fill(~uint64_t(0));
    if (m_distinct.empty()) {
        // Every colour answers index 0, black.
        std::fill(m_levels[2].begin(), m_levels[2].end(), kSingle);
        m_crowded.fill(~uint64_t(0));
    }
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
// cube is no more than the smallest greatest distance of any entry. All entries that tie at the
// minimum for a point pass, so the nearest of the list, the lowest index among equals, is the
// plain search's answer. A cube's list is a subset of its enclosing cube's list (the entry that
// sets the bound is itself a candidate), which is why each level is built from the one above.
uint32_t TSlowColorLookup::BuildCell(int shift, int red, int green, int blue, const uint32_t* from,
                                     uint32_t fromCount) {
    std::array<uint32_t, 256> source;
    std::array<int, 256> least;
    std::copy_n(from, fromCount, source.begin());
    const int side = 1 << shift;
    const int r0 = red >> shift << shift, g0 = green >> shift << shift, b0 = blue >> shift << shift;
    int bound = INT_MAX;
    for (uint32_t k = 0; k < fromCount; ++k) {
        const uint32_t c = source[k];
        const PaletteEntry e{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0};
        int greatest;
        boxDistances(e, r0, g0, b0, side, least[k], greatest);
        bound = std::min(bound, greatest);
    }
    const auto offset = uint32_t(m_pool.size());
    m_pool.push_back(0);
    uint32_t count = 0;
    for (uint32_t k = 0; k < fromCount; ++k) {
        if (least[k] <= bound) {
            m_pool.push_back(source[k]);
            ++count;
        }
    }
    m_pool[offset] = count;
    return offset;
}

uint32_t TSlowColorLookup::Cell(int level, int red, int green, int blue) {
    const int shift = kShifts[level], bits = 8 - shift;
    uint32_t& cell =
        m_levels[size_t(level)][(size_t(red >> shift) << (2 * bits)) |
                                (size_t(green >> shift) << bits) | size_t(blue >> shift)];
    if (cell != kFineUnbuilt)
        return cell;
    if (level == 0) {
        cell = BuildCell(shift, red, green, blue, m_distinct.data(), uint32_t(m_distinct.size()));
    } else {
        const uint32_t parent = Cell(level - 1, red, green, blue);
        // BuildCell copies the parent's list before the pool grows.
        cell = BuildCell(shift, red, green, blue, &m_pool[parent + 1], m_pool[parent]);
    }
    return cell;
}

uint32_t TSlowColorLookup::BuildFineCell(uint8_t red, uint8_t green, uint8_t blue) {
    uint32_t& cell = m_levels[2][FineCell(red, green, blue)];
    cell = Cell(2, red, green, blue);
    if (m_pool[cell] == 1) {
        const uint32_t only = m_pool[cell + 1];
        m_pool.resize(cell);  // the list was the last one built
        cell = kSingle | only >> 24;
    }
    return cell;
}

uint32_t TSlowColorLookup::CrowdedOrNew(uint32_t bgr) {
    const uint8_t red = uint8_t(bgr >> 16), green = uint8_t(bgr >> 8), blue = uint8_t(bgr);
    const size_t cell = CoarseCell(bgr);
    const uint64_t bit = uint64_t(1) << (cell & 63);
    if (!(m_crowded[cell >> 6] & bit)) {
        const uint32_t list = Cell(1, red, green, blue);
        const uint32_t count = m_pool[list];
        if (count > 8) {
            m_crowded[cell >> 6] |= bit;
        } else {
            Eight eight;
            for (uint32_t k = 0; k < 8; ++k) {
                // Candidates hold red, green, blue lowest first, then the index.
                const uint32_t c = m_pool[list + 1 + (k < count ? k : 0)];
                eight.entry[k] =
                    ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF) | (c & 0xFF000000u);
            }
            m_eights[cell] = eight;
            m_built[cell >> 6] |= bit;
            return eight.Nearest(bgr, lanes::colourLanes(bgr));
        }
    }
    return m_packed[SearchCells(red, green, blue)];
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
