#pragma once

#include <cstdint>
#include <vector>

namespace fk {

// A frame's image data (code size byte, sub-blocks, terminator) as the LZW encoder writes it for
// the frame's pixels in row order, coded while the colour reduction made them; with the code
// size and colour count it was coded for, which the writer's must match for it to be used.
struct EncodedImageData {
    std::vector<uint8_t> bytes;
    int codeBits = 0;
    int colorCount = 0;

    bool codedFor(int bits, int colors) const { return codeBits == bits && colorCount == colors; }
};

}  // namespace fk
