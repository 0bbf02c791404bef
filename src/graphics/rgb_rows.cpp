#include "graphics/rgb_rows.h"

#include <array>
#include <bit>
#include <cstring>

namespace fk {

namespace {

constexpr std::array<uint8_t, 32> kWiden5 = [] {
    std::array<uint8_t, 32> t{};
    for (unsigned v = 0; v < 32; ++v)
        t[v] = uint8_t(v * 255 / 31);
    return t;
}();
constexpr std::array<uint8_t, 64> kWiden6 = [] {
    std::array<uint8_t, 64> t{};
    for (unsigned v = 0; v < 64; ++v)
        t[v] = uint8_t(v * 255 / 63);
    return t;
}();

// Blue, green, red (and an unused byte) to red, green, blue; the step is fixed for the compiler.
template <size_t Step>
void bgrToRgb(const uint8_t* src, int count, uint8_t* rgb) {
    for (int i = 0; i < count; ++i, src += Step, rgb += 3) {
        rgb[0] = src[2];
        rgb[1] = src[1];
        rgb[2] = src[0];
    }
}

}  // namespace

void decodePixels(PixelFormat format, const uint8_t* row, const std::vector<RGBQuad>& table, int x,
                  int count, uint8_t* rgb) {
    const int end = x + count;
    auto putIndex = [&](unsigned i) {
        const RGBQuad q = i < table.size() ? table[i] : RGBQuad{};
        rgb[0] = q.red;
        rgb[1] = q.green;
        rgb[2] = q.blue;
        rgb += 3;
    };
    switch (format) {
        case PixelFormat::Bits1:
            for (; x < end; ++x)
                putIndex((row[x >> 3] >> (7 - (x & 7))) & 1);
            break;
        case PixelFormat::Bits4:
            for (; x < end; ++x)
                putIndex((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
            break;
        case PixelFormat::Bits8:
            for (; x < end; ++x)
                putIndex(row[x]);
            break;
        case PixelFormat::Bits15:
        case PixelFormat::Bits16: {
            // 5-5-5, or 5-6-5 with the extra bit in green.
            const bool wideGreen = format == PixelFormat::Bits16;
            const int redShift = wideGreen ? 11 : 10;
            const unsigned greenMask = wideGreen ? 63 : 31;
            const uint8_t* greenLevels = wideGreen ? kWiden6.data() : kWiden5.data();
            for (const uint8_t* src = row + 2 * size_t(x); x < end; ++x, src += 2, rgb += 3) {
                const unsigned v = src[0] | (src[1] << 8);
                rgb[0] = kWiden5[(v >> redShift) & 31];
                rgb[1] = greenLevels[(v >> 5) & greenMask];
                rgb[2] = kWiden5[v & 31];
            }
            break;
        }
        case PixelFormat::Bits24:
            bgrToRgb<3>(row + 3 * size_t(x), count, rgb);
            break;
        case PixelFormat::Bits32:
        case PixelFormat::Device:
            bgrToRgb<4>(row + 4 * size_t(x), count, rgb);
            break;
    }
}

void rowToRgb(const Bitmap& bitmap, int row, uint8_t* rgb) {
    decodePixels(bitmap.pixelFormat(), bitmap.scanLine(row), bitmap.colorTable(), 0, bitmap.width(),
                 rgb);
}

}  // namespace fk

namespace fk {

void copyClearingUnused(uint8_t* to, const uint8_t* from, int width) {
    // Whole pixels as words, through memcpy: the rows hold bytes, not 32-bit objects.
    constexpr uint32_t kKept =
        std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;
    for (int x = 0; x < width; ++x) {
        uint32_t v;
        std::memcpy(&v, from + 4 * size_t(x), 4);
        v &= kKept;
        std::memcpy(to + 4 * size_t(x), &v, 4);
    }
}

void copyDroppingUnused(uint8_t* to, const uint8_t* from, int width) {
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Two pixels at a time as one 64-bit word: their six colour bytes close up and go out as
        // eight, the last two of which the next pixel overwrites; so a pixel must follow.
        for (; x + 2 < width; x += 2, from += 8, to += 6) {
            uint64_t v;
            std::memcpy(&v, from, 8);
            v = (v & 0xFFFFFFu) | ((v >> 8) & 0xFFFFFF000000u);
            std::memcpy(to, &v, 8);
        }
    }
    for (; x < width; ++x, from += 4, to += 3) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    }
}

}  // namespace fk
