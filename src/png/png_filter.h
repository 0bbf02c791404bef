#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace fk {

// The five row filter types; the value is the type byte written in front of a filtered row.
enum TFilter : uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };

inline constexpr int kFilterCount = 5;

// A set of filter types, one bit each (None = bit 0).
class TFilters {
public:
    constexpr TFilters() = default;
    constexpr TFilters(std::initializer_list<TFilter> filters) {
        for (TFilter f : filters)
            m_bits = uint8_t(m_bits | (1u << f));
    }
    static constexpr TFilters all() { return {pfNone, pfSub, pfUp, pfAverage, pfPaeth}; }
    static constexpr TFilters fromBits(uint8_t bits) {
        TFilters s;
        s.m_bits = uint8_t(bits & 0x1F);
        return s;
    }

    constexpr bool contains(TFilter f) const { return (m_bits >> f) & 1u; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr int count() const {
        int n = 0;
        for (int f = 0; f < kFilterCount; ++f)
            n += (m_bits >> f) & 1;
        return n;
    }
    constexpr uint8_t bits() const { return m_bits; }
    friend constexpr bool operator==(TFilters, TFilters) = default;

private:
    uint8_t m_bits = 0;
};

namespace png {

// Filters `rowBytes` bytes of the current row `x` against the row above `b` (all zeros on the
// first row); `step` is the distance in bytes to the same byte of the pixel to the left.
void filterRow(TFilter type, const uint8_t* x, const uint8_t* b, size_t rowBytes, size_t step,
               uint8_t* out);

uint8_t paethPredictor(uint8_t a, uint8_t b, uint8_t c);

// How well a filtered row is expected to compress: the positions from the third byte on that
// repeat the byte one or two places before.
size_t scoreFilteredRow(const uint8_t* row, size_t rowBytes);

// Picks the filter of one row. `filtered[t]` is the row filtered with type t, needed only for the
// types in `set`. A set of one type always uses that type; otherwise the best-scoring type wins
// (earlier types on a tie) and a row on which nothing scores is written unfiltered.
TFilter ChooseFilter(TFilters set, const std::array<const uint8_t*, kFilterCount>& filtered,
                     size_t rowBytes);

}  // namespace png
}  // namespace fk
