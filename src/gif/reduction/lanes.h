#pragma once

// The reduction's vector code, and the one place it lives: the low half of a vector register where
// the processor has one, plain integers elsewhere; both give the same numbers.
// - I4: four signed 16-bit lanes, the three channels of a pixel and a spare, for the error
//   diffusion loops; callers keep every lane within 16 bits.
// - ColourLanes and nearestOfEight: the nearest of eight palette candidates to a colour.

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
// Division by 2^Bits, truncating toward zero.
template <int Bits>
inline I4 divideTruncating(I4 a) {
    const __m128i bias = _mm_and_si128(_mm_srai_epi16(a.v, 15), _mm_set1_epi16((1 << Bits) - 1));
    return {_mm_srai_epi16(_mm_add_epi16(a.v, bias), Bits)};
}

// A colour's blue, green and red as the 16-bit lanes the nearest-colour search works on, twice,
// each followed by a 0.
struct ColourLanes {
    __m128i q;
};
// From a clamped colour's bytes in the low lanes of a vector, the spare byte 0.
inline ColourLanes colourLanesOfBytes(__m128i bytes) {
    const __m128i words = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    return {_mm_unpacklo_epi64(words, words)};
}
// From blue, green and red bytes, lowest first.
inline ColourLanes colourLanes(uint32_t bgr) {
    return colourLanesOfBytes(_mm_cvtsi32_si128(int(bgr & 0xFFFFFF)));
}
// From the channels of toClampedBytes(a).
inline ColourLanes clampedColourLanes(I4 a) {
    return colourLanesOfBytes(_mm_packus_epi16(a.v, a.v));
}

// The squared distances of the colour `q` to four candidates (blue, green, red, index bytes).
inline __m128i distances(const uint32_t* four, __m128i q) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colourOnly = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0);
    auto squares = [&](__m128i pair) {
        const __m128i d = _mm_sub_epi16(pair, q);
        return _mm_castsi128_ps(_mm_madd_epi16(d, _mm_and_si128(d, colourOnly)));
    };
    const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(four));
    const __m128 a = squares(_mm_unpacklo_epi8(x, zero));
    const __m128 b = squares(_mm_unpackhi_epi8(x, zero));
    return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
}

// The candidate of eight (blue, green, red, index bytes; 32-byte aligned) nearest to the colour:
// each squared distance goes above the candidate's place, so that the least value is the nearest
// candidate and, of equally near ones, the first.
inline uint32_t nearestOfEight(const uint32_t* entry, uint32_t, ColourLanes lanes) {
    // Distances below 4095 as 16-bit values, all eight in one register; a colour that far from
    // every candidate is looked at again in 32 bits.
    const __m128i q = lanes.q;
    __m128i d = _mm_packs_epi32(distances(entry, q), distances(entry + 4, q));
    d = _mm_min_epi16(d, _mm_set1_epi16(4095));
    __m128i key = _mm_or_si128(_mm_slli_epi16(d, 3), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7));
    key = _mm_min_epi16(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(1, 0, 3, 2)));
    key = _mm_min_epi16(key, _mm_shuffle_epi32(key, _MM_SHUFFLE(2, 3, 0, 1)));
    key = _mm_min_epi16(key, _mm_shufflelo_epi16(key, _MM_SHUFFLE(2, 3, 0, 1)));
    const int least = _mm_cvtsi128_si32(key) & 0xFFFF;
    if (least < 4095 << 3) [[likely]]
        return entry[least & 7];
    // The values stay below 2^24 and so compare exactly as floats.
    const __m128 lo = _mm_cvtepi32_ps(
        _mm_or_si128(_mm_slli_epi32(distances(entry, q), 3), _mm_setr_epi32(0, 1, 2, 3)));
    const __m128 hi = _mm_cvtepi32_ps(
        _mm_or_si128(_mm_slli_epi32(distances(entry + 4, q), 3), _mm_setr_epi32(4, 5, 6, 7)));
    __m128 m = _mm_min_ps(lo, hi);
    m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(1, 0, 3, 2)));
    m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(2, 3, 0, 1)));
    return entry[_mm_cvttss_si32(m) & 7];
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

struct ColourLanes {};
inline ColourLanes colourLanes(uint32_t) {
    return {};
}
inline ColourLanes clampedColourLanes(I4) {
    return {};
}

inline uint32_t nearestOfEight(const uint32_t* entry, uint32_t bgr, ColourLanes) {
    uint32_t best = UINT32_MAX;
    for (uint32_t k = 0; k < 8; ++k) {
        const int db = int(entry[k] & 0xFF) - int(bgr & 0xFF);
        const int dg = int((entry[k] >> 8) & 0xFF) - int((bgr >> 8) & 0xFF);
        const int dr = int((entry[k] >> 16) & 0xFF) - int((bgr >> 16) & 0xFF);
        const uint32_t key = uint32_t(dr * dr + dg * dg + db * db) << 3 | k;
        best = best < key ? best : key;
    }
    return entry[best & 7];
}

#endif

}  // namespace fk::lanes
