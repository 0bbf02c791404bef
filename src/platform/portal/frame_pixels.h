#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/bitmap.h"

namespace fk {

// The four-byte pixel layouts a desktop hands pictures over in, named by their bytes in memory;
// "x" is unused or alpha, which a picture of the screen does not need.
enum class FrameLayout { BGRx, RGBx, xRGB, xBGR };

// A picture in memory that belongs to someone else: rows top first, `stride` bytes apart.
struct FrameView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
    FrameLayout layout = FrameLayout::BGRx;
};

// Copies the picture into `into`, sized to it, as blue, green, red, 0.
void copyFrame(const FrameView& frame, Bitmap& into);

// The picture's pixels as 0xAARRGGBB cells, rows top first, without padding (a cursor's image,
// whose fourth byte is its alpha).
std::vector<uint32_t> framePixelsArgb(const FrameView& frame);

}  // namespace fk
