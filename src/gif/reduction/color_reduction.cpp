#include "gif/reduction/color_reduction.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/color_quantizer.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/fixed_palettes.h"
#include "gif/reduction/parallel.h"

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

// Rows stored for a follower are told in groups: waking it up costs more than a row.
constexpr int kRowsPerReport = 32;

bool isOctree(TPaletteKind kind) {
    return kind == pkOctree || kind == pkOctreeSystem;
}

int octreeColors(TPaletteKind kind, int paletteBits) {
    if (kind == pkOctreeSystem)
        return 256;
    return 1 << (paletteBits < 0 ? 0 : (paletteBits > 8 ? 8 : paletteBits));
}

// Rows first..last - 1 of the 24-bit copy of a 32-bit bitmap that converting it in place gives.
void convertRows(const Bitmap& from, Bitmap& to, int first, int last) {
    const int width = from.width();
    for (int r = first; r < last; ++r) {
        const uint8_t* s = from.scanLine(r);
        uint8_t* d = to.scanLine(r);
        for (int x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// All of it, in bands.
void convertRows(const Bitmap& from, Bitmap& to, int threads) {
    forEachBand(threads, from.height(),
                [&](int first, int last) { convertRows(from, to, first, last); });
}

// Tells the follower of a reduction about finished rows, and lets it go when the reduction ends
// early.
class RowReport {
public:
    RowReport(const ReductionOptions& options, int width, int height)
        : m_indexes(options.indexes),
          m_progress(options.progress),
          m_width(width),
          m_height(height) {}
    ~RowReport() {
        if (m_progress && m_reported < m_height)
            m_progress->cancel();
    }
    RowReport(const RowReport&) = delete;
    RowReport& operator=(const RowReport&) = delete;

    // Row r of the result is final: copies it out, and tells of it at the end of a group.
    void row(int r, const uint8_t* indexes, int groupFirst, int groupEnd) {
        if (m_indexes)
            std::memcpy(m_indexes + size_t(r) * size_t(m_width), indexes, size_t(m_width));
        if (m_progress && ((r - groupFirst + 1) % kRowsPerReport == 0 || r + 1 == groupEnd)) {
            const int first = r - (r - groupFirst) % kRowsPerReport;
            m_progress->finished(first, r + 1 - first);
            std::lock_guard lock(m_count);
            m_reported += r + 1 - first;
        }
    }

private:
    uint8_t* m_indexes;
    RowProgress* m_progress;
    int m_width;
    int m_height;
    std::mutex m_count;
    int m_reported = 0;
};

}  // namespace

Bitmap MakePalettedBitmap(Bitmap& source, TPaletteKind paletteKind, TDitherKind ditherKind,
                          int paletteBits, const Palette* customPalette,
                          const ReductionOptions& options) {
    RowReport report(options, source.width(), source.height());
    Bitmap result;
    if (paletteKind == pkTrueColor) {
        result = source;
        result.setPixelFormat(PixelFormat::Bits24);
        return result;
    }

    const int threads = resolveThreadCount(options.threads);
    const int width = source.width(), height = source.height();
    const bool wide =
        source.pixelFormat() == PixelFormat::Device || source.pixelFormat() == PixelFormat::Bits32;
    // Matching without error diffusion treats each pixel on its own: bands of rows go to
    // threads of their own, each with a matcher of its own (a matcher keeps caches). A thread
    // that follows the rows as they are made counts as one of them.
    const int bandThreads = options.progress ? threads - 1 : threads;
    const bool bands = bandThreads > 1 && ditherKind == dkPlain && width > 0 && height > 1;
    // The source converted to 24 bits as the reader would convert it in place.
    Bitmap converted;
    // Whether the bands convert their own rows just before they match them.
    bool convertInBands = false;
    std::optional<Palette> early;
    if (threads > 1 && wide && paletteKind <= pkCustom) {
        if (isOctree(paletteKind)) {
            // The octree counts the colours of the 32-bit rows, which are the same colours,
            // while another thread converts.
            WorkerThread convert([&] {
                converted = Bitmap(width, height, PixelFormat::Bits24);
                convertRows(source, converted, std::max(threads - 1, 1));
            });
            early = MakeOctreePaletteOfPixels(source, octreeColors(paletteKind, paletteBits), 8,
                                              paletteKind == pkOctreeSystem);
            convert.join();
        } else {
            converted = Bitmap(width, height, PixelFormat::Bits24);
            // Only a palette of the program's own is sure not to be empty and so to reach the
            // bands.
            convertInBands = bands && paletteKind != pkCustom;
            if (!convertInBands)
                convertRows(source, converted, threads);
        }
        if (!convertInBands)
            source = std::move(converted);
    }

    // A fixed palette needs no pixels, so the rows still to be converted can be the reader's.
    Bitmap& rows = convertInBands ? converted : source;
    TDIBReader reader(rows, PixelFormat::Bits24);
    if (paletteKind > pkCustom)
        return result;
    const Palette palette =
        early ? std::move(*early)
              : BuildPalette(paletteKind, rows, reader, paletteBits, customPalette);
    std::unique_ptr<TColorLookup> matcher = CreateLookup(paletteKind, palette);
    if (matcher->ColorCount() == 0)
        return result;
    std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, width, *matcher);
    if (!ditherer)
        return result;

    TDIBWriter writer(result, PixelFormat::Bits8, width, height, &palette);
    if (bands) {
        writer.ScanRow(0);  // allocates the rows before the threads share them
        forEachBand(bandThreads, height, [&](int first, int last) {
            std::unique_ptr<TColorLookup> own = CreateLookup(paletteKind, palette);
            for (int row = first; row < last; ++row) {
                if (convertInBands)
                    convertRows(source, converted, row, row + 1);
                uint8_t* to = writer.ScanRow(row);
                own->MatchPixels(reader.ScanRow(row), to, width);
                report.row(row, to, first, last);
            }
        });
        if (convertInBands)
            source = std::move(converted);
    } else {
        for (int row = 0; row < height; ++row) {
            const uint8_t* from = reader.ScanRow(row);
            uint8_t* to = writer.ScanRow(row);
            ditherer->MapRow(from, to);
            ditherer->EndRow();
            report.row(row, to, 0, height);
        }
    }
    writer.CommitToImage();
    return result;
}

}  // namespace fk
