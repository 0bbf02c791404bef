#pragma once

#include "graphics/color.h"

namespace fk {

// The palettes the colour reduction builds for its fixed kinds. Each returns a new palette the
// caller owns; the grey palettes carry the no-collapse flag 4, the others flag 0.
Palette MakeBlackWhitePalette();   // black, white
Palette MakeGray4Palette();        // greys 0, 128, 192, 255
Palette MakeGrayRampPalette();     // entry i = (i, i, i)
Palette MakeWebCubePalette();      // entry 36r + 6g + b = (51r, 51g, 51b)
Palette MakeHalftonePalette();     // the screen's 256-entry halftone palette
const Palette& SystemPalette20();  // the shared 20-colour default palette; never copied

inline constexpr uint8_t kNoCollapseFlag = 4;

}  // namespace fk
