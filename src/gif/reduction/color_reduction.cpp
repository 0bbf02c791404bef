#include "gif/reduction/color_reduction.h"

#include <algorithm>
#include <memory>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/color_quantizer.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/fixed_palettes.h"
#include "gif/reduction/reduction_plan.h"
#include "gif/reduction/row_walks.h"
#include "gif/reduction/source_rows.h"

namespace fk {

namespace {

int octreeColors(TPaletteKind kind, int paletteBits) {
    if (kind == pkOctreeSystem)
        return 256;
    return 1 << (paletteBits < 0 ? 0 : (paletteBits > 8 ? 8 : paletteBits));
}

// Only the octree kinds read the pixels.
Palette BuildPalette(TPaletteKind kind, Bitmap& source, TDIBReader* reader, int paletteBits,
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
        case pkOctree:
            return MakeOctreePalette(*reader, octreeColors(kind, paletteBits), 8, false);
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
                          int paletteBits, const Palette* customPalette,
                          const ReductionOptions& options) {
    if (paletteKind == pkTrueColor) {
        Bitmap copy = source;
        copy.setPixelFormat(PixelFormat::Bits24);
        return copy;
    }
    const ReductionPlan plan = planReduction(paletteKind, ditherKind, source, options);
    const int width = source.width(), height = source.height();
    SourceRows rows(source, plan);
    if (paletteKind > pkCustom)
        return {};
    Palette palette;
    if (plan.conversion == Conversion::BesideOctree) {
        rows.convertBeside([&] {
            palette = MakeOctreePaletteOfPixels(source, octreeColors(paletteKind, paletteBits), 8,
                                                paletteKind == pkOctreeSystem);
        });
    } else {
        palette =
            BuildPalette(paletteKind, rows.bitmap(), rows.reader(), paletteBits, customPalette);
    }
    std::unique_ptr<TColorLookup> matcher = CreateLookup(paletteKind, palette);
    if (matcher->ColorCount() == 0)
        return {};
    std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, width, *matcher);
    if (!ditherer)
        return {};

    Bitmap result;
    TDIBWriter writer(result, PixelFormat::Bits8, width, height, &palette);
    const WalkOutput out{writer, options, plan.follower, width, height};
    switch (plan.walk) {
        case Walk::Serpentine:
            walkSerpentine(*ditherer, rows, out);
            break;
        case Walk::Serpentine32:
            walkSerpentine32(static_cast<TBurkesDitherer&>(*ditherer), rows, out);
            break;
        case Walk::Chunks:
            matchChunks(
                plan.matchThreads, [&] { return CreateLookup(paletteKind, palette); }, rows, out);
            break;
    }
    rows.finish();
    writer.CommitToImage();
    return result;
}

}  // namespace fk
