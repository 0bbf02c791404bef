#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/reduction/lanes.h"
#include "graphics/color.h"

namespace fk {

using lanes::ColourLanes;

// Gives, for one colour, a palette index and that entry's colour.
class TColorLookup {
public:
    explicit TColorLookup(int colorCount) : FColorCount(colorCount) {}
    virtual ~TColorLookup() = default;
    TColorLookup(const TColorLookup&) = delete;
    TColorLookup& operator=(const TColorLookup&) = delete;

    // The outputs receive the colour of the chosen entry.
    virtual uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                               uint8_t& outGreen, uint8_t& outBlue) = 0;
    // Matches `count` pixels of a 24-bit row (blue, green, red) into `indexes`; the same answers
    // as MatchColor pixel by pixel, without a virtual call per pixel.
    virtual void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count);

    int ColorCount() const { return FColorCount; }

protected:
    int FColorCount;
};

// Nearest entry of a palette: least squared distance, the lowest index on ties. The answer is that
// of a plain search over every entry; a grid of candidate lists, built as colours reach its cells,
// only makes it fast.
class TSlowColorLookup final : public TColorLookup {
public:
    // Reads at most the first 256 entries of the palette.
    explicit TSlowColorLookup(const Palette& palette);
    ~TSlowColorLookup() override;

    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                       uint8_t& outBlue) override {
        const uint32_t e = NearestPacked(red, green, blue);
        outBlue = uint8_t(e);
        outGreen = uint8_t(e >> 8);
        outRed = uint8_t(e >> 16);
        return uint8_t(e >> 24);
    }
    void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) override;

    // The index MatchColor gives.
    uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue) {
        return uint8_t(NearestPacked(red, green, blue) >> 24);
    }
    // The chosen entry as four bytes, lowest first: blue, green, red and its index.
    uint32_t NearestPacked(uint8_t red, uint8_t green, uint8_t blue) {
        return NearestPacked(uint32_t(blue) | uint32_t(green) << 8 | uint32_t(red) << 16);
    }
    // The same for a colour given as blue, green and red bytes, lowest first.
    uint32_t NearestPacked(uint32_t bgr) { return NearestPacked(bgr, lanes::colourLanes(bgr)); }
    // The same with the colour also in lanes, as a vector loop may have it already.
    uint32_t NearestPacked(uint32_t bgr, ColourLanes lanes) {
        uint64_t& memo = m_memo[(bgr * 2654435761u) >> (32 - kMemoBits)];
        if (uint32_t(memo >> 32) == bgr)
            return uint32_t(memo);
        const size_t cell = CoarseCell(bgr);
        const uint32_t e = (m_built[cell >> 6] >> (cell & 63)) & 1
                               ? m_eights[cell].Nearest(bgr, lanes)
                               : CrowdedOrNew(bgr);
        memo = uint64_t(bgr) << 32 | e;
        return e;
    }
    // The reference answer: a plain search over every entry.
    uint8_t LinearSearch(uint8_t red, uint8_t green, uint8_t blue) const;
    const Palette& Entries() const { return FEntries; }

private:
    // Cells 32, 8 and 4 levels wide per channel; each level's lists are built from the enclosing
    // cell's list, which holds all of them.
    static constexpr int kShifts[3] = {5, 3, 2};
    static constexpr int kFineShift = 2;
    static constexpr int kFineBits = 8 - kFineShift;
    static constexpr uint32_t kFineUnbuilt = 0xFFFFFFFFu;
    // A fine cell with one candidate holds that candidate's index above this flag instead of an
    // offset into the pool.
    static constexpr uint32_t kSingle = 0x40000000u;

    // Recent colours (above) and their entries (below), few enough to stay in the fastest cache;
    // an unused slot holds a colour no question has.
    static constexpr int kMemoBits = 11;
    std::array<uint64_t, size_t(1) << kMemoBits> m_memo;

    // The coarse cells are those of the middle level.
    static constexpr int kCoarseShift = kShifts[1];
    static constexpr size_t kCoarseCells = size_t(1) << (3 * (8 - kCoarseShift));
    static size_t CoarseCell(uint32_t bgr) {
        return ((bgr >> 3) & 0x1F) | ((bgr >> 6) & 0x3E0) | ((bgr >> 9) & 0x7C00);
    }
    // The candidates of a coarse cell by ascending index, as blue, green, red and index bytes; a
    // list shorter than eight repeats its first candidate, which never wins over itself.
    struct alignas(32) Eight {
        uint32_t entry[8];
        uint32_t Nearest(uint32_t bgr, ColourLanes lanes) const;
    };
    // Builds the colour's coarse cell on first use; a cell with more than eight candidates answers
    // through the fine grid.
    uint32_t CrowdedOrNew(uint32_t bgr);

    static size_t FineCell(uint8_t red, uint8_t green, uint8_t blue) {
        return (size_t(red >> kFineShift) << (2 * kFineBits)) |
               (size_t(green >> kFineShift) << kFineBits) | size_t(blue >> kFineShift);
    }
    // A candidate: red, green and blue in the low bytes, the palette index in the high byte.
    static int distance(uint32_t candidate, int red, int green, int blue) {
        const int dr = int(candidate & 0xFF) - red;
        const int dg = int((candidate >> 8) & 0xFF) - green;
        const int db = int((candidate >> 16) & 0xFF) - blue;
        return dr * dr + dg * dg + db * db;
    }

    // The grid's answer.
    uint8_t SearchCells(uint8_t red, uint8_t green, uint8_t blue) {
        uint32_t offset = m_levels[2][FineCell(red, green, blue)];
        if (offset >= kSingle) {
            if (offset != kFineUnbuilt)
                return uint8_t(offset);
            offset = BuildFineCell(red, green, blue);
            if (offset >= kSingle)
                return uint8_t(offset);
        }
        const uint32_t* list = &m_pool[offset];
        const uint32_t count = list[0];
        // The distance above the index byte: the least key is the nearest entry, and of equally
        // near ones the lowest index.
        uint32_t best = UINT32_MAX;
        for (uint32_t k = 1; k <= count; ++k) {
            const uint32_t c = list[k];
            const uint32_t key = uint32_t(distance(c, red, green, blue)) << 8 | c >> 24;
            best = best < key ? best : key;
        }
        return uint8_t(best);
    }
    uint32_t BuildFineCell(uint8_t red, uint8_t green, uint8_t blue);
    uint32_t Cell(int level, int red, int green, int blue);
    uint32_t BuildCell(int shift, int red, int green, int blue, const uint32_t* from,
                       uint32_t fromCount);

    Palette FEntries;
    std::array<PaletteEntry, 256> m_colors{};  // FEntries, then black
    std::array<uint32_t, 256> m_packed{};      // m_colors as NearestPacked gives them
    // Per coarse cell: its Eight once built, and whether it has more candidates than an Eight
    // holds; cells are built when a colour first reaches them.
    std::unique_ptr<Eight[]> m_eights;
    std::array<uint64_t, kCoarseCells / 64> m_built{};
    std::array<uint64_t, kCoarseCells / 64> m_crowded{};
    std::vector<uint32_t> m_distinct;               // every distinct colour at its first index
    std::array<std::vector<uint32_t>, 3> m_levels;  // per cell: offset into m_pool, or unbuilt
    std::vector<uint32_t> m_pool;  // per cell: count, then the candidates by ascending index
};

// The 6x6x6 colour cube, computed per channel.
class TNetscapeColorLookup final : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                       uint8_t& outBlue) override;
    void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) override;
};

// The 256-level grey ramp, by the luminance (77 R + 150 G + 29 B) / 256.
class TGrayScaleLookup final : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                       uint8_t& outBlue) override;
    void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) override;
};

// Black or white, split at half of the weighted luminance sum.
class TMonochromeLookup final : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                       uint8_t& outBlue) override;
    void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) override;
};

inline uint32_t TSlowColorLookup::Eight::Nearest(uint32_t bgr, ColourLanes lanes) const {
    return lanes::nearestOfEight(entry, bgr, lanes);
}

}  // namespace fk
