// BMP files: 14-byte file header, 40-byte information header, bit-field masks for 5-6-5
// pixels, colour table for palette depths, then the rows bottom-up, padded to 4 bytes.
#include <cstring>
#include <limits>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

[[noreturn]] void invalid() {
    throw EInvalidGraphic("Bitmap image is not valid");
}

}  // namespace

void Bitmap::saveToStream(Stream& out) const {
    const bool bitfields = m_format == PixelFormat::Bits16;
    const uint32_t tableEntries = isPaletteFormat(m_format) ? uint32_t(m_colorTable.size()) : 0;
    const uint32_t headersSize =
        kFileHeaderSize + kInfoHeaderSize + (bitfields ? 12 : 0) + 4 * tableEntries;
    const uint64_t fileSize = uint64_t(headersSize) + m_bits.size();
    if (fileSize > std::numeric_limits<uint32_t>::max())
        throw EInvalidGraphic("Bitmap is too large for a BMP file");

    ByteWriter w(out);
    w.u8('B');
    w.u8('M');
    w.u32le(uint32_t(fileSize));
    w.u16le(0);  // reserved
    w.u16le(0);
    w.u32le(headersSize);  // offset of the pixel rows

    w.u32le(kInfoHeaderSize);
    w.u32le(uint32_t(m_width));
    w.u32le(uint32_t(m_height));  // positive: bottom row first
    w.u16le(1);                   // planes
    w.u16le(uint16_t(bitsPerPixel()));
    w.u32le(bitfields ? kBiBitfields : kBiRgb);
    w.u32le(uint32_t(m_bits.size()));  // image size
    w.u32le(0);                        // pixels per metre, x and y
    w.u32le(0);
    w.u32le(tableEntries);  // colours used
    w.u32le(0);             // important colours: all
    if (bitfields) {
        w.u32le(0xF800);
        w.u32le(0x07E0);
        w.u32le(0x001F);
    }
    for (uint32_t i = 0; i < tableEntries; ++i) {
        const RGBQuad& q = m_colorTable[i];
        w.u8(q.blue);
        w.u8(q.green);
        w.u8(q.red);
        w.u8(0);
    }
    w.flush();
    out.write(m_bits.data(), m_bits.size());
}

void Bitmap::saveToFile(const std::string& path) const {
    saveStreamToFile(path, [this](Stream& s) { saveToStream(s); });
}

Bitmap Bitmap::loadFromStream(Stream& in) {
    const uint64_t start = in.position();
    uint8_t fh[kFileHeaderSize];
    in.readExact(fh, sizeof fh);
    if (fh[0] != 'B' || fh[1] != 'M')
        invalid();
    const uint32_t fileSize = get32(fh + 2);
    const uint32_t pixelOffset = get32(fh + 10);

    uint8_t sizeField[4];
    in.readExact(sizeField, 4);
    const uint32_t infoSize = get32(sizeField);
    if (infoSize < kInfoHeaderSize || infoSize > 1024)
        invalid();
    std::vector<uint8_t> info(infoSize);
    std::memcpy(info.data(), sizeField, 4);
    in.readExact(info.data() + 4, infoSize - 4);

    const int32_t width = int32_t(get32(&info[4]));
    const int32_t rawHeight = int32_t(get32(&info[8]));
    const uint16_t bpp = get16(&info[14]);
    const uint32_t compression = get32(&info[16]);
    uint32_t colorsUsed = get32(&info[32]);
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<int32_t>::min())
        invalid();
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (int64_t(width) * height > kMaxBitmapPixels)
        invalid();

    PixelFormat format;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t consumed = kFileHeaderSize + infoSize;
    if (compression == kBiBitfields) {
        if (infoSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = get32(&info[40 + 4 * i]);
        } else {
            uint8_t m[12];
            in.readExact(m, 12);
            consumed += 12;
            for (int i = 0; i < 3; ++i)
                masks[i] = get32(m + 4 * i);
        }
    } else if (compression != kBiRgb) {
        throw EInvalidGraphic("Compressed bitmaps are not supported");
    }
    switch (bpp) {
        case 1:
            format = PixelFormat::Bits1;
            break;
        case 4:
            format = PixelFormat::Bits4;
            break;
        case 8:
            format = PixelFormat::Bits8;
            break;
        case 16:
            if (compression == kBiRgb ||
                (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x1F))
                format = PixelFormat::Bits15;
            else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x1F)
                format = PixelFormat::Bits16;
            else
                invalid();
            break;
        case 24:
            format = PixelFormat::Bits24;
            break;
        case 32:
            if (compression == kBiBitfields &&
                !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
                invalid();
            format = PixelFormat::Bits32;
            break;
        default:
            invalid();
    }
    if (compression == kBiBitfields && bpp != 16 && bpp != 32)
        invalid();

    // A header alone must not make the reader allocate: the rows have to be in the stream.
    const uint64_t rowBytes =
        uint64_t(strideFor(width, fk::bitsPerPixel(format))) * uint64_t(height);
    if (in.size() < in.position() || in.size() - in.position() < rowBytes)
        invalid();

    Bitmap bmp(width, height, format);
    if (isPaletteFormat(format)) {
        const uint32_t maxEntries = 1u << bpp;
        if (colorsUsed == 0 || colorsUsed > maxEntries)
            colorsUsed = maxEntries;
        std::vector<uint8_t> raw(size_t(colorsUsed) * 4);
        in.readExact(raw.data(), raw.size());
        consumed += raw.size();
        std::vector<RGBQuad> table(colorsUsed);
        for (uint32_t i = 0; i < colorsUsed; ++i)
            table[i] = {raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], 0};
        bmp.m_colorTable = std::move(table);
    }
    if (pixelOffset < consumed)
        invalid();
    if (pixelOffset > consumed) {
        if (pixelOffset > in.size() - start)
            invalid();
        in.seek(start + pixelOffset);
    }
    in.readExact(bmp.m_bits.data(), bmp.m_bits.size());
    if (topDown) {
        std::vector<uint8_t> tmp(bmp.m_stride);
        for (int32_t y = 0; y < height / 2; ++y) {
            uint8_t* a = bmp.m_bits.data() + size_t(y) * bmp.m_stride;
            uint8_t* b = bmp.m_bits.data() + size_t(height - 1 - y) * bmp.m_stride;
            std::memcpy(tmp.data(), a, bmp.m_stride);
            std::memcpy(a, b, bmp.m_stride);
            std::memcpy(b, tmp.data(), bmp.m_stride);
        }
    }
    // Leave the stream after the whole record as its header counts it.
    const uint64_t end = start + pixelOffset + bmp.m_bits.size();
    if (fileSize > end - start && start + fileSize <= in.size())
        in.seek(start + fileSize);
    return bmp;
}

Bitmap Bitmap::loadFromFile(const std::string& path) {
    FileStream file(path, FileStream::Mode::OpenRead);
    return loadFromStream(file);
}

}  // namespace fk
