#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "base/stream.h"
#include "png/png_crc.h"
#include "png/png_image.h"

namespace fk {

namespace {

// Filtered rows are handed to zlib in batches of about this many bytes: few calls, each with
// enough input to keep deflate busy.
constexpr size_t kBatchBytes = 32 * 1024;
constexpr size_t kChunkHead = 8;  // length and type
constexpr size_t kChunkTail = 4;  // CRC

void putU32be(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Deflates straight into the data area of one chunk buffer, which has room for the chunk's
// length, type and CRC around it; a full buffer is framed in place and written as one "IDAT".
class IdatWriter {
public:
    IdatWriter(Stream& out, int level, size_t limit, uint64_t totalInput)
        : m_out(out), m_limit(limit) {
        const int ret = deflateInit(&m_z, level);
        if (ret != Z_OK)
            throw EPngError(
                formatMessage("Cannot start compressing the image data at level %d: %s.",
                              {std::to_string(level), zError(ret)}));
        m_open = true;
        // A picture whose whole output fits in fewer bytes needs no buffer of the full limit.
        m_capacity = std::min<uint64_t>(m_limit, deflateBound(&m_z, uLong(totalInput)));
        m_buffer.resize(kChunkHead + m_capacity + kChunkTail);
        std::memcpy(m_buffer.data() + 4, "IDAT", 4);
        resetOutput();
    }
    ~IdatWriter() {
        if (m_open)
            deflateEnd(&m_z);
    }
    IdatWriter(const IdatWriter&) = delete;
    IdatWriter& operator=(const IdatWriter&) = delete;

    void write(const uint8_t* data, size_t n) {
        while (n > 0) {
            const size_t piece = std::min<size_t>(n, UINT_MAX);
            m_z.next_in = const_cast<Bytef*>(data);
            m_z.avail_in = uInt(piece);
            while (m_z.avail_in > 0) {
                if (m_z.avail_out == 0)
                    makeRoom();
                // With input and output room deflate always progresses; anything but Z_OK is a
                // fault.
                const int ret = deflate(&m_z, Z_NO_FLUSH);
                if (ret != Z_OK)
                    fail(ret);
            }
            data += piece;
            n -= piece;
        }
    }

    void finish() {
        for (;;) {
            if (m_z.avail_out == 0)
                makeRoom();
            const int ret = deflate(&m_z, Z_FINISH);
            if (ret == Z_STREAM_END)
                break;
            if (ret != Z_OK)
                fail(ret);
        }
        if (used() > 0)
            emitChunk();
    }

private:
    size_t used() const { return m_capacity - m_z.avail_out; }

    void resetOutput() {
        m_z.next_out = m_buffer.data() + kChunkHead;
        m_z.avail_out = uInt(m_capacity);
    }

    void makeRoom() {
        if (m_capacity < m_limit) {
            // deflateBound was too small after all: widen the buffer to the full limit.
            const size_t done = used();
            m_capacity = m_limit;
            m_buffer.resize(kChunkHead + m_capacity + kChunkTail);
            m_z.next_out = m_buffer.data() + kChunkHead + done;
            m_z.avail_out = uInt(m_capacity - done);
            return;
        }
        emitChunk();
        resetOutput();
    }

    void emitChunk() {
        const size_t n = used();
        uint8_t* p = m_buffer.data();
        putU32be(p, uint32_t(n));
        putU32be(p + kChunkHead + n, png::crc(p + 4, 4 + n));
        m_out.write(p, kChunkHead + n + kChunkTail);
    }

    [[noreturn]] void fail(int ret) {
        throw EPngError(formatMessage("Cannot compress the image data: %s.",
                                      {m_z.msg ? m_z.msg : zError(ret)}));
    }

    Stream& m_out;
    z_stream m_z{};
    bool m_open = false;
    size_t m_limit;
    size_t m_capacity = 0;
    std::vector<uint8_t> m_buffer;
};

// One scanline from a stored truecolour row: blue, green, red becomes red, green, blue.
void buildTruecolorRow(const uint8_t* stored, size_t rowBytes, uint8_t* out) {
    for (size_t i = 0; i < rowBytes; i += 3) {
        out[i] = stored[i + 2];
        out[i + 1] = stored[i + 1];
        out[i + 2] = stored[i];
    }
}

// The default case in one pass: a stored truecolour row reordered and Sub-filtered straight into
// the buffer deflate reads.
void subFilterTruecolorRow(const uint8_t* stored, size_t rowBytes, uint8_t* out) {
    uint8_t red = 0, green = 0, blue = 0;
    for (size_t i = 0; i < rowBytes; i += 3) {
        out[i] = uint8_t(stored[i + 2] - red);
        out[i + 1] = uint8_t(stored[i + 1] - green);
        out[i + 2] = uint8_t(stored[i] - blue);
        red = stored[i + 2];
        green = stored[i + 1];
        blue = stored[i];
    }
}

}  // namespace

void TChunkIDAT::SaveToStream(Stream& out) {
    const TChunkIHDR& header = Owner().Header();
    const Bitmap& image = header.ImageData();
    const size_t rowBytes = header.RowBytes();
    const size_t step = header.PixelStep();
    const size_t line = rowBytes + 1;  // filter type and row
    const int height = header.Height();
    const bool truecolor = header.ColorType() == png::kColorTypeTruecolor;

    const TFilters set = Owner().FilterSet();
    const bool single = set.count() <= 1;
    TFilter fixed = pfNone;
    for (int t = 0; t < kFilterCount; ++t)
        if (single && set.contains(TFilter(t)))
            fixed = TFilter(t);

    // The rows above start as zeros. Palette rows are filtered where they are stored; truecolour
    // rows are reordered into two alternating buffers, the current and the previous row.
    const bool fusedSub = truecolor && single && fixed == pfSub;
    const std::vector<uint8_t> zeros(rowBytes, 0);
    std::array<std::vector<uint8_t>, 2> reordered;
    if (truecolor && !fusedSub)
        for (auto& r : reordered)
            r.resize(rowBytes);
    std::array<std::vector<uint8_t>, kFilterCount> filtered;
    if (!single)
        for (int t = pfSub; t < kFilterCount; ++t)
            if (set.contains(TFilter(t)))
                filtered[size_t(t)].resize(rowBytes);

    const size_t batchRows = std::clamp<size_t>(kBatchBytes / line, 1, size_t(height));
    std::vector<uint8_t> batch(batchRows * line);
    size_t used = 0;

    IdatWriter writer(out, Owner().DeflateLevel(), size_t(Owner().IdatLimit()),
                      uint64_t(height) * line);
    const uint8_t* above = zeros.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = image.scanLine(y);
        uint8_t* slot = batch.data() + used;
        if (fusedSub) {
            slot[0] = pfSub;  // Sub needs no row above, so none is kept
            subFilterTruecolorRow(row, rowBytes, slot + 1);
        } else {
            if (truecolor) {
                uint8_t* current = reordered[size_t(y & 1)].data();
                buildTruecolorRow(row, rowBytes, current);
                row = current;
            }
            if (single) {
                slot[0] = fixed;
                png::filterRow(fixed, row, above, rowBytes, step, slot + 1);
            } else {
                std::array<const uint8_t*, kFilterCount> candidates{row};
                for (int t = pfSub; t < kFilterCount; ++t) {
                    if (filtered[size_t(t)].empty())
                        continue;
                    png::filterRow(TFilter(t), row, above, rowBytes, step,
                                   filtered[size_t(t)].data());
                    candidates[size_t(t)] = filtered[size_t(t)].data();
                }
                const TFilter chosen = png::ChooseFilter(set, candidates, rowBytes);
                slot[0] = chosen;
                std::memcpy(slot + 1, candidates[chosen], rowBytes);
            }
            above = row;
        }
        used += line;
        if (used + line > batch.size()) {
            writer.write(batch.data(), used);
            used = 0;
        }
    }
    if (used > 0)
        writer.write(batch.data(), used);
    writer.finish();
}

}  // namespace fk
