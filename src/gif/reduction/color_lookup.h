#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/color.h"

namespace fk {

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
// of a plain search over every entry; a colour cache and a grid of candidate lists only make it
// fast.
class TSlowColorLookup final : public TColorLookup {
public:
    // Reads at most the first 256 entries of the palette.
    explicit TSlowColorLookup(const Palette& palette);
    ~TSlowColorLookup() override;

    uint8_t MatchColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                       uint8_t& outBlue) override;
    void MatchPixels(const uint8_t* bgr, uint8_t* indexes, int count) override;

    uint8_t Nearest(uint8_t red, uint8_t green, uint8_t blue) {
        const uint32_t key = (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue;
        CacheSlot& slot = m_cache[(key * 2654435761u) >> (32 - kCacheBits)];
        if (slot.key == key)
            return slot.index;
        const uint8_t index = SearchGrid(red, green, blue);
        slot = {key, index};
        return index;
    }
    // The reference answer: a plain search over every entry.
    uint8_t LinearSearch(uint8_t red, uint8_t green, uint8_t blue) const;
    const Palette& Entries() const { return FEntries; }

private:
    struct CacheSlot {
        uint32_t key;  // red, green, blue; a value above 0xFFFFFF marks an empty slot
        uint8_t index;
    };
    static constexpr int kCacheBits = 14;
    // Fine cells are 4 levels wide per channel, coarse cells 32.
    static constexpr int kFineShift = 2;
    static constexpr int kCoarseShift = 5;
    static constexpr uint32_t kUnbuilt = 0xFFFFFFFFu;

    uint8_t SearchGrid(uint8_t red, uint8_t green, uint8_t blue);
    uint32_t BuildCell(int shift, int r0, int g0, int b0, const uint8_t* from, int fromCount);
    uint32_t CoarseCell(int cr, int cg, int cb);

    Palette FEntries;
    std::vector<uint8_t> m_distinct;    // first index of every distinct colour, ascending
    std::vector<uint32_t> m_fineCells;  // offset into m_lists, or kUnbuilt
    std::vector<uint32_t> m_coarseCells;
    std::vector<uint8_t> m_lists;  // per cell: count, then the candidate indexes ascending
    std::unique_ptr<CacheSlot[]> m_cache;
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

}  // namespace fk
