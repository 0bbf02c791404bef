#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/color.h"

namespace fk {

class TDIBReader;

// One node of the colour octree. Sums are 64-bit so that no picture the program can hold
// overflows them.
struct TOctreeNode {
    bool Leaf = false;
    int64_t Tally = 0;
    int64_t SumR = 0;
    int64_t SumG = 0;
    int64_t SumB = 0;
    TOctreeNode* NextInLevel = nullptr;  // next reducible node of the same level
    std::array<TOctreeNode*, 8> Kids{};  // index = red bit * 4 + green bit * 2 + blue bit
    uint64_t Serial = 0;                 // unique while the node lives; 0 once freed
};

// An octree over 24-bit colours, reduced while it is filled so that it never holds more than
// ColorLimit leaves: whenever a colour makes one leaf too many, the last-made reducible node of
// the deepest level that has one is folded into a leaf, until the count fits again.
class TColorQuantizer {
public:
    // ColorLimit is held to 1..256 and Depth to 1..8 (bits per channel; leaves live at level
    // Depth).
    TColorQuantizer(int colorLimit, int depth);
    ~TColorQuantizer();
    TColorQuantizer(const TColorQuantizer&) = delete;
    TColorQuantizer& operator=(const TColorQuantizer&) = delete;

    // Feeds every pixel of a 24-bit reader, rows from the top, pixels from the left.
    void AddImage(TDIBReader& reader);
    // The same for a bitmap of 24 or 32 bits per pixel, read as it is.
    void AddImage(const Bitmap& image);
    // Counts one pixel, then reduces the tree to the limit.
    void AddColor(uint8_t red, uint8_t green, uint8_t blue);
    // Writes the leaves' mean colours (blue, green, red, 0) in depth-first order, children 0 to
    // 7, from entry 0 on; returns how many were written.
    int WriteColorTable(std::array<RGBQuad, 256>& table) const;

    int LeafTotal() const { return m_leafTotal; }
    int ColorLimit() const { return m_colorLimit; }
    const TOctreeNode* Root() const { return m_root; }

private:
    TOctreeNode* InsertColor(uint8_t red, uint8_t green, uint8_t blue);
    TOctreeNode* Child(TOctreeNode* node, int level, uint8_t red, uint8_t green, uint8_t blue);
    bool MergeOneNode();
    TOctreeNode* NewNode(int level);
    void FreeNode(TOctreeNode* node);
    void FreeSubtree(TOctreeNode* node);

    // Recently counted colours and the leaf they went to; an entry holds while its leaf lives.
    struct CacheSlot {
        uint32_t key = 0xFFFFFFFFu;
        uint64_t serial = 0;
        TOctreeNode* leaf = nullptr;
    };
    static constexpr int kCacheBits = 12;
    // The node a colour's path reaches at this level (or the leaf it ends in above it), by the
    // colour's high bits.
    struct PrefixSlot {
        TOctreeNode* node = nullptr;
        uint64_t serial = 0;
        int level = 0;
    };
    static constexpr int kPrefixLevel = 4;

    TOctreeNode* m_root = nullptr;
    int m_leafTotal = 0;
    std::array<TOctreeNode*, 8> m_levelLists{};
    int m_colorLimit;
    int m_depth;

    std::vector<std::unique_ptr<TOctreeNode[]>> m_blocks;
    size_t m_blockUsed = 0;
    std::vector<TOctreeNode*> m_free;
    uint64_t m_nextSerial = 1;
    std::vector<CacheSlot> m_cache;
    std::vector<PrefixSlot> m_prefixes;
};

// A palette of `colors` (held to 1..256) octree colours of the reader's 24-bit picture. With
// `reserveSystem` it has 256 entries: the first ten system colours, 236 picture colours (black
// where the tree had fewer leaves) and the last ten system colours.
Palette MakeOctreePalette(TDIBReader& reader, int colors, int depth, bool reserveSystem);
// The same over a bitmap, which is converted to 24 bits per pixel in place.
Palette MakeOctreePaletteForBitmap(Bitmap& bitmap, int colors, int depth, bool reserveSystem);
// The same palette from a bitmap of 24 or 32 bits per pixel, which is only read.
Palette MakeOctreePaletteOfPixels(const Bitmap& bitmap, int colors, int depth, bool reserveSystem);

}  // namespace fk
