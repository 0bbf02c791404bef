#pragma once

#include <cstdint>
#include <vector>

#include "graphics/bitmap.h"

namespace fk::jpeg {

struct CompressOptions {
    uint8_t quality = 90;  // handed to the library as it stands; it keeps it within 1..100
    bool grayscale = false;
    bool progressive = false;
    // Threads for a baseline picture, made in bands and joined into the bytes one thread makes;
    // 0: one per core for pictures large enough to gain from it.
    int threads = 0;
};

// Compresses a non-empty bitmap into a complete JFIF file with libjpeg's defaults, the
// floating-point DCT and baseline quantisation tables. A failure of the library raises EJPEG
// with its message code, after the library's state has been released.
std::vector<uint8_t> compressBitmap(const Bitmap& bitmap, const CompressOptions& options);

// A baseline picture made in bands of whole MCU rows on `threads` threads and joined into the
// bytes one thread makes; empty when the bands cannot be joined so (a band whose last block has a
// non-zero last coefficient), and compressBitmap then makes it on one thread.
std::vector<uint8_t> compressInBands(const Bitmap& bitmap, const CompressOptions& options,
                                     int threads);

}  // namespace fk::jpeg
