#include "gif/reduction/color_reduction.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/color_quantizer.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/fixed_palettes.h"
#include "gif/reduction/parallel.h"
#include "graphics/rgb_rows.h"

namespace fk {

namespace {

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
        case pkOctree: {
            const int bits = paletteBits < 0 ? 0 : (paletteBits > 8 ? 8 : paletteBits);
            return MakeOctreePalette(*reader, 1 << bits, 8, false);
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

// Rows are matched, and given to a follower, in groups: waking a thread costs more than a row.
constexpr int kRowsPerChunk = 32;

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
    for (int r = first; r < last; ++r)
        copyDroppingUnused(to.scanLine(r), from.scanLine(r), from.width());
}

// All of it, in chunks.
void convertRows(const Bitmap& from, Bitmap& to, int threads) {
    forEachChunk(threads, from.height(), kRowsPerChunk,
                 [&](int, int first, int last) { convertRows(from, to, first, last); });
}

// Copies finished rows out for a follower and gives them to it in order.
class RowFeed {
public:
    RowFeed(const ReductionOptions& options, int width, int height)
        : m_indexes(options.indexes),
          m_follower(options.indexes ? options.follower : nullptr),
          m_width(size_t(width)),
          m_height(height) {}

    bool following() const { return m_follower != nullptr; }

    // Row r of the result is final.
    void stored(int r, const uint8_t* indexes) const {
        if (m_indexes)
            std::memcpy(m_indexes + size_t(r) * m_width, indexes, m_width);
    }

    // Runs walk(report) on the calling thread, where the walk calls report(first, last) whenever
    // rows first..last - 1 are final (in any order, from any thread, when the walk uses several),
    // while the follower takes them in order on a thread of its own (on this one after each
    // report when there is only one thread, whose walk goes in order).
    template <class Walk>
    void followWalk(int threads, Walk&& walk) {
        if (threads <= 1) {
            walk([&](int first, int last) { m_follower->Take(first, last - first); });
            return;
        }
        RowProgress progress(m_height);
        WorkerThread follower([&] {
            for (int taken = 0; taken < m_height;) {
                const int ready = progress.waitBeyond(taken);
                if (ready < 0)
                    return;
                m_follower->Take(taken, ready - taken);
                taken = ready;
            }
        });
        try {
            std::atomic<int> reported = 0;
            walk([&](int first, int last) {
                progress.finished(first, last - first);
                reported += last - first;
            });
            if (reported < m_height)
                progress.cancel();
        } catch (...) {
            progress.cancel();
            try {
                follower.join();
            } catch (...) {
            }
            throw;
        }
        follower.join();
    }

private:
    uint8_t* m_indexes;
    RowFollower* m_follower;
    size_t m_width;
    int m_height;
};

}  // namespace

Bitmap MakePalettedBitmap(Bitmap& source, TPaletteKind paletteKind, TDitherKind ditherKind,
                          int paletteBits, const Palette* customPalette,
                          const ReductionOptions& options) {
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
    // Matching without error diffusion treats each pixel on its own: chunks of rows go to
    // whichever thread is free, each thread with a matcher of its own (a matcher keeps caches).
    const bool chunks = threads > 1 && ditherKind == dkPlain && width > 0 && height > 1;
    // The source converted to 24 bits as the reader would convert it in place.
    Bitmap converted;
    // Whether each chunk converts its own rows just before they are matched.
    bool convertAsMatched = false;
    // Burkes' walk can read the 32-bit rows as they are, while another thread makes the 24-bit
    // copy that the source becomes, so the walk need not wait for the conversion. A fixed
    // palette is sure not to be empty, so the walk always runs.
    const bool walkWide = threads > 1 && wide && ditherKind == dkBurkes && width > 0 &&
                          height > 0 && paletteKind < pkOctree;
    std::unique_ptr<WorkerThread> background;
    std::optional<Palette> early;
    if (walkWide) {
        background = std::make_unique<WorkerThread>([&] {
            converted = Bitmap(width, height, PixelFormat::Bits24);
            convertRows(source, converted, 0, height);
        });
    } else if (threads > 1 && wide && paletteKind <= pkCustom) {
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
            // matching.
            convertAsMatched = chunks && paletteKind != pkCustom;
            if (!convertAsMatched)
                convertRows(source, converted, threads);
        }
        if (!convertAsMatched)
            source = std::move(converted);
    }

    // A fixed palette needs no pixels, so the rows still to be converted can be the reader's.
    Bitmap& rows = convertAsMatched ? converted : source;
    std::optional<TDIBReader> reader;
    if (!walkWide)
        reader.emplace(rows, PixelFormat::Bits24);
    if (paletteKind > pkCustom)
        return result;
    const Palette palette =
        early ? std::move(*early)
              : BuildPalette(paletteKind, rows, reader ? &*reader : nullptr, paletteBits,
                             customPalette);
    std::unique_ptr<TColorLookup> matcher = CreateLookup(paletteKind, palette);
    if (matcher->ColorCount() == 0)
        return result;
    std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, width, *matcher);
    if (!ditherer)
        return result;

    TDIBWriter writer(result, PixelFormat::Bits8, width, height, &palette);
    RowFeed feed(options, width, height);
    if (chunks) {
        writer.ScanRow(0);  // allocates the rows before the threads share them
        std::vector<std::unique_ptr<TColorLookup>> own{size_t(threads)};
        auto match = [&](int thread, int first, int last) {
            std::unique_ptr<TColorLookup>& lookup = own[size_t(thread)];
            if (!lookup)
                lookup = CreateLookup(paletteKind, palette);
            for (int row = first; row < last; ++row) {
                if (convertAsMatched)
                    convertRows(source, converted, row, row + 1);
                uint8_t* to = writer.ScanRow(row);
                lookup->MatchPixels(reader->ScanRow(row), to, width);
                feed.stored(row, to);
            }
        };
        if (feed.following()) {
            // The follower is the slower part and has a thread of its own; the others match, each
            // chunk converted just before, so the follower can start on the first one at once.
            feed.followWalk(threads, [&](auto&& report) {
                forEachChunk(threads - 1, height, kRowsPerChunk, [&](int thread, int first, int last) {
                    match(thread, first, last);
                    report(first, last);
                });
            });
        } else {
            forEachChunk(threads, height, kRowsPerChunk, match);
        }
        if (convertAsMatched)
            source = std::move(converted);
    } else {
        auto walk = [&](auto&& report) {
            auto* burkes = walkWide ? static_cast<TBurkesDitherer*>(ditherer.get()) : nullptr;
            for (int row = 0, group = 0; row < height; ++row) {
                uint8_t* to = writer.ScanRow(row);
                if (burkes)
                    burkes->MapRow32(source.scanLine(row), to);
                else
                    ditherer->MapRow(reader->ScanRow(row), to);
                ditherer->EndRow();
                feed.stored(row, to);
                if ((row + 1) % kRowsPerChunk == 0 || row + 1 == height) {
                    report(group, row + 1);
                    group = row + 1;
                }
            }
        };
        if (feed.following())
            feed.followWalk(threads, walk);
        else
            walk([](int, int) {});
    }
    if (background) {
        background->join();
        source = std::move(converted);
    }
    writer.CommitToImage();
    return result;
}

}  // namespace fk
