#include "png_test_util.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "base/stream.h"

namespace fk::test {

namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

std::vector<ParsedChunk> parseChunks(const std::vector<uint8_t>& file) {
    std::vector<ParsedChunk> chunks;
    size_t pos = 8;
    while (pos < file.size()) {
        if (file.size() - pos < 12) {
            ADD_FAILURE() << "truncated chunk at " << pos;
            break;
        }
        const uint32_t length = be32(&file[pos]);
        if (file.size() - pos - 12 < length) {
            ADD_FAILURE() << "chunk at " << pos << " runs past the end";
            break;
        }
        ParsedChunk c;
        c.type.assign(reinterpret_cast<const char*>(&file[pos + 4]), 4);
        c.data.assign(file.begin() + long(pos + 8), file.begin() + long(pos + 8 + length));
        c.storedCrc = be32(&file[pos + 8 + length]);
        c.zlibCrc = uint32_t(crc32(0, &file[pos + 4], uInt(length + 4)));
        chunks.push_back(std::move(c));
        pos += 12 + length;
    }
    return chunks;
}

std::vector<uint8_t> inflateImageData(const std::vector<ParsedChunk>& chunks) {
    std::vector<uint8_t> compressed;
    for (const auto& c : chunks)
        if (c.type == "IDAT")
            compressed.insert(compressed.end(), c.data.begin(), c.data.end());
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    z.next_in = compressed.data();
    z.avail_in = uInt(compressed.size());
    std::vector<uint8_t> out;
    uint8_t buffer[65536];
    int ret = Z_OK;
    while (ret == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        ret = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
    }
    EXPECT_EQ(ret, Z_STREAM_END) << "image data is no complete zlib stream";
    EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the zlib stream";
    inflateEnd(&z);
    return out;
}

std::vector<uint8_t> encode(const Bitmap& bitmap, TFilters filters, int level, int threads,
                            size_t pieceBytes) {
    TPNGObject png;
    png.SetThreadCount(threads);
    png.SetPieceBytes(pieceBytes);
    png.SetFilterSet(filters);
    png.SetDeflateLevel(uint8_t(level));
    png.Assign(bitmap);
    MemoryStream out;
    png.SaveToStream(out);
    return out.takeBytes();
}

}  // namespace fk::test
