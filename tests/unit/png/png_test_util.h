#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "png/png_image.h"

namespace fk::test {

struct ParsedChunk {
    std::string type;
    std::vector<uint8_t> data;
    uint32_t storedCrc = 0;
    uint32_t zlibCrc = 0;  // computed by zlib over type and data, for comparison
};

// Splits a PNG file after its signature into chunks; fails the test on a malformed frame.
std::vector<ParsedChunk> parseChunks(const std::vector<uint8_t>& file);
// The concatenated data of every "IDAT" chunk, inflated by zlib.
std::vector<uint8_t> inflateImageData(const std::vector<ParsedChunk>& chunks);

// The file of `bitmap`; with `threads` above 1 its image data is deflated in pieces of
// `pieceBytes`.
std::vector<uint8_t> encode(const Bitmap& bitmap, TFilters filters = {pfSub}, int level = 7,
                            int threads = 1, size_t pieceBytes = png::kDefaultPieceBytes);

}  // namespace fk::test
