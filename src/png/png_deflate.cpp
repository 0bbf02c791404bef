#include "png/png_deflate.h"

#include <string>

#include "png/png_errors.h"

namespace fk::png {

DeflateStream::DeflateStream(int level, Kind kind) {
    const int ret =
        deflateInit2(&m_z, level, Z_DEFLATED, kind == Kind::Zlib ? 15 : -15, 8, Z_DEFAULT_STRATEGY);
    if (ret != Z_OK)
        throw EPngError(formatMessage("Cannot start compressing the image data at level %d: %s.",
                                      {std::to_string(level), zError(ret)}));
}

int DeflateStream::run(int flush) {
    const int ret = deflate(&m_z, flush);
    if (ret != Z_OK && ret != Z_STREAM_END)
        fail(ret);
    return ret;
}

void DeflateStream::reset() {
    const int ret = deflateReset(&m_z);
    if (ret != Z_OK)
        fail(ret);
}

void DeflateStream::setDictionary(const uint8_t* data, size_t n) {
    const int ret = deflateSetDictionary(&m_z, data, uInt(n));
    if (ret != Z_OK)
        fail(ret);
}

void DeflateStream::fail(int ret) {
    throw EPngError(
        formatMessage("Cannot compress the image data: %s.", {m_z.msg ? m_z.msg : zError(ret)}));
}

uint16_t zlibHeader(int level) {
    // Deflate with a 32 KB window, and zlib's level flags: 0 fastest .. 3 slowest.
    const unsigned method = 0x78;
    const unsigned flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = method << 8 | flags << 6;
    header += 31 - header % 31;
    return uint16_t(header);
}

}  // namespace fk::png
