#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/bitmap.h"

namespace fk {

// A bitmap seen as device-independent rows, row 0 at the top.
class TDIB {
public:
    TDIB(Bitmap& image, PixelFormat format) : FImage(&image), FFormat(format) {}
    virtual ~TDIB() = default;
    TDIB(const TDIB&) = delete;
    TDIB& operator=(const TDIB&) = delete;

    virtual uint8_t* ScanRow(int row) = 0;
    PixelFormat Format() const { return FFormat; }

protected:
    Bitmap* FImage;  // not owned
    PixelFormat FFormat;
};

// Converts the bitmap to the format in place (it stays so for its owner) and gives its rows:
// 1 and 4 bits with the leftmost pixel in the high bits, 24 bits as blue, green, red.
class TDIBReader final : public TDIB {
public:
    TDIBReader(Bitmap& image, PixelFormat format);
    uint8_t* ScanRow(int row) override { return FImage->scanLine(row); }
    int Width() const { return FImage->width(); }
    int Height() const { return FImage->height(); }
    const Bitmap& Image() const { return *FImage; }
};

// Builds an 8- or 24-bit device-independent bitmap and hands it to the target bitmap: a 40-byte
// information header, for 8 bits a 256-entry colour table (the palette's entries, then zeros),
// and the pixel rows, bottom row first for a positive height.
class TDIBWriter final : public TDIB {
public:
    // Throws GIFException "Unsupported PixelFormat" for other formats and "Invalid image
    // dimensions" for an empty or negative width or a zero height. The palette is not owned and
    // must outlive the writer; at most its first 256 entries fill the colour table.
    TDIBWriter(Bitmap& target, PixelFormat format, int width, int height, const Palette* palette);

    // Allocates the blocks on first use; pixels are zero until written.
    uint8_t* ScanRow(int row) override;
    // Loads the finished bitmap into the target. Does nothing before the first ScanRow.
    void CommitToImage();

    // The header block (information header and colour table) and the pixel block.
    std::span<const uint8_t> Header() const;
    std::span<const uint8_t> Pixels() const;
    size_t RowSize() const { return FRowSize; }

private:
    void Allocate();

    static constexpr size_t kFileHeaderSize = 14;
    // The blocks live in one buffer behind room for a file header, so that the bitmap file the
    // target loads from needs no second copy.
    std::vector<uint8_t> FFile;
    uint32_t FHeaderSize = 0;
    uint32_t FPixelsSize = 0;
    const Palette* FColorSource;
    int FRows;
    int FCols;
    size_t FRowSize = 0;
};

}  // namespace fk
