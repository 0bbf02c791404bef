// The image data on several threads: the filtered scanlines, taken as one run of bytes, are cut
// into pieces that workers filter and deflate on their own; the pieces are joined in order.
#include <algorithm>
#include <chrono>
#include <optional>

#include "base/stream.h"
#include "base/threads.h"
#include "png/png_deflate.h"
#include "png/png_idat_chunks.h"
#include "png/png_image.h"
#include "png/png_scanlines.h"

namespace fk::png {

namespace {

// How far back deflate may refer: each piece sees this much of the data before it.
constexpr size_t kWindow = 32 * 1024;

struct Piece {
    std::vector<uint8_t> bytes;  // deflate data ending on a byte boundary
    uLong adler = 0;             // of the piece's uncompressed bytes
    size_t length = 0;           // uncompressed
};

// What one worker keeps from piece to piece.
struct PieceWorker {
    std::optional<ScanlineFilter> rows;
    std::optional<DeflateStream> deflate;
    std::vector<uint8_t> input;
};

Piece makePiece(const TPNGObject& image, size_t first, size_t end, bool last, PieceWorker& w) {
    if (!w.rows)
        w.rows.emplace(image.Header(), image.FilterSet());
    if (!w.deflate)
        w.deflate.emplace(image.DeflateLevel(), DeflateStream::Kind::Raw);
    else
        w.deflate->reset();

    // The rows that hold the piece and the window before it.
    const size_t line = w.rows->lineBytes();
    const size_t from = first > kWindow ? first - kWindow : 0;
    const int top = int(from / line);
    const int bottom = int((end + line - 1) / line);
    w.input.resize(size_t(bottom - top) * line);
    w.rows->filter(top, bottom, w.input.data());
    const uint8_t* seen = w.input.data() + (from - size_t(top) * line);
    if (first > from)
        w.deflate->setDictionary(seen, first - from);

    Piece piece;
    piece.length = end - first;
    const uint8_t* data = seen + (first - from);
    piece.adler = adler32(adler32(0, nullptr, 0), data, uInt(piece.length));
    piece.bytes.resize(w.deflate->bound(piece.length) + 16);
    z_stream& z = w.deflate->z();
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(piece.length);
    size_t done = 0;
    // A full flush would also forget the window, which the next piece never sees anyway.
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        z.next_out = piece.bytes.data() + done;
        z.avail_out = uInt(piece.bytes.size() - done);
        const int ret = w.deflate->run(flush);
        done = piece.bytes.size() - z.avail_out;
        if (last ? ret == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0))
            break;
        piece.bytes.resize(piece.bytes.size() * 2);
    }
    piece.bytes.resize(done);
    return piece;
}

}  // namespace

void writePieces(Stream& out, const TPNGObject& image, int threads) {
    const TChunkIHDR& header = image.Header();
    const size_t total = size_t(header.Height()) * (header.RowBytes() + 1);
    const size_t size = image.PieceBytes();
    const int count = int((total + size - 1) / size);

    IdatChunks chunks(out, size_t(image.IdatLimit()), total + 64);
    const uint16_t head = zlibHeader(image.DeflateLevel());
    const uint8_t headBytes[2] = {uint8_t(head >> 8), uint8_t(head)};
    chunks.append(headBytes, 2);

    OrderedWorkers<Piece, PieceWorker> workers(
        std::min(threads, count), 2 * threads, [&](int index, PieceWorker& w) {
            const size_t first = size_t(index) * size;
            return makePiece(image, first, std::min(total, first + size), index == count - 1, w);
        });
    workers.end(count);
    uLong adler = adler32(0, nullptr, 0);
    for (int i = 0; i < count; ++i) {
        std::optional<Piece> piece = workers.take(i, std::chrono::seconds(1), {});
        chunks.append(piece->bytes.data(), piece->bytes.size());
        adler = adler32_combine(adler, piece->adler, z_off_t(piece->length));
    }
    uint8_t trailer[4];
    putU32be(trailer, uint32_t(adler));
    chunks.append(trailer, 4);
    chunks.finish();
}

}  // namespace fk::png
