#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace fk::tiff {

// Field types of TIFF 6.0 that the writer uses.
enum class FieldType : uint16_t { Ascii = 2, Short = 3, Long = 4, Rational = 5 };

// Where an entry's value comes from when a file is written: a constant of the template, or a
// number that depends on the picture and on where the writer put things.
enum class Fill : uint8_t {
    Constant,
    Width,
    Height,
    BitsPerSample,  // the depth for palette images, the offset of the 8, 8, 8 list for RGB
    Photometric,    // the template's value unless the picture's colours ask for another
    StripOffset,
    RowsPerStrip,
    StripByteCount,
    XResolution,
    YResolution,
    Software,
    ColorMap,  // count 3 x 2^depth, value the colour map's offset
};

struct EntryTemplate {
    uint16_t tag;
    FieldType type;
    uint32_t count;
    Fill fill;
    uint32_t value;  // used as it stands for Fill::Constant
};

// Tag numbers and values are those of the TIFF 6.0 baseline; the entries stand in ascending tag
// order as a directory requires.
inline constexpr uint16_t kTagNewSubfileType = 254;
inline constexpr uint16_t kTagImageWidth = 256;
inline constexpr uint16_t kTagImageLength = 257;
inline constexpr uint16_t kTagBitsPerSample = 258;
inline constexpr uint16_t kTagCompression = 259;
inline constexpr uint16_t kTagPhotometric = 262;
inline constexpr uint16_t kTagStripOffsets = 273;
inline constexpr uint16_t kTagSamplesPerPixel = 277;
inline constexpr uint16_t kTagRowsPerStrip = 278;
inline constexpr uint16_t kTagStripByteCounts = 279;
inline constexpr uint16_t kTagXResolution = 282;
inline constexpr uint16_t kTagYResolution = 283;
inline constexpr uint16_t kTagPlanarConfiguration = 284;
inline constexpr uint16_t kTagResolutionUnit = 296;
inline constexpr uint16_t kTagSoftware = 305;
inline constexpr uint16_t kTagColorMap = 320;

inline constexpr uint16_t kPhotometricWhiteIsZero = 0;
inline constexpr uint16_t kPhotometricBlackIsZero = 1;
inline constexpr uint16_t kPhotometricRgb = 2;
inline constexpr uint16_t kPhotometricPalette = 3;

// 87.7 pixels per inch, for X and Y alike.
inline constexpr uint32_t kResolutionNumerator = 877;
inline constexpr uint32_t kResolutionDenominator = 10;
inline constexpr uint16_t kResolutionUnitInch = 2;
// Written without a terminating NUL, and counted so.
inline constexpr std::string_view kSoftwareName = "Mirat soft";
inline constexpr uint16_t kRgbBitsPerSample = 8;

// The three directories the writer fills in for each file: bilevel (1 bit), palette (1, 4 and 8
// bits) and RGB (every deeper format).
namespace directories {

using enum FieldType;
using enum Fill;

inline constexpr std::array<EntryTemplate, 14> kBilevelDirectory = {{
    {kTagNewSubfileType, Long, 1, Constant, 0},
    {kTagImageWidth, Short, 1, Width, 0},
    {kTagImageLength, Short, 1, Height, 0},
    {kTagBitsPerSample, Short, 1, Constant, 1},
    {kTagCompression, Short, 1, Constant, 1},
    {kTagPhotometric, Short, 1, Photometric, kPhotometricBlackIsZero},
    {kTagStripOffsets, Long, 1, StripOffset, 0},
    {kTagSamplesPerPixel, Short, 1, Constant, 1},
    {kTagRowsPerStrip, Long, 1, RowsPerStrip, 0},
    {kTagStripByteCounts, Long, 1, StripByteCount, 0},
    {kTagXResolution, Rational, 1, XResolution, 0},
    {kTagYResolution, Rational, 1, YResolution, 0},
    {kTagResolutionUnit, Short, 1, Constant, kResolutionUnitInch},
    {kTagSoftware, Ascii, uint32_t(kSoftwareName.size()), Software, 0},
}};

inline constexpr std::array<EntryTemplate, 15> kPaletteDirectory = {{
    {kTagNewSubfileType, Long, 1, Constant, 0},
    {kTagImageWidth, Short, 1, Width, 0},
    {kTagImageLength, Short, 1, Height, 0},
    {kTagBitsPerSample, Short, 1, BitsPerSample, 0},
    {kTagCompression, Short, 1, Constant, 1},
    {kTagPhotometric, Short, 1, Constant, kPhotometricPalette},
    {kTagStripOffsets, Long, 1, StripOffset, 0},
    {kTagSamplesPerPixel, Short, 1, Constant, 1},
    {kTagRowsPerStrip, Long, 1, RowsPerStrip, 0},
    {kTagStripByteCounts, Long, 1, StripByteCount, 0},
    {kTagXResolution, Rational, 1, XResolution, 0},
    {kTagYResolution, Rational, 1, YResolution, 0},
    {kTagResolutionUnit, Short, 1, Constant, kResolutionUnitInch},
    {kTagSoftware, Ascii, uint32_t(kSoftwareName.size()), Software, 0},
    {kTagColorMap, Short, 0, ColorMap, 0},
}};

inline constexpr std::array<EntryTemplate, 15> kRgbDirectory = {{
    {kTagNewSubfileType, Long, 1, Constant, 0},
    {kTagImageWidth, Short, 1, Width, 0},
    {kTagImageLength, Short, 1, Height, 0},
    {kTagBitsPerSample, Short, 3, BitsPerSample, 0},
    {kTagCompression, Short, 1, Constant, 1},
    {kTagPhotometric, Short, 1, Constant, kPhotometricRgb},
    {kTagStripOffsets, Long, 1, StripOffset, 0},
    {kTagSamplesPerPixel, Short, 1, Constant, 3},
    {kTagRowsPerStrip, Long, 1, RowsPerStrip, 0},
    {kTagStripByteCounts, Long, 1, StripByteCount, 0},
    {kTagXResolution, Rational, 1, XResolution, 0},
    {kTagYResolution, Rational, 1, YResolution, 0},
    {kTagPlanarConfiguration, Short, 1, Constant, 1},
    {kTagResolutionUnit, Short, 1, Constant, kResolutionUnitInch},
    {kTagSoftware, Ascii, uint32_t(kSoftwareName.size()), Software, 0},
}};

}  // namespace directories

using directories::kBilevelDirectory;
using directories::kPaletteDirectory;
using directories::kRgbDirectory;

}  // namespace fk::tiff
