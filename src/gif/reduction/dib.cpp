#include "gif/reduction/dib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/exceptions.h"
#include "base/stream.h"
#include "gif/gif_exception.h"

namespace fk {

namespace {

constexpr uint32_t kInfoHeaderSize = 40;

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

}  // namespace

TDIBReader::TDIBReader(Bitmap& image, PixelFormat format) : TDIB(image, format) {
    image.setPixelFormat(format);
}

TDIBWriter::TDIBWriter(Bitmap& target, PixelFormat format, int width, int height,
                       const Palette* palette)
    : TDIB(target, format), FColorSource(palette), FRows(height), FCols(width) {
    if (format != PixelFormat::Bits8 && format != PixelFormat::Bits24)
        throw GIFException("Unsupported PixelFormat");
    if (width <= 0 || height == 0 || height == INT32_MIN)
        throw GIFException("Invalid image dimensions");
    FHeaderSize = format == PixelFormat::Bits8 ? kInfoHeaderSize + 256 * 4 : kInfoHeaderSize;
}

void TDIBWriter::Allocate() {
    FFile.clear();
    FFile.shrink_to_fit();
    const int bits = fk::bitsPerPixel(FFormat);
    const uint64_t rowSize = ((uint64_t(FCols) * uint64_t(bits) + 31) & ~uint64_t(31)) / 8;
    const uint64_t pixelsSize = rowSize * uint64_t(std::abs(int64_t(FRows)));
    // A bitmap file counts its size in 32 bits, and no bitmap of the program is larger.
    if (pixelsSize > uint64_t(INT32_MAX) - kFileHeaderSize - FHeaderSize ||
        uint64_t(FCols) * uint64_t(std::abs(int64_t(FRows))) > uint64_t(kMaxBitmapPixels))
        throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    try {
        FFile.assign(kFileHeaderSize + FHeaderSize + pixelsSize, 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    }
    FRowSize = size_t(rowSize);
    FPixelsSize = uint32_t(pixelsSize);

    uint8_t* h = FFile.data() + kFileHeaderSize;
    const bool paletted = FFormat == PixelFormat::Bits8;
    size_t entries = 0;
    if (paletted && FColorSource)
        entries = std::min<size_t>(FColorSource->size(), 256);
    put32(h + 0, kInfoHeaderSize);
    put32(h + 4, uint32_t(FCols));
    put32(h + 8, uint32_t(FRows));  // positive: bottom row first
    put16(h + 12, 1);               // planes
    put16(h + 14, uint32_t(bits));
    put32(h + 16, 0);  // uncompressed
    put32(h + 20, 0);  // image size
    put32(h + 24, 0);  // pixels per metre
    put32(h + 28, 0);
    put32(h + 32, paletted ? 256 : 0);  // colours used
    put32(h + 36, uint32_t(entries));   // important colours
    if (paletted) {
        uint8_t* table = h + kInfoHeaderSize;
        std::memset(table, 0, 256 * 4);
        for (size_t i = 0; i < entries; ++i) {
            const PaletteEntry& e = (*FColorSource)[i];
            table[4 * i + 0] = e.blue;
            table[4 * i + 1] = e.green;
            table[4 * i + 2] = e.red;
        }
    }
}

uint8_t* TDIBWriter::ScanRow(int row) {
    if (FFile.empty())
        Allocate();
    if (FPixelsSize == 0 || FFile.size() < kFileHeaderSize + FHeaderSize + FPixelsSize)
        throw GIFException("Image has no DIB");
    const int rows = FRows < 0 ? -FRows : FRows;
    if (row < 0 || row >= rows)
        throw EInvalidGraphicOperation("Scan line index out of range");
    const size_t stored = FRows > 0 ? size_t(FRows - 1 - row) : size_t(row);
    return FFile.data() + kFileHeaderSize + FHeaderSize + stored * FRowSize;
}

std::span<const uint8_t> TDIBWriter::Header() const {
    if (FFile.empty())
        return {};
    return {FFile.data() + kFileHeaderSize, FHeaderSize};
}

std::span<const uint8_t> TDIBWriter::Pixels() const {
    if (FFile.empty())
        return {};
    return {FFile.data() + kFileHeaderSize + FHeaderSize, FPixelsSize};
}

void TDIBWriter::CommitToImage() {
    if (FFile.empty())
        return;
    uint8_t* f = FFile.data();
    f[0] = 'B';
    f[1] = 'M';
    put32(f + 2, uint32_t(kFileHeaderSize + FHeaderSize + FPixelsSize));
    put16(f + 6, 0);  // reserved
    put16(f + 8, 0);
    put32(f + 10, uint32_t(kFileHeaderSize + FHeaderSize));  // offset of the pixel rows
    MemoryStream stream(std::move(FFile));
    *FImage = Bitmap::loadFromStream(stream);
    FFile = stream.takeBytes();
}

}  // namespace fk
