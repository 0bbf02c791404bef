#include "graphics/rgb_rows.h"

#include <array>

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
            for (const uint8_t* src = row + 2 * size_t(x); x < end; ++x, src += 2, rgb += 3) {
                const unsigned v = src[0] | (src[1] << 8);
                rgb[0] = kWiden5[(v >> 10) & 31];
                rgb[1] = kWiden5[(v >> 5) & 31];
                rgb[2] = kWiden5[v & 31];
            }
            break;
        case PixelFormat::Bits16:
            for (const uint8_t* src = row + 2 * size_t(x); x < end; ++x, src += 2, rgb += 3) {
                const unsigned v = src[0] | (src[1] << 8);
                rgb[0] = kWiden5[(v >> 11) & 31];
                rgb[1] = kWiden6[(v >> 5) & 63];
                rgb[2] = kWiden5[v & 31];
            }
            break;
        case PixelFormat::Bits24:
            for (const uint8_t* src = row + 3 * size_t(x); x < end; ++x, src += 3, rgb += 3) {
                rgb[0] = src[2];
                rgb[1] = src[1];
                rgb[2] = src[0];
            }
            break;
        case PixelFormat::Bits32:
        case PixelFormat::Device:
            for (const uint8_t* src = row + 4 * size_t(x); x < end; ++x, src += 4, rgb += 3) {
                rgb[0] = src[2];
                rgb[1] = src[1];
                rgb[2] = src[0];
            }
            break;
    }
}

void rowToRgb(const Bitmap& bitmap, int row, uint8_t* rgb) {
    decodePixels(bitmap.pixelFormat(), bitmap.scanLine(row), bitmap.colorTable(), 0,
                 bitmap.width(), rgb);
}

}  // namespace fk
