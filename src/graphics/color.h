#pragma once

#include <cstdint>
#include <vector>

namespace fk {

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

// A colour-table entry as bitmaps store it.
struct RGBQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const RGBQuad&, const RGBQuad&) = default;
};

// A palette entry: red, green, blue and a flag byte (4 = no-collapse in the grey palettes).
struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// An ordered list of at most 256 entries.
using Palette = std::vector<PaletteEntry>;

}  // namespace fk
