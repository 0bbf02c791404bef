#include "gif/reduction/color_quantizer.h"

#include <algorithm>

#include "gif/gif_exception.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/fixed_palettes.h"

namespace fk {

namespace {

constexpr size_t kBlockNodes = 256;

inline uint32_t colorKey(uint8_t red, uint8_t green, uint8_t blue) {
    return (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue;
}

}  // namespace

TColorQuantizer::TColorQuantizer(int colorLimit, int depth)
    : m_colorLimit(std::clamp(colorLimit, 1, 256)),
      m_depth(std::clamp(depth, 1, 8)),
      m_cache(size_t(1) << kCacheBits),
      m_prefixes(size_t(1) << (3 * kPrefixLevel)) {}

TColorQuantizer::~TColorQuantizer() = default;  // the node blocks go with the quantizer

TOctreeNode* TColorQuantizer::NewNode(int level) {
    TOctreeNode* node;
    if (!m_free.empty()) {
        node = m_free.back();
        m_free.pop_back();
    } else {
        if (m_blocks.empty() || m_blockUsed == kBlockNodes) {
            m_blocks.push_back(std::make_unique<TOctreeNode[]>(kBlockNodes));
            m_blockUsed = 0;
        }
        node = &m_blocks.back()[m_blockUsed++];
    }
    *node = TOctreeNode{};
    node->Serial = m_nextSerial++;
    node->Leaf = level == m_depth;
    if (node->Leaf) {
        ++m_leafTotal;
    } else {
        node->NextInLevel = m_levelLists[level];
        m_levelLists[level] = node;
    }
    return node;
}

void TColorQuantizer::FreeNode(TOctreeNode* node) {
    node->Serial = 0;
    m_free.push_back(node);
}

void TColorQuantizer::FreeSubtree(TOctreeNode* node) {
    for (int i = 7; i >= 0; --i)
        if (node->Kids[i])
            FreeSubtree(node->Kids[i]);
    FreeNode(node);
}

TOctreeNode* TColorQuantizer::Child(TOctreeNode* node, int level, uint8_t red, uint8_t green,
                                    uint8_t blue) {
    const int shift = 7 - level;
    const int kid =
        (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
    TOctreeNode*& slot = node->Kids[size_t(kid)];
    if (!slot)
        slot = NewNode(level + 1);
    return slot;
}

TOctreeNode* TColorQuantizer::InsertColor(uint8_t red, uint8_t green, uint8_t blue) {
    // Colours that share their high bits share the top of their path; the node where that part
    // ends is remembered, and holds while it lives (merges free only nodes below a merged one).
    PrefixSlot& prefix =
        m_prefixes[(size_t(red >> 4) << 8) | (size_t(green >> 4) << 4) | size_t(blue >> 4)];
    TOctreeNode* node;
    int level;
    if (prefix.node && prefix.node->Serial == prefix.serial) {
        node = prefix.node;
        level = prefix.level;
    } else {
        if (!m_root)
            m_root = NewNode(0);
        node = m_root;
        for (level = 0; !node->Leaf && level < kPrefixLevel; ++level)
            node = Child(node, level, red, green, blue);
        prefix = {node, node->Serial, level};
    }
    for (; !node->Leaf; ++level)
        node = Child(node, level, red, green, blue);
    ++node->Tally;
    node->SumR += red;
    node->SumG += green;
    node->SumB += blue;
    return node;
}

bool TColorQuantizer::MergeOneNode() {
    int level = m_depth - 1;
    while (level > 0 && !m_levelLists[level])
        --level;
    TOctreeNode* node = m_levelLists[level];
    if (!node)
        return false;  // the root is a leaf already: nothing left to fold
    m_levelLists[level] = node->NextInLevel;
    node->NextInLevel = nullptr;

    int64_t sumR = 0, sumG = 0, sumB = 0;
    int children = 0;
    for (TOctreeNode*& kid : node->Kids) {
        if (!kid)
            continue;
        sumR += kid->SumR;
        sumG += kid->SumG;
        sumB += kid->SumB;
        node->Tally += kid->Tally;
        FreeSubtree(kid);
        kid = nullptr;
        ++children;
    }
    node->Leaf = true;
    node->SumR = sumR;
    node->SumG = sumG;
    node->SumB = sumB;
    m_leafTotal -= children - 1;
    return true;
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
    const uint32_t key = colorKey(red, green, blue);
    CacheSlot& slot = m_cache[(key * 2654435761u) >> (32 - kCacheBits)];
    // A leaf that still lives is still where this colour's path ends: only a merge above it
    // could change the path, and a merge frees every node below the merged one.
    if (slot.key == key && slot.leaf->Serial == slot.serial) {
        TOctreeNode* leaf = slot.leaf;
        ++leaf->Tally;
        leaf->SumR += red;
        leaf->SumG += green;
        leaf->SumB += blue;
        return;
    }
    TOctreeNode* leaf = InsertColor(red, green, blue);
    slot = {key, leaf->Serial, leaf};
    while (m_leafTotal > m_colorLimit && MergeOneNode()) {
    }
}

void TColorQuantizer::AddImage(TDIBReader& reader) {
    if (reader.Format() != PixelFormat::Bits24)
        throw GIFException("Unsupported PixelFormat");
    AddImage(reader.Image());
}

void TColorQuantizer::AddImage(const Bitmap& image) {
    const int step = image.bitsPerPixel() / 8;
    const PixelFormat f = image.pixelFormat();
    if (f != PixelFormat::Bits24 && f != PixelFormat::Bits32 && f != PixelFormat::Device)
        throw GIFException("Unsupported PixelFormat");
    const int width = image.width();
    for (int row = 0; row < image.height(); ++row) {
        const uint8_t* p = image.scanLine(row);
        for (int col = 0; col < width; ++col, p += step)
            AddColor(p[2], p[1], p[0]);
    }
}

int TColorQuantizer::WriteColorTable(std::array<RGBQuad, 256>& table) const {
    int index = 0;
    // Depth first, children in index order; an explicit stack keeps the walk iterative.
    std::vector<const TOctreeNode*> stack;
    if (m_root)
        stack.push_back(m_root);
    while (!stack.empty() && index < int(table.size())) {
        const TOctreeNode* node = stack.back();
        stack.pop_back();
        if (node->Leaf) {
            RGBQuad& q = table[size_t(index++)];
            if (node->Tally == 0) {
                q = {};
            } else {
                q = {uint8_t(node->SumB / node->Tally), uint8_t(node->SumG / node->Tally),
                     uint8_t(node->SumR / node->Tally), 0};
            }
            continue;
        }
        for (int i = 7; i >= 0; --i)
            if (node->Kids[i])
                stack.push_back(node->Kids[i]);
    }
    return index;
}

namespace {

template <class Source>
Palette octreePalette(Source& source, int colors, int depth, bool reserveSystem) {
    colors = std::clamp(colors, 1, 256);
    Palette palette(256, PaletteEntry{0, 0, 0, kNoCollapseFlag});
    size_t count = size_t(colors);
    size_t firstFree = 0;
    if (reserveSystem) {
        const Palette& system = SystemPalette20();
        std::copy_n(system.begin(), 10, palette.begin());
        std::copy_n(system.begin() + 10, 10, palette.begin() + 246);
        colors = 236;
        firstFree = 10;
        count = 256;
    }
    std::array<RGBQuad, 256> table{};
    {
        TColorQuantizer quantizer(colors, depth);
        quantizer.AddImage(source);
        quantizer.WriteColorTable(table);
    }
    for (int c = 0; c < colors; ++c) {
        const RGBQuad& q = table[size_t(c)];
        palette[firstFree + size_t(c)] = {q.red, q.green, q.blue, 0};
    }
    palette.resize(count);
    return palette;
}

}  // namespace

Palette MakeOctreePalette(TDIBReader& reader, int colors, int depth, bool reserveSystem) {
    return octreePalette(reader, colors, depth, reserveSystem);
}

Palette MakeOctreePaletteOfPixels(const Bitmap& bitmap, int colors, int depth, bool reserveSystem) {
    return octreePalette(bitmap, colors, depth, reserveSystem);
}

Palette MakeOctreePaletteForBitmap(Bitmap& bitmap, int colors, int depth, bool reserveSystem) {
    TDIBReader reader(bitmap, PixelFormat::Bits24);
    return MakeOctreePalette(reader, colors, depth, reserveSystem);
}

}  // namespace fk
