#pragma once

#include <cstdint>
#include <vector>

#include "graphics/bitmap.h"

namespace fk::jpeg {

struct CompressOptions {
    uint8_t quality = 90;  // handed to the library as it stands; it keeps it within 1..100
    bool grayscale = false;
    bool progressive = false;
};

// Compresses a non-empty bitmap into a complete JFIF file with libjpeg's defaults, the
// floating-point DCT and baseline quantisation tables. A failure of the library raises EJPEG
// with its message code, after the library's state has been released.
std::vector<uint8_t> compressBitmap(const Bitmap& bitmap, const CompressOptions& options);

}  // namespace fk::jpeg
