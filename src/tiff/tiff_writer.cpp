#include "tiff/tiff_writer.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "graphics/rgb_rows.h"
#include "tiff/tiff_directories.h"

namespace fk {

namespace {

using namespace tiff;

enum class Layout { Bilevel, Palette, Rgb };

// Classic TIFF offsets are 32 bits; the largest bitmap must still fit.
static_assert(3 * kMaxBitmapPixels + 226 < (int64_t(1) << 32));

// How one bitmap is laid out in the file.
struct Shape {
    Layout layout = Layout::Rgb;
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 8;        // bits per sample of a palette image
    size_t rowBytes = 0;  // bytes per written row, without padding
    uint16_t photometric = 0;
};

// Offsets, from the start of the file, of everything the directory points at.
struct Offsets {
    uint32_t colorMap = 0;
    uint32_t xResolution = 0;
    uint32_t yResolution = 0;
    uint32_t bitsPerSample = 0;
    uint32_t software = 0;
    uint32_t image = 0;
};

bool isColor(const std::vector<RGBQuad>& table, size_t i, uint8_t level) {
    // A missing entry reads as black, as the bitmap's own pixel lookup does.
    RGBQuad q = i < table.size() ? table[i] : RGBQuad{};
    return q.red == level && q.green == level && q.blue == level;
}

Shape shapeOf(const Bitmap& bitmap) {
    Shape s;
    s.width = uint32_t(bitmap.width());
    s.height = uint32_t(bitmap.height());
    const auto& table = bitmap.colorTable();
    switch (bitmap.pixelFormat()) {
        case PixelFormat::Bits1:
            s.rowBytes = (size_t(s.width) + 7) / 8;
            // Bilevel images know only black and white; the photometric value says which of the
            // two a 0 bit is. Any other pair of colours needs a colour map.
            if (isColor(table, 0, 0) && isColor(table, 1, 255)) {
                s.layout = Layout::Bilevel;
                s.photometric = kPhotometricBlackIsZero;
            } else if (isColor(table, 0, 255) && isColor(table, 1, 0)) {
                s.layout = Layout::Bilevel;
                s.photometric = kPhotometricWhiteIsZero;
            } else {
                s.layout = Layout::Palette;
                s.depth = 1;
            }
            break;
        case PixelFormat::Bits4:
            s.layout = Layout::Palette;
            s.depth = 4;
            s.rowBytes = (size_t(s.width) + 1) / 2;
            break;
        case PixelFormat::Bits8:
            s.layout = Layout::Palette;
            s.depth = 8;
            s.rowBytes = s.width;
            break;
        case PixelFormat::Bits15:
        case PixelFormat::Bits16:
        case PixelFormat::Bits24:
        case PixelFormat::Bits32:
        case PixelFormat::Device:
            s.layout = Layout::Rgb;
            s.rowBytes = 3 * size_t(s.width);
            break;
    }
    return s;
}

// The rows, top row first, gathered into large writes straight to the stream.
void writeImage(Stream& out, const Bitmap& bitmap, const Shape& shape) {
    constexpr size_t kChunkBytes = 256 * 1024;
    const size_t rowsPerChunk = std::max<size_t>(1, kChunkBytes / shape.rowBytes);
    std::vector<uint8_t> chunk(std::min<size_t>(rowsPerChunk, shape.height) * shape.rowBytes);
    size_t used = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        uint8_t* row = chunk.data() + used;
        if (shape.layout == Layout::Rgb)
            rowToRgb(bitmap, y, row);
        else
            std::memcpy(row, bitmap.scanLine(y), shape.rowBytes);
        used += shape.rowBytes;
        if (used == chunk.size()) {
            out.write(chunk.data(), used);
            used = 0;
        }
    }
    out.write(chunk.data(), used);
}

void writeColorMap(ByteWriter& w, const Bitmap& bitmap, int depth) {
    const auto& table = bitmap.colorTable();
    const size_t entries = size_t(1) << depth;
    // Each 8-bit level is stored times 256: the high byte of the 16-bit value.
    auto channel = [&](auto pick) {
        for (size_t i = 0; i < entries; ++i)
            w.u16le(uint16_t((i < table.size() ? pick(table[i]) : 0) << 8));
    };
    channel([](const RGBQuad& q) { return q.red; });
    channel([](const RGBQuad& q) { return q.green; });
    channel([](const RGBQuad& q) { return q.blue; });
}

void writeResolutions(ByteWriter& w, Offsets& at, uint64_t base) {
    at.xResolution = uint32_t(w.position() - base);
    w.u32le(kResolutionNumerator);
    w.u32le(kResolutionDenominator);
    at.yResolution = uint32_t(w.position() - base);
    w.u32le(kResolutionNumerator);
    w.u32le(kResolutionDenominator);
}

void writeSoftware(ByteWriter& w, Offsets& at, uint64_t base) {
    at.software = uint32_t(w.position() - base);
    w.bytes(kSoftwareName.data(), kSoftwareName.size());
}

// A SHORT field whose number does not fit becomes a LONG, which readers accept for sizes.
void writeSize(ByteWriter& w, uint16_t tag, uint32_t size) {
    w.u16le(tag);
    if (size <= 0xFFFF) {
        w.u16le(uint16_t(FieldType::Short));
        w.u32le(1);
        w.u16le(uint16_t(size));
        w.u16le(0);
    } else {
        w.u16le(uint16_t(FieldType::Long));
        w.u32le(1);
        w.u32le(size);
    }
}

void writeDirectory(ByteWriter& w, std::span<const EntryTemplate> entries, const Shape& shape,
                    const Offsets& at) {
    w.u16le(uint16_t(entries.size()));
    for (const EntryTemplate& e : entries) {
        uint32_t count = e.count;
        uint32_t value = e.value;
        switch (e.fill) {
            case Fill::Constant:
                break;
            case Fill::Width:
                writeSize(w, e.tag, shape.width);
                continue;
            case Fill::Height:
                writeSize(w, e.tag, shape.height);
                continue;
            case Fill::BitsPerSample:
                value = shape.layout == Layout::Rgb ? at.bitsPerSample : uint32_t(shape.depth);
                break;
            case Fill::Photometric:
                value = shape.photometric;
                break;
            case Fill::StripOffset:
                value = at.image;
                break;
            case Fill::RowsPerStrip:
                value = shape.height;
                break;
            case Fill::StripByteCount:
                value = uint32_t(shape.rowBytes * shape.height);
                break;
            case Fill::XResolution:
                value = at.xResolution;
                break;
            case Fill::YResolution:
                value = at.yResolution;
                break;
            case Fill::Software:
                value = at.software;
                break;
            case Fill::ColorMap:
                count = 3u << shape.depth;
                value = at.colorMap;
                break;
        }
        w.u16le(e.tag);
        w.u16le(uint16_t(e.type));
        w.u32le(count);
        // A SHORT that stands in the entry takes its first two bytes.
        w.u32le(e.type == FieldType::Short && count == 1 ? value & 0xFFFF : value);
    }
    w.u32le(0);  // no next directory
}

}  // namespace

void WriteTiff(Stream& out, const Bitmap& bitmap) {
    if (bitmap.empty())
        return;
    const Shape shape = shapeOf(bitmap);
    const uint64_t base = out.position();
    ByteWriter w(out);
    Offsets at;

    w.u8('I');
    w.u8('I');
    w.u16le(42);
    w.u32le(0);  // directory offset, filled in once everything else is written

    std::span<const EntryTemplate> directory;
    switch (shape.layout) {
        case Layout::Bilevel:
            at.image = uint32_t(w.position() - base);
            w.flush();
            writeImage(out, bitmap, shape);
            writeResolutions(w, at, base);
            writeSoftware(w, at, base);
            directory = kBilevelDirectory;
            break;
        case Layout::Palette:
            at.colorMap = uint32_t(w.position() - base);
            writeColorMap(w, bitmap, shape.depth);
            writeResolutions(w, at, base);
            writeSoftware(w, at, base);
            at.image = uint32_t(w.position() - base);
            w.flush();
            writeImage(out, bitmap, shape);
            directory = kPaletteDirectory;
            break;
        case Layout::Rgb:
            writeResolutions(w, at, base);
            at.bitsPerSample = uint32_t(w.position() - base);
            for (int i = 0; i < 3; ++i)
                w.u16le(kRgbBitsPerSample);
            writeSoftware(w, at, base);
            at.image = uint32_t(w.position() - base);
            w.flush();
            writeImage(out, bitmap, shape);
            directory = kRgbDirectory;
            break;
    }

    const uint32_t directoryOffset = uint32_t(w.position() - base);
    writeDirectory(w, directory, shape, at);
    w.flush();

    const uint64_t end = out.position();
    const uint8_t offsetBytes[4] = {uint8_t(directoryOffset), uint8_t(directoryOffset >> 8),
                                    uint8_t(directoryOffset >> 16), uint8_t(directoryOffset >> 24)};
    out.seek(base + 4);
    out.write(offsetBytes, sizeof offsetBytes);
    out.seek(end);
}

void SaveTiffFile(const std::string& path, const Bitmap& bitmap) {
    saveStreamToFile(path, [&](Stream& file) { WriteTiff(file, bitmap); });
}

}  // namespace fk
