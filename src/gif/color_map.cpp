#include "gif/color_map.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_item.h"
#include "gif/gif_messages.h"

namespace fk {

int TGIFColorMap::ColorDepth() const {
    if (m_count == 0)
        return 0;
    int n = 1;
    while ((1 << n) < m_count)
        ++n;
    return n;
}

void TGIFColorMap::ReportWarning(TGIFSeverity severity, const std::string& message) const {
    if (m_owner != nullptr)
        m_owner->ReportWarning(const_cast<TGIFColorMap*>(this), severity, message);
}

TColor TGIFColorMap::color(int index) const {
    Color c = entry(index);
    return makeTColor(c.red, c.green, c.blue);
}

Color TGIFColorMap::entry(int index) const {
    if (m_count == 0)
        throw GIFException(gif_text::kColorTableEmpty);
    if (index < 0 || index >= m_count) {
        ReportWarning(gsWarning, gif_text::kInvalidColorIndex);
        index = 0;
    }
    const uint8_t* p = &m_data[size_t(index) * 3];
    return {p[0], p[1], p[2]};
}

int TGIFColorMap::FindColor(TColor color) const {
    const uint8_t r = uint8_t(color), g = uint8_t(color >> 8), b = uint8_t(color >> 16);
    for (int i = m_count - 1; i >= 0; --i) {
        const uint8_t* p = &m_data[size_t(i) * 3];
        if (p[0] == r && p[1] == g && p[2] == b)
            return i;
    }
    return -1;
}

int TGIFColorMap::AppendColor(TColor color) {
    if (m_count >= kMaxColors)
        throw GIFException(gif_text::kColorTableOverflow);
    uint8_t* p = &m_data[size_t(m_count) * 3];
    p[0] = uint8_t(color);
    p[1] = uint8_t(color >> 8);
    p[2] = uint8_t(color >> 16);
    return m_count++;
}

int TGIFColorMap::AppendUniqueColor(TColor color) {
    int i = FindColor(color);
    return i >= 0 ? i : AppendColor(color);
}

void TGIFColorMap::Delete(int index) {
    if (index < 0 || index >= m_count)
        throw GIFException(gif_text::kInvalidColorIndex);
    std::memmove(&m_data[size_t(index) * 3], &m_data[size_t(index + 1) * 3],
                 size_t(m_count - index - 1) * 3);
    --m_count;
    std::memset(&m_data[size_t(m_count) * 3], 0, 3);
}

void TGIFColorMap::Clear() {
    m_count = 0;
    m_data.fill(0);
}

void TGIFColorMap::Assign(const TGIFColorMap& other) {
    if (&other == this)
        return;
    m_count = other.m_count;
    m_data = other.m_data;
}

void TGIFColorMap::ImportPaletteEntries(const Palette& entries) {
    Clear();
    m_count = int(std::min<size_t>(entries.size(), kMaxColors));
    for (int i = 0; i < m_count; ++i) {
        m_data[size_t(i) * 3] = entries[size_t(i)].red;
        m_data[size_t(i) * 3 + 1] = entries[size_t(i)].green;
        m_data[size_t(i) * 3 + 2] = entries[size_t(i)].blue;
    }
}

void TGIFColorMap::ImportDIBTable(const std::vector<RGBQuad>& table) {
    Clear();
    m_count = int(std::min<size_t>(table.size(), kMaxColors));
    for (int i = 0; i < m_count; ++i) {
        m_data[size_t(i) * 3] = table[size_t(i)].red;
        m_data[size_t(i) * 3 + 1] = table[size_t(i)].green;
        m_data[size_t(i) * 3 + 2] = table[size_t(i)].blue;
    }
}

void TGIFColorMap::swapRedBlue() {
    for (int i = 0; i < m_count; ++i)
        std::swap(m_data[size_t(i) * 3], m_data[size_t(i) * 3 + 2]);
}

bool operator==(const TGIFColorMap& a, const TGIFColorMap& b) {
    return a.m_count == b.m_count &&
           std::equal(a.m_data.begin(), a.m_data.begin() + a.m_count * 3, b.m_data.begin());
}

}  // namespace fk
