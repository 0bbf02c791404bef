#pragma once

#include <cstdint>

#include "gif/reduction/gif_exception.h"
#include "graphics/bitmap.h"
#include "graphics/color.h"

namespace fk {

// Which palette a deep-colour bitmap is reduced to.
enum TPaletteKind : uint8_t {
    pkTrueColor,
    pkSystem20,
    pkHalftone,
    pkGray4,
    pkBlackWhite,
    pkGray256,
    pkWebCube,
    pkOctree,
    pkOctreeSystem,
    pkCustom
};
// How pixels are mapped to it.
enum TDitherKind : uint8_t {
    dkPlain,
    dkFloydSteinberg,
    dkStucki,
    dkSierra,
    dkJaJuNi,
    dkSteveArche,
    dkBurkes
};

// Returns the new 8-bit bitmap (256-entry colour table: palette colours first, rest black);
// converts `source` to 24 bits in place. pkTrueColor gives a 24-bit copy instead; a kind beyond
// the enumerations, or an empty palette, gives an empty bitmap. `paletteBits` (held to 0..8)
// sizes the pkOctree palette; `customPalette` is pkCustom's, of which at most the first 256
// entries are used. Errors are GIFException ("Invalid image dimensions" for an empty source).
Bitmap MakePalettedBitmap(Bitmap& source, TPaletteKind paletteKind, TDitherKind ditherKind,
                          int paletteBits, const Palette* customPalette);

}  // namespace fk
