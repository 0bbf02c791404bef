#include "gif/reduction/color_reduction.h"

#include <algorithm>
#include <memory>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/color_quantizer.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/fixed_palettes.h"

namespace fk {

namespace {

Palette BuildPalette(TPaletteKind kind, Bitmap& source, TDIBReader& reader, int paletteBits,
                     const Palette* customPalette) {
    switch (kind) {
        case pkSystem20:
            return SystemPalette20();
        case pkHalftone:
            return MakeHalftonePalette();
        case pkGray4:
            return MakeGray4Palette();
        case pkBlackWhite:
            return MakeBlackWhitePalette();
        case pkGray256:
            return MakeGrayRampPalette();
        case pkWebCube:
            return MakeWebCubePalette();
        case pkOctree: {
            const int bits = paletteBits < 0 ? 0 : (paletteBits > 8 ? 8 : paletteBits);
            return MakeOctreePalette(reader, 1 << bits, 8, false);
        }
        case pkOctreeSystem:
            return MakeOctreePaletteForBitmap(source, 256, 8, true);
        case pkCustom:
            if (!customPalette)
                return {};
            return Palette(customPalette->begin(),
                           customPalette->begin() + std::min<size_t>(customPalette->size(), 256));
        case pkTrueColor:
            break;
    }
    return {};
}

std::unique_ptr<TColorLookup> CreateLookup(TPaletteKind kind, const Palette& palette) {
    switch (kind) {
        case pkBlackWhite:
            return std::make_unique<TMonochromeLookup>();
        case pkGray256:
            return std::make_unique<TGrayScaleLookup>();
        case pkWebCube:
            return std::make_unique<TNetscapeColorLookup>();
        default:
            return std::make_unique<TSlowColorLookup>(palette);
    }
}

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherKind kind, int width, TColorLookup& matcher) {
    switch (kind) {
        case dkPlain:
            return std::make_unique<TDitherEngine>(width, matcher);
        case dkFloydSteinberg:
            return std::make_unique<TFloydSteinbergDitherer>(width, matcher);
        case dkStucki:
            return std::make_unique<TStuckiDitherer>(width, matcher);
        case dkSierra:
            return std::make_unique<TSierraDitherer>(width, matcher);
        case dkJaJuNi:
            return std::make_unique<TJaJuNiDitherer>(width, matcher);
        case dkSteveArche:
            return std::make_unique<TSteveArcheDitherer>(width, matcher);
        case dkBurkes:
            return std::make_unique<TBurkesDitherer>(width, matcher);
    }
    return nullptr;
}

}  // namespace

Bitmap MakePalettedBitmap(Bitmap& source, TPaletteKind paletteKind, TDitherKind ditherKind,
                          int paletteBits, const Palette* customPalette) {
    Bitmap result;
    if (paletteKind == pkTrueColor) {
        result = source;
        result.setPixelFormat(PixelFormat::Bits24);
        return result;
    }

    TDIBReader reader(source, PixelFormat::Bits24);
    if (paletteKind > pkCustom)
        return result;
    const Palette palette = BuildPalette(paletteKind, source, reader, paletteBits, customPalette);
    std::unique_ptr<TColorLookup> matcher = CreateLookup(paletteKind, palette);
    if (matcher->ColorCount() == 0)
        return result;
    std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, source.width(), *matcher);
    if (!ditherer)
        return result;

    TDIBWriter writer(result, PixelFormat::Bits8, source.width(), source.height(), &palette);
    for (int row = 0; row < source.height(); ++row) {
        const uint8_t* from = reader.ScanRow(row);
        uint8_t* to = writer.ScanRow(row);
        ditherer->MapRow(from, to);
        ditherer->EndRow();
    }
    writer.CommitToImage();
    return result;
}

}  // namespace fk
