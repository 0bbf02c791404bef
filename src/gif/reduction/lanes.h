#pragma once

// Four signed 16-bit lanes, the three channels of a pixel and a spare, for the error diffusion
// loops: the low half of a vector register where the processor has one, plain integers
// elsewhere. Both give the same numbers; callers keep every lane within 16 bits.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fk::lanes {

#if defined(__SSE2__)

struct I4 {
    __m128i v;
};

inline I4 zero() {
    return {_mm_setzero_si128()};
}
inline I4 splat(int16_t x) {
    return {_mm_set1_epi16(x)};
}
inline I4 load(const int16_t* p) {
    return {_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))};
}
inline void store(int16_t* p, I4 a) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), a.v);
}
inline I4 operator+(I4 a, I4 b) {
    return {_mm_add_epi16(a.v, b.v)};
}
inline I4 operator-(I4 a, I4 b) {
    return {_mm_sub_epi16(a.v, b.v)};
}
template <int Bits>
inline I4 shiftLeft(I4 a) {
    return {_mm_slli_epi16(a.v, Bits)};
}
// Four bytes, lowest first, one per lane.
inline I4 fromBytes(uint32_t bytes) {
    return {_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(bytes)), _mm_setzero_si128())};
}
// Each lane held to 0..255, as four bytes, lowest lane first.
inline uint32_t toClampedBytes(I4 a) {
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(a.v, a.v)));
}
// The same bytes in the low lanes of a vector.
inline __m128i toClampedByteLanes(I4 a) {
    return _mm_packus_epi16(a.v, a.v);
}
// Division by 2^Bits, truncating toward zero.
template <int Bits>
inline I4 divideTruncating(I4 a) {
    const __m128i bias = _mm_and_si128(_mm_srai_epi16(a.v, 15), _mm_set1_epi16((1 << Bits) - 1));
    return {_mm_srai_epi16(_mm_add_epi16(a.v, bias), Bits)};
}

#else

struct I4 {
    int16_t v[4];
};

inline I4 zero() {
    return {{0, 0, 0, 0}};
}
inline I4 splat(int16_t x) {
    return {{x, x, x, x}};
}
inline I4 load(const int16_t* p) {
    I4 a;
    std::memcpy(a.v, p, sizeof a.v);
    return a;
}
inline void store(int16_t* p, I4 a) {
    std::memcpy(p, a.v, sizeof a.v);
}
inline I4 operator+(I4 a, I4 b) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = int16_t(a.v[i] + b.v[i]);
    return a;
}
inline I4 operator-(I4 a, I4 b) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = int16_t(a.v[i] - b.v[i]);
    return a;
}
template <int Bits>
inline I4 shiftLeft(I4 a) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = int16_t(a.v[i] * (1 << Bits));
    return a;
}
inline I4 fromBytes(uint32_t bytes) {
    return {{int16_t(bytes & 0xFF), int16_t((bytes >> 8) & 0xFF), int16_t((bytes >> 16) & 0xFF),
             int16_t(bytes >> 24)}};
}
inline uint32_t toClampedBytes(I4 a) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const int x = a.v[i] < 0 ? 0 : (a.v[i] > 255 ? 255 : a.v[i]);
        out |= uint32_t(x) << (8 * i);
    }
    return out;
}
template <int Bits>
inline I4 divideTruncating(I4 a) {
    for (int i = 0; i < 4; ++i)
        a.v[i] = int16_t(a.v[i] / (1 << Bits));
    return a;
}

#endif

}  // namespace fk::lanes
