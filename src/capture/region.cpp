#include "capture/region.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace fk {

std::optional<ScreenRect> parseRegion(const std::string& text) {
    int values[4] = {};
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != ',')
                return std::nullopt;
            ++p;
        }
        // No sign, blanks or '+' for the size; the origin may lie left of or above (0, 0), as a
        // monitor may.
        if (i >= 2 && (p == end || *p < '0' || *p > '9'))
            return std::nullopt;
        const auto [next, error] = std::from_chars(p, end, values[i]);
        if (error != std::errc())
            return std::nullopt;
        p = next;
    }
    if (p != end || values[2] <= 0 || values[3] <= 0)
        return std::nullopt;
    return ScreenRect{values[0], values[1], values[2], values[3]};
}

std::string regionText(const ScreenRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," +
           std::to_string(r.height);
}

ScreenRect intersect(const ScreenRect& a, const ScreenRect& b) {
    const int64_t left = std::max<int64_t>(a.x, b.x), top = std::max<int64_t>(a.y, b.y);
    const int64_t right = std::min(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
    const int64_t bottom = std::min(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
    if (right <= left || bottom <= top)
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

Bitmap cropBitmap(const Bitmap& picture, const ScreenRect& area, const ScreenRect& region) {
    Bitmap crop(region.width, region.height, picture.pixelFormat());
    const size_t bytesPerPixel = size_t(picture.bitsPerPixel() / 8);
    const size_t offset = size_t(region.x - area.x) * bytesPerPixel;
    const size_t length = size_t(region.width) * bytesPerPixel;
    // A grab's memory may hold anything in the unused fourth byte; a bitmap of the program's
    // own holds 0 there, as every encoder expects.
    const bool device = picture.pixelFormat() == PixelFormat::Device;
    for (int row = 0; row < region.height; ++row) {
        uint8_t* to = crop.scanLine(row);
        std::memcpy(to, picture.scanLine(region.y - area.y + row) + offset, length);
        if (device)
            for (size_t i = 3; i < length; i += 4)
                to[i] = 0;
    }
    return crop;
}

std::optional<ScreenRect> windowAt(const FrozenScreen& frozen, int x, int y) {
    for (const ScreenRect& w : frozen.windows)
        if (x >= w.x && y >= w.y && x - w.x < w.width && y - w.y < w.height) {
            const ScreenRect shown = intersect(w, frozen.area);
            if (shown.width > 0)
                return shown;
        }
    return std::nullopt;
}

}  // namespace fk
