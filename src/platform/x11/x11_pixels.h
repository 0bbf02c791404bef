#pragma once

#include <X11/Xlib.h>

#include "graphics/bitmap.h"

namespace fk {

// Copies an X image of the screen's visual into a 32-bit bitmap at (dx, dy), top row first, as
// blue, green, red, 0.
void copyImageRows(const XImage& image, const Visual& visual, Bitmap& into, int dx, int dy);

}  // namespace fk
