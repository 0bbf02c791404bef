#pragma once

#include <cstdint>
#include <vector>

#include "graphics/bitmap.h"

namespace fk {

// The one decoder of every pixel format: writes `count` pixels of a stored row, from pixel `x`
// on, as red, green, blue bytes. Palette formats go through the colour table (an index past the
// table is black); 5- and 6-bit channels widen to 8 bits by scaling, as the common BMP readers do.
void decodePixels(PixelFormat format, const uint8_t* row, const std::vector<RGBQuad>& table, int x,
                  int count, uint8_t* rgb);

// Writes one row of the bitmap (row 0 = top) as red, green, blue bytes, 3 x width of them, with
// the colours pixel() gives. Encoders that need plain RGB rows use it.
void rowToRgb(const Bitmap& bitmap, int row, uint8_t* rgb);

// Copies `width` 32-bit pixels with their fourth byte set to 0; `to` may be `from`.
void copyClearingUnused(uint8_t* to, const uint8_t* from, int width);

// Copies `width` 32-bit pixels as 24-bit ones (blue, green, red), dropping the fourth byte; `to`
// must not overlap `from` and needs only 3 x width bytes.
void copyDroppingUnused(uint8_t* to, const uint8_t* from, int width);

}  // namespace fk
