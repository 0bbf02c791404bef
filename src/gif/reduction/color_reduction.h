#pragma once

#include <cstdint>

#include "gif/gif_exception.h"
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

// Takes the rows of a reduction's result in order, top row first, while later rows are still
// being made.
class RowFollower {
public:
    virtual ~RowFollower() = default;
    // Rows first..first + count - 1 are final in ReductionOptions::indexes.
    virtual void Take(int first, int count) = 0;
};

// How a reduction may use threads, and who follows its result.
struct ReductionOptions {
    // 1: everything on the caller's thread. More: the passes that treat each pixel on its own
    // (conversion to 24 bits, matching without error diffusion) go in chunks of rows to that
    // many threads, and the conversion runs beside the colour statistics; 0: one thread per
    // core. The result is the same whatever the number.
    int threads = 1;
    // When set, receives the result's indexes as well (width * height bytes, top row first),
    // and `follower`, when set, is given them in order on a thread of its own while later rows
    // are made on the calling thread; it counts as one of `threads`. A reduction that ends
    // without a picture (an empty result or an error) stops giving rows, so a follower that has
    // not had them all knows the result is not complete.
    uint8_t* indexes = nullptr;
    RowFollower* follower = nullptr;
};

// Returns the new 8-bit bitmap (256-entry colour table: palette colours first, rest black);
// converts `source` to 24 bits in place. pkTrueColor gives a 24-bit copy instead; a kind beyond
// the enumerations, or an empty palette, gives an empty bitmap. `paletteBits` (held to 0..8)
// sizes the pkOctree palette; `customPalette` is pkCustom's, of which at most the first 256
// entries are used. Errors are GIFException ("Invalid image dimensions" for an empty source).
Bitmap MakePalettedBitmap(Bitmap& source, TPaletteKind paletteKind, TDitherKind ditherKind,
                          int paletteBits, const Palette* customPalette,
                          const ReductionOptions& options = {});

}  // namespace fk
