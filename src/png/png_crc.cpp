#include "png/png_crc.h"

#include <array>

#include "png/png_constants.h"

namespace fk::png {

namespace {

// tables[0] is the usual byte-at-a-time table; tables[k] advances a byte's CRC over k more zero
// bytes, which lets the loop below take eight bytes per step. The image data is nearly all of
// the checked bytes, and one lookup per byte would cost a visible share of the save.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

Tables makeTables() {
    Tables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? kCrcPolynomial ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (uint32_t n = 0; n < 256; ++n)
            t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

// Built on first use; a function-local static is safe should a second thread ever save.
const Tables& tables() {
    static const Tables t = makeTables();
    return t;
}

uint32_t load32le(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t n) {
    const Tables& t = tables();
    for (; n >= 8; n -= 8, data += 8) {
        const uint32_t lo = load32le(data) ^ crc;
        const uint32_t hi = load32le(data + 4);
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; n > 0; --n, ++data)
        crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace fk::png
