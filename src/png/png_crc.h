#pragma once

#include <cstddef>
#include <cstdint>

namespace fk::png {

// Running CRC-32 of the format: start from kCrcStart, feed the chunk's name and data, then
// finish with crcFinish.
inline constexpr uint32_t kCrcStart = 0xFFFFFFFFu;
uint32_t crcUpdate(uint32_t crc, const uint8_t* data, size_t n);
inline uint32_t crcFinish(uint32_t crc) {
    return crc ^ 0xFFFFFFFFu;
}

// The CRC of one block on its own.
inline uint32_t crc(const uint8_t* data, size_t n) {
    return crcFinish(crcUpdate(kCrcStart, data, n));
}

}  // namespace fk::png
