#include "png/png_crc.h"

#include <array>

#include "png/png_constants.h"

namespace fk::png {

namespace {

std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// Built on first use; a function-local static is safe should a second thread ever save.
const std::array<uint32_t, 256>& table() {
    static const std::array<uint32_t, 256> t = makeTable();
    return t;
}

}  // namespace

uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t n) {
    const auto& t = table();
    for (size_t i = 0; i < n; ++i) crc = t[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace fk::png
