// Making a frame from a bitmap: colour reduction where needed, then the colour map and the pixel
// indices from the rows.
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "base/stream.h"
#include "base/threads.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/lzw_encoder.h"
#include "gif/sub_image.h"

namespace fk {

namespace {

// Reports progress every 32 rows, as row * 100 / height rounded.
constexpr int kProgressRows = 32;

Bitmap reduceToPalette(Bitmap& source, const TGIFImage* doc, int threads) {
    const TPaletteKind kind = doc != nullptr ? doc->reductionKind() : pkWebCube;
    const TDitherKind dither = doc != nullptr ? doc->ditherKind() : dkPlain;
    const int bits = doc != nullptr ? doc->paletteBits() : 8;
    ReductionOptions options;
    options.threads = threads;
    return MakePalettedBitmap(source, kind, dither, bits, nullptr, options);
}

// The reduced bitmap, and the image data of its indexes when they were all coded beside it.
struct ReducedFrame {
    Bitmap bitmap;
    std::optional<EncodedImageData> imageData;
};

// Reduces the source, its indexes also written into `indexes` (width * height bytes, top row
// first), while another thread LZW-codes the finished rows.
ReducedFrame reduceAndEncode(Bitmap& source, const TGIFImage& doc, int threads, uint8_t* indexes) {
    // A reduced bitmap has a colour table of 256 entries, so its frame's codes start at 8 bits.
    constexpr int kCodeBits = 8, kColorCount = 256;
    // Codes the rows as the reduction gives them.
    struct Coder final : RowFollower {
        TLZWEncoder encoder;
        const uint8_t* indexes = nullptr;
        size_t width = 0;
        int taken = 0;
        void Take(int first, int count) override {
            encoder.AddPixels(indexes + size_t(first) * width, size_t(count) * width);
            taken = first + count;
        }
    } coder;
    coder.indexes = indexes;
    coder.width = size_t(source.width());
    MemoryStream encoded;
    coder.encoder.BeginFrame(encoded, kCodeBits, kColorCount, source.height(), source.width());
    ReductionOptions options;
    options.threads = threads;
    options.indexes = indexes;
    options.follower = &coder;
    const int height = source.height();
    ReducedFrame reduced;
    reduced.bitmap = MakePalettedBitmap(source, doc.reductionKind(), doc.ditherKind(),
                                        doc.paletteBits(), nullptr, options);
    // A reduction that stopped short leaves the frame to be made without these codes.
    if (coder.taken == height) {
        coder.encoder.EndFrame();
        reduced.imageData = EncodedImageData{encoded.takeBytes(), kCodeBits, kColorCount};
    }
    return reduced;
}

}  // namespace

void TGIFSubImage::reportProgress(TProgressStage stage, int percent) const {
    if (TGIFImage* doc = image())
        doc->Progress(stage, percent, gif_text::kConverting);
}

void TGIFSubImage::FrameFromBitmap(Bitmap& source) {
    Clear();
    if (source.empty())
        return;
    setWidth(source.width());
    setHeight(source.height());

    const TGIFImage* doc = image();
    const int threads = doc != nullptr ? resolveThreadCount(doc->threadCount()) : 1;
    // The indexes are already in place when the reduction wrote them there itself.
    bool filled = false;
    if (isPaletteFormat(source.pixelFormat())) {
        m_bitmap = source;
        m_data.assign(size_t(m_width) * size_t(m_height), 0);
    } else if (threads > 1 && doc->reductionKind() != pkTrueColor && doc->encoderKind() == ekLZW) {
        m_data.assign(size_t(m_width) * size_t(m_height), 0);
        ReducedFrame reduced = reduceAndEncode(source, *doc, threads, m_data.data());
        m_bitmap = std::move(reduced.bitmap);
        m_encoded = std::move(reduced.imageData);
        filled = true;
    } else {
        m_bitmap = reduceToPalette(source, doc, threads);
        m_data.assign(size_t(m_width) * size_t(m_height), 0);
    }

    reportProgress(psStarting, 0);
    try {
        Bitmap& rows = *m_bitmap;
        const PixelFormat format =
            isPaletteFormat(rows.pixelFormat()) ? rows.pixelFormat() : PixelFormat::Bits24;
        rows.setPixelFormat(format);
        // A reduction that gave no picture (an empty palette) has no rows to read.
        if (rows.width() < m_width || rows.height() < m_height)
            throw EInvalidGraphicOperation("Scan line index out of range");

        if (format == PixelFormat::Bits8)
            m_colorMap.ImportDIBTable(rows.colorTable());
        else if (format != PixelFormat::Bits24)
            m_colorMap.ImportPaletteEntries(rows.palette());

        if (format == PixelFormat::Bits24) {
            importTrueColorRows(rows);
        } else {
            const size_t width = m_width;
            for (int r = 0; r < m_height; ++r) {
                if (r % kProgressRows == 0)
                    reportProgress(psRunning, percentOf(r, m_height));
                const uint8_t* src = rows.scanLine(r);
                uint8_t* dst = m_data.data() + size_t(r) * width;
                if (filled) {
                    continue;
                } else if (format == PixelFormat::Bits8) {
                    std::memcpy(dst, src, width);
                } else if (format == PixelFormat::Bits4) {
                    for (size_t x = 0; x < width; ++x)
                        dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
                } else {
                    for (size_t x = 0; x < width; ++x)
                        dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
                }
            }
        }
    } catch (...) {
        reportProgress(psEnding, 0);
        throw;
    }
    reportProgress(psEnding, 100);
}

// Builds the colour map from the colours met. Neighbouring pixels mostly repeat a recent colour,
// so eight recent colours are tried before the map is searched.
void TGIFSubImage::importTrueColorRows(const Bitmap& rows) {
    struct Slot {
        uint32_t color = 0;
        uint8_t index = 0;
        bool used = false;
    };
    std::array<Slot, 8> recent{};
    int marker = 0;
    const size_t width = m_width;
    for (int r = 0; r < m_height; ++r) {
        if (r % kProgressRows == 0)
            reportProgress(psRunning, percentOf(r, m_height));
        const uint8_t* p = rows.scanLine(r);
        uint8_t* dst = m_data.data() + size_t(r) * width;
        for (size_t x = 0; x < width; ++x, p += 3) {
            // Blue in the lowest byte, as stored; the map is put right after the last row.
            const uint32_t color = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
            int slot = marker;
            bool hit = false;
            do {
                if (!recent[size_t(slot)].used)
                    break;
                if (recent[size_t(slot)].color == color) {
                    hit = true;
                    break;
                }
                slot = (slot + 7) & 7;
            } while (slot != marker);
            if (hit) {
                dst[x] = recent[size_t(slot)].index;
                marker = slot;
                continue;
            }
            const auto index = uint8_t(m_colorMap.AppendUniqueColor(color));
            dst[x] = index;
            marker = (marker + 1) & 7;
            recent[size_t(marker)] = {color, index, true};
        }
    }
    m_colorMap.swapRedBlue();
}

}  // namespace fk
