#include "platform/x11/x11_pixels.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace fk {

namespace {

// Widens a channel of any width found by its mask to 8 bits. A channel wider than 32 bits is
// first narrowed to its top 32, so that the scaling cannot overflow.
uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    if (bits > 32) {
        shift += bits - 32;
        bits = 32;
    }
    const uint64_t max = (uint64_t(1) << bits) - 1;
    const uint64_t v = (uint64_t(pixel) >> shift) & max;
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
        uint8_t* out = into.scanLine(dy + y) + 4 * size_t(dx);
        if (direct) {
            // Blue, green, red, and the unused byte cleared. The bytes are read as words through
            // memcpy: neither buffer holds 32-bit objects.
            const auto* in = reinterpret_cast<const uint8_t*>(image.data) +
                             size_t(y) * size_t(image.bytes_per_line);
            for (int x = 0; x < width; ++x) {
                uint32_t v;
                std::memcpy(&v, in + 4 * size_t(x), 4);
                v &= std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;
                std::memcpy(out + 4 * size_t(x), &v, 4);
            }
        } else {
            auto* img = const_cast<XImage*>(&image);
            for (int x = 0; x < width; ++x) {
                const unsigned long p = XGetPixel(img, x, y);
                uint8_t* px = out + 4 * size_t(x);
                px[0] = channel(p, blueMask);
                px[1] = channel(p, greenMask);
                px[2] = channel(p, redMask);
                px[3] = 0;
            }
        }
    }
}

}  // namespace fk
