#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>

namespace fk::png {

// A deflate stream at the image's level, window bits 15, memory level 8, default strategy; zlib
// errors end the save with EPngError.
class DeflateStream {
public:
    enum class Kind { Zlib, Raw };  // with the 2-byte header and Adler-32, or bare deflate data

    DeflateStream(int level, Kind kind);
    ~DeflateStream() { deflateEnd(&m_z); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    z_stream& z() { return m_z; }
    // Calls deflate once; returns Z_OK or Z_STREAM_END, throws on anything else.
    int run(int flush);
    size_t bound(uint64_t input) { return deflateBound(&m_z, uLong(input)); }
    void reset();
    // The bytes that the data to come may refer back to.
    void setDictionary(const uint8_t* data, size_t n);

private:
    [[noreturn]] void fail(int ret);

    z_stream m_z{};
};

// The 2-byte zlib header that zlib writes for a stream at `level` (78 DA at level 7).
uint16_t zlibHeader(int level);

}  // namespace fk::png

namespace fk {

class Stream;
class TPNGObject;

namespace png {

// The image data deflated in pieces on `threads` worker threads and joined into one zlib stream,
// cut into chunks as one pass would cut it. Each piece is primed with the 32 KB before it and
// ends on a byte boundary; the Adler-32 is combined from the pieces'. The compressed bytes
// differ from one pass's, the inflated bytes do not.
void writePieces(Stream& out, const TPNGObject& image, int threads);

}  // namespace png
}  // namespace fk
