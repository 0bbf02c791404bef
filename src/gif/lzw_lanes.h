#pragma once

// The LZW encoder's vector code, and the one place it lives; without vector registers the callers
// do the same work byte by byte.

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fk::lanes {

#if defined(__SSE2__)

// Looks from p[m] on for eight equal pixels in a row, in windows that end before p[n]: true with
// `at` the first of the first eight found; false with `m` where a search byte by byte is to go on.
inline bool findEightEqual(const uint8_t* p, size_t& m, size_t n, size_t& at) {
    // Bit k of a mask: pixel m + k equals the one after it. Seven such bits in a row start a run
    // of eight; windows ten apart find every such row of bits.
    for (; m + 17 <= n; m += 10) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m + 1));
        uint32_t x = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        x &= x >> 1;
        x &= x >> 2;
        x &= x >> 3;
        if (x != 0) {
            at = m + size_t(std::countr_zero(x));
            return true;
        }
    }
    return false;
}

#else

inline bool findEightEqual(const uint8_t*, size_t&, size_t, size_t&) {
    return false;
}

#endif

}  // namespace fk::lanes
