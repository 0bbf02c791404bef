#pragma once

#include <cstdint>

#include "graphics/bitmap.h"

namespace fk {

// Writes one row of the bitmap (row 0 = top) as red, green, blue bytes, 3 x width of them, with
// the colours pixel() gives: palette formats through their colour table (an index past the table
// is black), 5- and 6-bit channels widened to 8 bits. Encoders that need plain RGB rows use it.
void rowToRgb(const Bitmap& bitmap, int row, uint8_t* rgb);

}  // namespace fk
