// What every fuzz target shares: a small reader over the fuzzer's bytes, a check that stops the
// run with a message, and a bitmap built from the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/bitmap.h"

// Ends the run as a crash, so that libFuzzer keeps the input and the replay test fails.
#define FUZZ_CHECK(condition, ...)                                                             \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                 \
            std::fprintf(stderr, "\n");                                                        \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// Hands out the input's bytes front to back; past the end every read gives zeros.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t u16() { return uint16_t(u8() | (u8() << 8)); }
    uint32_t u32() { return uint32_t(u16()) | (uint32_t(u16()) << 16); }
    bool flag() { return u8() & 1; }
    // A text of up to `maxLength` bytes, any bytes at all.
    std::string text(size_t maxLength) {
        size_t n = u8() % (maxLength + 1);
        std::string s;
        while (n-- > 0 && m_pos < m_size)
            s += char(m_data[m_pos++]);
        return s;
    }
    size_t remaining() const { return m_size - m_pos; }
    const uint8_t* rest() const { return m_data + m_pos; }
    void skipAll() { m_pos = m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Pixel counts above this keep a single run too slow for fuzzing; sides still reach 4096.
inline constexpr int kMaxFuzzPixels = 1 << 14;

// A bitmap of any format and size (0x0 up to 4096 on a side), any colour table for the palette
// formats, every byte of the rows (padding included) from the input, repeated when it runs out.
inline fk::Bitmap makeBitmap(Input& in) {
    static constexpr fk::PixelFormat kFormats[] = {
        fk::PixelFormat::Device, fk::PixelFormat::Bits1,  fk::PixelFormat::Bits4,
        fk::PixelFormat::Bits8,  fk::PixelFormat::Bits15, fk::PixelFormat::Bits16,
        fk::PixelFormat::Bits24, fk::PixelFormat::Bits32};
    const fk::PixelFormat format = kFormats[in.u8() % 8];
    int width = in.u16() % 4097;
    int height = in.u16() % 4097;
    if (int64_t(width) * height > kMaxFuzzPixels)
        height = kMaxFuzzPixels / width;
    fk::Bitmap bitmap(width, height, format);
    if (fk::isPaletteFormat(format) && in.flag()) {
        std::vector<fk::RGBQuad> table(in.u8() + size_t(1));
        for (fk::RGBQuad& q : table)
            q = {in.u8(), in.u8(), in.u8(), in.u8()};
        bitmap.setColorTable(std::move(table));
    }
    const size_t n = bitmap.imageSize();
    std::vector<uint8_t> source(in.rest(), in.rest() + in.remaining());
    in.skipAll();
    if (source.empty())
        source.push_back(0);
    uint8_t* bits = bitmap.bits();
    for (size_t i = 0; i < n; ++i)
        bits[i] = uint8_t(source[i % source.size()] + (i / source.size()) * 97);
    return bitmap;
}

inline const char* formatName(fk::PixelFormat f) {
    switch (f) {
        case fk::PixelFormat::Device:
            return "device";
        case fk::PixelFormat::Bits1:
            return "1";
        case fk::PixelFormat::Bits4:
            return "4";
        case fk::PixelFormat::Bits8:
            return "8";
        case fk::PixelFormat::Bits15:
            return "15";
        case fk::PixelFormat::Bits16:
            return "16";
        case fk::PixelFormat::Bits24:
            return "24";
        case fk::PixelFormat::Bits32:
            return "32";
    }
    return "?";
}

}  // namespace fuzz
