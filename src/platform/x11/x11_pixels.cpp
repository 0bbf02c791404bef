#include "platform/x11/x11_pixels.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace fk {

namespace {

// Widens a channel of any width found by its mask to 8 bits.
uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const unsigned long v = (pixel & mask) >> shift;
    const unsigned long max = (1ul << bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
}

}  // namespace

void copyImageRows(const XImage& image, const Visual& visual, Bitmap& into, int dx, int dy) {
    const int width = std::min(image.width, into.width() - dx);
    const int height = std::min(image.height, into.height() - dy);
    if (width <= 0 || height <= 0)
        return;
    // Images read from pixmaps carry no masks: the pixels are in the screen visual's format.
    const unsigned long redMask = image.red_mask ? image.red_mask : visual.red_mask;
    const unsigned long greenMask = image.green_mask ? image.green_mask : visual.green_mask;
    const unsigned long blueMask = image.blue_mask ? image.blue_mask : visual.blue_mask;
    const bool direct = image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
                        redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF;
    for (int y = 0; y < height; ++y) {
        uint32_t* out = reinterpret_cast<uint32_t*>(into.scanLine(dy + y)) + dx;
        if (direct) {
            // Blue, green, red, and the unused byte cleared.
            const auto* in = reinterpret_cast<const uint32_t*>(
                image.data + size_t(y) * size_t(image.bytes_per_line));
            for (int x = 0; x < width; ++x)
                out[x] = in[x] & 0x00FFFFFFu;
        } else {
            auto* img = const_cast<XImage*>(&image);
            for (int x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(img, x, y);
                out[x] = uint32_t(channel(p, blueMask)) | (uint32_t(channel(p, greenMask)) << 8) |
                         (uint32_t(channel(p, redMask)) << 16);
            }
        }
    }
}

}  // namespace fk
