#pragma once

#include <array>

#include "graphics/color.h"

namespace fk {

// The 20 static colours of the system's default palette, in order.
inline constexpr std::array<Color, 20> kDefaultPalette20 = {{
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
}};

// The screen's 256-entry halftone palette: default entries 0..9, the 6x6x6 cube,
// 20 greys, default entries 10..19.
constexpr std::array<Color, 256> makeHalftonePalette256() {
    std::array<Color, 256> p{};
    for (int i = 0; i < 10; ++i)
        p[i] = kDefaultPalette20[i];
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p[10 + 36 * r + 6 * g + b] = {uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b)};
    for (int k = 0; k < 20; ++k) {
        // round(255 * (k + 1) / 21), exact in integers.
        auto v = uint8_t((2 * 255 * (k + 1) + 21) / 42);
        p[226 + k] = {v, v, v};
    }
    for (int i = 0; i < 10; ++i)
        p[246 + i] = kDefaultPalette20[10 + i];
    return p;
}
inline constexpr std::array<Color, 256> kHalftonePalette256 = makeHalftonePalette256();

// The 16 colours of a 4-bit bitmap made without a colour table of its own.
inline constexpr std::array<Color, 16> kDefaultPalette16 = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

}  // namespace fk
