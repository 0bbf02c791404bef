#include "gif/reduction/fixed_palettes.h"

#include "graphics/palettes.h"

namespace fk {

namespace {

Palette grays(std::initializer_list<uint8_t> levels) {
    Palette p;
    p.reserve(levels.size());
    for (uint8_t v : levels)
        p.push_back({v, v, v, kNoCollapseFlag});
    return p;
}

}  // namespace

Palette MakeBlackWhitePalette() {
    return grays({0, 255});
}

Palette MakeGray4Palette() {
    return grays({0, 128, 192, 255});
}

Palette MakeGrayRampPalette() {
    Palette p(256);
    for (int i = 0; i < 256; ++i)
        p[i] = {uint8_t(i), uint8_t(i), uint8_t(i), kNoCollapseFlag};
    return p;
}

Palette MakeWebCubePalette() {
    Palette p;
    p.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.push_back({uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b), 0});
    return p;
}

Palette MakeHalftonePalette() {
    Palette p;
    p.reserve(kHalftonePalette256.size());
    for (const Color& c : kHalftonePalette256)
        p.push_back({c.red, c.green, c.blue, 0});
    return p;
}

const Palette& SystemPalette20() {
    static const Palette palette = [] {
        Palette p;
        for (const Color& c : kDefaultPalette20)
            p.push_back({c.red, c.green, c.blue, 0});
        return p;
    }();
    return palette;
}

}  // namespace fk
