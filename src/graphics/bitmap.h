#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/color.h"

namespace fk {

class Stream;

// Device is the display's own format: 32 bits per pixel, blue, green, red, unused.
// Bits15 is 5-5-5 and Bits16 is 5-6-5, both in 16-bit little-endian words.
// The largest bitmap the program makes or reads, in pixels.
inline constexpr int64_t kMaxBitmapPixels = int64_t(1) << 30;

enum class PixelFormat : uint8_t { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32 };

int bitsPerPixel(PixelFormat format);
bool isPaletteFormat(PixelFormat format);

// The program's bitmap: rows in device-independent layout (bottom row first, each padded to a
// multiple of 4 bytes), 24- and 32-bit pixels stored blue, green, red (, unused), and a colour
// table for the palette formats. The encoders read it; a shot fills it.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, PixelFormat format);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width <= 0 || m_height <= 0; }
    PixelFormat pixelFormat() const { return m_format; }
    int bitsPerPixel() const { return fk::bitsPerPixel(m_format); }
    size_t stride() const { return m_stride; }
    size_t imageSize() const { return m_bits.size(); }
    static size_t strideFor(int width, int bitsPerPixel);

    // Row 0 is the top row of the picture.
    uint8_t* scanLine(int row);
    const uint8_t* scanLine(int row) const;
    // All rows, bottom row first.
    uint8_t* bits() { return m_bits.data(); }
    const uint8_t* bits() const { return m_bits.data(); }

    // Palette formats only: 2, 16 or up to 256 entries. A new palette bitmap gets the system's
    // default colours for its depth.
    const std::vector<RGBQuad>& colorTable() const { return m_colorTable; }
    void setColorTable(std::vector<RGBQuad> table);
    // The colour table as palette entries (red, green, blue, flags 0).
    Palette palette() const;

    // Resizes; the content becomes black (index 0).
    void setSize(int width, int height);
    // Makes the bitmap this size and format for a caller that overwrites every pixel; keeps the
    // memory (and the old content) when nothing changes, so repeated grabs allocate nothing.
    void prepare(int width, int height, PixelFormat format);
    // Converts the pixels in place; palette formats expand through their colour table, and a
    // reduction to a palette format maps each colour to the nearest entry of the new table.
    void setPixelFormat(PixelFormat format);

    Color pixel(int x, int y) const;
    // Truecolour formats store the colour; palette formats store the nearest entry's index.
    void setPixel(int x, int y, Color c);
    uint8_t index(int x, int y) const;
    void setIndex(int x, int y, uint8_t index);
    void fill(Color c);

    // A standard BMP file at the bitmap's own depth.
    void saveToStream(Stream& out) const;
    void saveToFile(const std::string& path) const;
    // Reads one BMP image and leaves the stream right after it. Throws EInvalidGraphic.
    static Bitmap loadFromStream(Stream& in);
    static Bitmap loadFromFile(const std::string& path);

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    uint8_t nearestIndex(Color c) const;

    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Device;
    size_t m_stride = 0;
    std::vector<uint8_t> m_bits;
    std::vector<RGBQuad> m_colorTable;
};

// Lets `save` write the file under a temporary name beside it and puts it in place once it is
// complete; on failure nothing is left and an older file of that name stays as it was. The usual
// file entry of every encoder.
template <typename Save>
void saveStreamToFile(const std::string& path, Save&& save);

}  // namespace fk

#include "graphics/file_save.inl"
