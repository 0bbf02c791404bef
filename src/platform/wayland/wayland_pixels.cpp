#include "platform/wayland/wayland_pixels.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cstring>

namespace fk {

namespace {

bool redFirst(uint32_t format) {
    return format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
}

}  // namespace

bool deviceOrderFormat(uint32_t format) {
    return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888;
}

bool readableFormat(uint32_t format) {
    return deviceOrderFormat(format) || redFirst(format);
}

void toDeviceOrder(uint8_t* data, const FrameLayout& layout) {
    if (!redFirst(layout.format))
        return;
    for (int y = 0; y < layout.height; ++y) {
        uint8_t* p = data + size_t(y) * size_t(layout.stride);
        for (int x = 0; x < layout.width; ++x, p += 4)
            std::swap(p[0], p[2]);
    }
}

void copyFrame(const uint8_t* data, const FrameLayout& layout, Bitmap& into, int dx, int dy) {
    const int left = std::max(0, -dx), right = std::min(layout.width, into.width() - dx);
    if (right <= left)
        return;
    const bool swap = redFirst(layout.format);
    for (int y = 0; y < layout.height; ++y) {
        const int row = dy + y;
        if (row < 0 || row >= into.height())
            continue;
        const int sourceRow = layout.yInverted ? layout.height - 1 - y : y;
        const uint8_t* s = data + size_t(sourceRow) * size_t(layout.stride) + 4 * size_t(left);
        uint8_t* d = into.scanLine(row) + 4 * size_t(dx + left);
        for (int x = left; x < right; ++x, s += 4, d += 4) {
            d[0] = swap ? s[2] : s[0];
            d[1] = s[1];
            d[2] = swap ? s[0] : s[2];
            d[3] = 0;
        }
    }
}

}  // namespace fk
