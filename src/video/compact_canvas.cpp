#include "video/compact_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace fk {

namespace {

bool within(uint32_t shown, const uint8_t* screen, int levels) {
    return std::abs(int(shown >> 16 & 0xFF) - screen[2]) <= levels &&
           std::abs(int(shown >> 8 & 0xFF) - screen[1]) <= levels &&
           std::abs(int(shown & 0xFF) - screen[0]) <= levels;
}

}  // namespace

void CompactCanvas::grow(int width, int height) {
    if (width <= m_width && height <= m_height)
        return;
    const int w = std::max(width, m_width), h = std::max(height, m_height);
    auto regrid = [&](auto& v) {
        std::remove_reference_t<decltype(v)> bigger(size_t(w) * size_t(h));
        for (int y = 0; y < m_height; ++y)
            std::copy_n(v.begin() + ptrdiff_t(y) * m_width, m_width,
                        bigger.begin() + ptrdiff_t(y) * w);
        v.swap(bigger);
    };
    regrid(m_shown);
    regrid(m_screen);
    regrid(m_offSince);
    m_width = w;
    m_height = h;
}

void CompactCanvas::draw(const ChangedRect& rect, const FramePixels& written, int serial) {
    grow(rect.left + rect.width, rect.top + rect.height);
    for (int y = 0; y < rect.height; ++y) {
        const size_t row = size_t(rect.top + y) * size_t(m_width) + size_t(rect.left);
        for (int x = 0; x < rect.width; ++x) {
            const size_t i = size_t(y) * size_t(rect.width) + size_t(x);
            const int index = written.indexes[i];
            if (index == written.transparent)
                continue;
            const uint8_t* px = &rect.pixels[i * 4];
            const Color c = written.colours[size_t(index)];
            const uint32_t shown = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            m_shown[row + size_t(x)] = shown;
            std::memcpy(&m_screen[row + size_t(x)], px, 3);
            const bool loose = !written.loose.empty() && written.loose[i];
            const bool off = !within(shown, px, loose ? kAllowedLooseLevels : kAllowedLevels);
            m_offSince[row + size_t(x)] = off ? serial : 0;
            if (!off)
                continue;
            if (m_right < 0) {
                m_left = m_right = rect.left + x;
                m_top = m_bottom = rect.top + y;
            }
            m_left = std::min(m_left, rect.left + x);
            m_right = std::max(m_right, rect.left + x);
            m_top = std::min(m_top, rect.top + y);
            m_bottom = std::max(m_bottom, rect.top + y);
        }
    }
}

ChangedRect CompactCanvas::repairsUpTo(int serial) {
    ChangedRect rect;
    int left = m_width, right = -1, top = -1, bottom = -1;
    // The bounds of every off-colour pixel, made tight again on the way.
    int allLeft = m_width, allRight = -1, allTop = -1, allBottom = -1;
    for (int y = m_top; y <= m_bottom; ++y)
        for (int x = m_left; x <= m_right; ++x) {
            const int32_t since = m_offSince[size_t(y) * size_t(m_width) + size_t(x)];
            if (since == 0)
                continue;
            allLeft = std::min(allLeft, x);
            allRight = std::max(allRight, x);
            if (allTop < 0)
                allTop = y;
            allBottom = y;
            if (since > serial)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            if (top < 0)
                top = y;
            bottom = y;
        }
    m_left = allLeft;
    m_right = allRight;
    m_top = allTop;
    m_bottom = allBottom;
    if (top < 0)
        return rect;
    rect = changedRectOf(left, top, right, bottom);
    uint8_t* out = rect.pixels.data();
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x, out += 4) {
            const size_t i = size_t(y) * size_t(m_width) + size_t(x);
            std::memcpy(out, &m_screen[i], 3);
            const int32_t since = m_offSince[i];
            out[3] = since != 0 && since <= serial ? 0 : kUnchangedPixel;
        }
    return rect;
}

}  // namespace fk
