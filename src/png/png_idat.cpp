#include <zlib.h>

#include <algorithm>
#include <climits>

#include "base/stream.h"
#include "base/threads.h"
#include "png/png_deflate.h"
#include "png/png_idat_chunks.h"
#include "png/png_image.h"
#include "png/png_scanlines.h"

namespace fk {

namespace {

// Filtered rows are handed to zlib in batches of about this many bytes: few calls, each with
// enough input to keep deflate busy.
constexpr size_t kBatchBytes = 32 * 1024;

// One zlib stream deflated straight into the chunk buffer.
class IdatWriter {
public:
    IdatWriter(Stream& out, int level, size_t limit, uint64_t totalInput)
        : m_deflate(level, png::DeflateStream::Kind::Zlib),
          m_chunks(out, limit, m_deflate.bound(totalInput)) {}

    void write(const uint8_t* data, size_t n) {
        while (n > 0) {
            const size_t piece = std::min<size_t>(n, UINT_MAX);
            z_stream& z = m_deflate.z();
            z.next_in = const_cast<Bytef*>(data);
            z.avail_in = uInt(piece);
            while (z.avail_in > 0)
                step(Z_NO_FLUSH);
            data += piece;
            n -= piece;
        }
    }

    void finish() {
        while (step(Z_FINISH) != Z_STREAM_END) {
        }
        m_chunks.finish();
    }

private:
    int step(int flush) {
        m_chunks.makeRoom();
        z_stream& z = m_deflate.z();
        z.next_out = m_chunks.space();
        z.avail_out = uInt(std::min<size_t>(m_chunks.room(), UINT_MAX));
        const uInt before = z.avail_out;
        const int ret = m_deflate.run(flush);
        m_chunks.advance(before - z.avail_out);
        return ret;
    }

    png::DeflateStream m_deflate;
    png::IdatChunks m_chunks;
};

// The reference path: the rows filtered and deflated in one pass from the top.
void writeOneStream(Stream& out, const TPNGObject& owner, png::ScanlineFilter& rows) {
    const size_t line = rows.lineBytes();
    const int height = rows.rows();
    const int batchRows = int(std::clamp<size_t>(kBatchBytes / line, 1, size_t(height)));
    std::vector<uint8_t> batch(size_t(batchRows) * line);
    IdatWriter writer(out, owner.DeflateLevel(), size_t(owner.IdatLimit()),
                      uint64_t(height) * line);
    for (int y = 0; y < height; y += batchRows) {
        const int last = std::min(height, y + batchRows);
        rows.filter(y, last, batch.data());
        writer.write(batch.data(), size_t(last - y) * line);
    }
    writer.finish();
}

}  // namespace

void TChunkIDAT::SaveToStream(Stream& out) {
    const TPNGObject& owner = Owner();
    png::ScanlineFilter rows(owner.Header(), owner.FilterSet());
    const uint64_t total = uint64_t(rows.rows()) * rows.lineBytes();
    const int threads = resolveThreadCount(owner.ThreadCount());
    if (threads > 1 && total > owner.PieceBytes()) {
        png::writePieces(out, owner, threads);
        return;
    }
    writeOneStream(out, owner, rows);
}

}  // namespace fk
