#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gif/gif_base.h"
#include "graphics/color.h"

namespace fk {

// A colour as the toolkit passes it: red in the lowest byte, then green, then blue; the top byte
// is ignored.
using TColor = uint32_t;

inline constexpr TColor makeTColor(uint8_t red, uint8_t green, uint8_t blue) {
    return TColor(red) | (TColor(green) << 8) | (TColor(blue) << 16);
}

class TGIFItem;

// A GIF colour table of 0 to 256 entries, each red, green, blue.
class TGIFColorMap : public TGIFPersistent {
public:
    static constexpr int kMaxColors = 256;

    explicit TGIFColorMap(TGIFItem* owner = nullptr) : m_owner(owner) {}
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    int count() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // 0 for an empty map, else the least n >= 1 with 2^n >= count.
    int ColorDepth() const;

    // An entry outside the map warns "Invalid color index" and gives entry 0; an empty map
    // raises "Color table is empty".
    TColor color(int index) const;
    Color entry(int index) const;
    // The raw entries, three bytes each.
    const uint8_t* data() const { return m_data.data(); }

    // Searches from the last entry towards the first; -1 when absent.
    int FindColor(TColor color) const;
    // "Color table overflow" when the map is full.
    int AppendColor(TColor color);
    int AppendUniqueColor(TColor color);
    void Delete(int index);
    void Clear();
    void Assign(const TGIFColorMap& other);

    // At most 256 entries are taken.
    void ImportPaletteEntries(const Palette& entries);
    void ImportDIBTable(const std::vector<RGBQuad>& table);

    // Exchanges the first and third byte of every entry.
    void swapRedBlue();

    friend bool operator==(const TGIFColorMap& a, const TGIFColorMap& b);

protected:
    void ReportWarning(TGIFSeverity severity, const std::string& message) const;

private:
    TGIFItem* m_owner;
    int m_count = 0;
    std::array<uint8_t, kMaxColors * 3> m_data{};
};

class TGIFGlobalColorMap final : public TGIFColorMap {
public:
    using TGIFColorMap::TGIFColorMap;
};

class TGIFLocalColorMap final : public TGIFColorMap {
public:
    using TGIFColorMap::TGIFColorMap;
};

}  // namespace fk
