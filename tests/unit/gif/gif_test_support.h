#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif_image.h"
#include "support/test_support.h"

namespace fk::test {

std::vector<uint8_t> saveToBytes(TGIFImage& doc);

// Appends a frame holding `pixels` (top row first) with `map` as its local colour map.
TGIFSubImage& addIndexedFrame(TGIFImage& doc, int width, int height,
                              const std::vector<uint8_t>& pixels, const std::vector<Color>& map);
std::vector<uint8_t> randomIndexes(size_t count, int colors, uint32_t seed);
std::vector<Color> randomColors(int count, uint32_t seed);

// The image data of one frame as a plain GIF decoder reads it, with the codes it met.
struct LzwTrace {
    int codeSize = 0;
    std::vector<uint8_t> pixels;
    struct Code {
        int code;
        int width;
        int tableNext;  // the decoder's next free code when this code was read
    };
    std::vector<Code> codes;
    std::vector<size_t> blockSizes;
    size_t bytesUsed = 0;  // code size byte, sub-blocks and terminator
};
// Fails the current test on malformed data.
LzwTrace traceImageData(const uint8_t* data, size_t size);

// Every frame as Pillow decodes it, as stored.
inline std::vector<PillowFrame> decodeGifWithPillow(const std::string& path) {
    return dumpWithPillow(path, PillowView::Stored);
}

// The colour indexes of every frame in file order, as giflib's giftext dumps them.
std::vector<uint8_t> giflibRawIndexes(const std::string& path);

}  // namespace fk::test
