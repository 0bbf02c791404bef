#pragma once

#include <array>
#include <cstdint>

namespace fk {

// The string table's hash is (key XOR key / 16) mod 8009 with key = prefix * 256 + pixel. That
// XOR is the prefix's bits above the low byte plus a low byte made of the pixel and the
// prefix's lowest four bits; entry p holds the remainder of the first part for prefix p.
constexpr std::array<uint16_t, 4096> makeLzwPrefixHashes() {
    std::array<uint16_t, 4096> t{};
    for (uint32_t prefix = 0; prefix < 4096; ++prefix)
        t[prefix] = uint16_t((((prefix << 8) ^ (prefix << 4)) & ~0xFFu) % 8009);
    return t;
}
inline constexpr std::array<uint16_t, 4096> kLzwPrefixHash = makeLzwPrefixHashes();

}  // namespace fk
