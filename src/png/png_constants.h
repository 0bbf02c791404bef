#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fk::png {

// The eight bytes every PNG file starts with (ISO/IEC 15948, file signature).
inline constexpr std::array<uint8_t, 8> kSignature = {137, 80, 78, 71, 13, 10, 26, 10};

// Colour types and methods of the image header this writer produces.
inline constexpr uint8_t kColorTypeTruecolor = 2;
inline constexpr uint8_t kColorTypePalette = 3;
inline constexpr uint8_t kCompressionDeflate = 0;
inline constexpr uint8_t kFilterMethodAdaptive = 0;

inline constexpr uint8_t kDefaultDeflateLevel = 7;
// The smallest allowed data size of an image data chunk; a smaller limit is raised to it.
inline constexpr int32_t kDefaultIdatLimit = 65535;

// Filtered image data per piece when several threads deflate it: large enough that the pieces'
// seams cost next to nothing in size, small enough that two threads share the work evenly.
inline constexpr size_t kDefaultPieceBytes = 512 * 1024;

// Reflected form of the CRC-32 polynomial the format uses.
inline constexpr uint32_t kCrcPolynomial = 0xEDB88320u;

}  // namespace fk::png
