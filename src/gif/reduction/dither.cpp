#include "gif/reduction/dither.h"

#include <algorithm>
#include <typeinfo>

#include "gif/reduction/lanes.h"

namespace fk {

namespace {

inline uint8_t clampByte(int v) {
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Walks the rest of the current row in the engine's direction; `map` maps one pixel.
template <class Engine, class Map>
inline void walkRow(const Engine& engine, const uint8_t* bgr, uint8_t* indexes, Map&& map) {
    const int width = engine.RowWidth();
    for (int col = engine.Col(); col >= 0 && col < width; col = engine.Col()) {
        const uint8_t* p = bgr + 3 * size_t(col);
        indexes[col] = map(p[2], p[1], p[0]);
    }
}

}  // namespace

// --- plain matching ---

TDitherEngine::TDitherEngine(int rowWidth, TColorLookup& matcher)
    : FMatcher(&matcher), FRowWidth(rowWidth) {}

uint8_t TDitherEngine::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                uint8_t& outGreen, uint8_t& outBlue) {
    const uint8_t index = FMatcher->MatchColor(red, green, blue, outRed, outGreen, outBlue);
    FCol += FStep;
    return index;
}

void TDitherEngine::EndRow() {
    FStep = -FStep;
    FCol = FStep == 1 ? 0 : FRowWidth - 1;
}

void TDitherEngine::MapRow(const uint8_t* bgr, uint8_t* indexes) {
    if (typeid(*this) != typeid(TDitherEngine)) {
        uint8_t r, g, b;
        walkRow(*this, bgr, indexes, [&](uint8_t red, uint8_t green, uint8_t blue) {
            return MapPixel(red, green, blue, r, g, b);
        });
        return;
    }
    // Plain matching carries nothing from pixel to pixel, so the remaining run can be matched in
    // one batch whatever the direction.
    if (FCol < 0 || FCol >= FRowWidth)
        return;
    const int first = FStep > 0 ? FCol : 0;
    const int last = FStep > 0 ? FRowWidth - 1 : FCol;
    FMatcher->MatchPixels(bgr + 3 * size_t(first), indexes + first, last - first + 1);
    FCol = FStep > 0 ? FRowWidth : -1;
}

// --- error diffusion ---

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
inline int ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::Scaled(int32_t slot) const {
    if constexpr (WeightSum > 0)
        return (slot + WeightSum / 2) / WeightSum;
    else
        return (slot + FWeightSum / 2) / FWeightSum;
}

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::ErrorDiffusion(int rowWidth,
                                                                    TColorLookup& matcher,
                                                                    int weightSum)
    : TDitherEngine(rowWidth, matcher), FWeightSum(weightSum) {
    for (auto& row : m_rows)
        row.assign(kLanes * (size_t(std::max(rowWidth, 0)) + 2 * Margin), 0);
}

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
template <class Matcher>
inline uint8_t ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::Diffuse(
    Matcher& matcher, uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
    uint8_t& outBlue) {
    const size_t at = kLanes * size_t(m_slot);
    const Slot* carried = m_rows[0].data() + at;
    const uint8_t vb = clampByte(blue + Scaled(carried[0]));
    const uint8_t vg = clampByte(green + Scaled(carried[1]));
    const uint8_t vr = clampByte(red + Scaled(carried[2]));
    const uint8_t index = matcher.MatchColor(vr, vg, vb, outRed, outGreen, outBlue);
    FCol += FStep;

    const int errors[3] = {vb - outBlue, vg - outGreen, vr - outRed};
    Slot* rows[Rows];
    for (int k = 0; k < Rows; ++k)
        rows[k] = m_rows[k].data() + at;
    static_cast<Self*>(this)->Spread(rows, int(kLanes) * FStep, errors);
    m_slot += FStep;
    return index;
}

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
uint8_t ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::MapPixel(uint8_t red, uint8_t green,
                                                                      uint8_t blue, uint8_t& outRed,
                                                                      uint8_t& outGreen,
                                                                      uint8_t& outBlue) {
    return Diffuse(*FMatcher, red, green, blue, outRed, outGreen, outBlue);
}

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
void ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::EndRow() {
    std::fill(m_rows[0].begin(), m_rows[0].end(), 0);
    std::rotate(m_rows.begin(), m_rows.begin() + 1, m_rows.end());
    TDitherEngine::EndRow();
    m_slot = FStep == 1 ? Margin : Margin + FRowWidth - 1;
}

template <class Self, int Rows, int Margin, int WeightSum, class Slot>
void ErrorDiffusion<Self, Rows, Margin, WeightSum, Slot>::MapRow(const uint8_t* bgr,
                                                                 uint8_t* indexes) {
    uint8_t r, g, b;
    // The usual matcher is called directly rather than through its virtual entry.
    if (auto* slow = dynamic_cast<TSlowColorLookup*>(FMatcher)) {
        walkRow(*this, bgr, indexes, [&](uint8_t red, uint8_t green, uint8_t blue) {
            return Diffuse(*slow, red, green, blue, r, g, b);
        });
    } else {
        walkRow(*this, bgr, indexes, [&](uint8_t red, uint8_t green, uint8_t blue) {
            return Diffuse(*FMatcher, red, green, blue, r, g, b);
        });
    }
}

TBurkesDitherer::TBurkesDitherer(int rowWidth, TColorLookup& matcher)
    : ErrorDiffusion(rowWidth, matcher, 32) {}

template <int PixelBytes>
void TBurkesDitherer::Walk(const uint8_t* pixels, uint8_t* indexes) {
    if (auto* slow = dynamic_cast<TSlowColorLookup*>(FMatcher))
        WalkRow<PixelBytes>(*slow, pixels, indexes);
    else
        WalkRow<PixelBytes>(*FMatcher, pixels, indexes);
}

void TBurkesDitherer::MapRow(const uint8_t* bgr, uint8_t* indexes) {
    Walk<3>(bgr, indexes);
}

void TBurkesDitherer::MapRow32(const uint8_t* bgrx, uint8_t* indexes) {
    Walk<4>(bgrx, indexes);
}

namespace {

// The chosen entry for a colour given as blue, green and red bytes, lowest first; the entry as
// four bytes: blue, green, red and index.
inline uint32_t matchPacked(TSlowColorLookup& matcher, uint32_t bgr, ColourLanes lanes) {
    return matcher.NearestPacked(bgr, lanes);
}
inline uint32_t matchPacked(TColorLookup& matcher, uint32_t bgr, ColourLanes) {
    uint8_t r, g, b;
    const uint8_t index =
        matcher.MatchColor(uint8_t(bgr >> 16), uint8_t(bgr >> 8), uint8_t(bgr), r, g, b);
    return uint32_t(b) | uint32_t(g) << 8 | uint32_t(r) << 16 | uint32_t(index) << 24;
}

}  // namespace

// Pixel i adds 8e and 4e to the two slots ahead on its row: those shares wait in `owed` until
// their slot is read. It adds 2e, 4e, 8e, 4e, 2e to the five slots around it on the next row:
// the slot two behind gets the last of its five shares from pixel i, so it is written then, in
// one step, from the errors of pixels i - 4 to i. Shares of pixels mapped before the walk began
// are in the rows already. The three channels go through the lanes together.
template <int PixelBytes, class Matcher>
void TBurkesDitherer::WalkRow(Matcher& matcher, const uint8_t* pixels, uint8_t* indexes) {
    using namespace lanes;
    if (FCol < 0 || FCol >= FRowWidth)
        return;
    const int d = FStep;
    const ptrdiff_t step = ptrdiff_t(kLanes) * d;
    int16_t* cur = m_rows[0].data() + ptrdiff_t(kLanes) * m_slot;
    int16_t* below = cur - m_rows[0].data() + m_rows[1].data() - 2 * step;
    I4 owed = zero(), owedNext = zero();
    I4 e1 = zero(), e2 = zero(), e3 = zero(), e4 = zero();
    const I4 half = splat(16);
    int col = FCol;
    const int end = d > 0 ? FRowWidth : -1;
    for (; col != end; col += d, cur += step, below += step) {
        const uint8_t* p = pixels + PixelBytes * size_t(col);
        const I4 pixel = fromBytes(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
        const I4 adjusted = pixel + divideTruncating<5>(owed + (load(cur) + half));
        const uint32_t v = toClampedBytes(adjusted);
        const ColourLanes vLanes = clampedColourLanes(adjusted);
        const uint32_t chosen = matchPacked(matcher, v, vLanes);
        indexes[col] = uint8_t(chosen >> 24);
        const I4 e = fromBytes(v) - fromBytes(chosen & 0xFFFFFF);
        owed = owedNext + shiftLeft<3>(e);
        owedNext = shiftLeft<2>(e);
        store(below, load(below) + shiftLeft<1>(e + e4) + shiftLeft<2>(e1 + e3) + shiftLeft<3>(e2));
        e4 = e3, e3 = e2, e2 = e1, e1 = e;
    }
    // The last pixels' shares beyond the walk: the next row's four pending slots (the last two
    // of them margins) and this row's two margin slots.
    for (int k = 0; k < 4; ++k, below += step) {
        store(below, load(below) + shiftLeft<2>(e1 + e3) + shiftLeft<3>(e2) + shiftLeft<1>(e4));
        e4 = e3, e3 = e2, e2 = e1, e1 = zero();
    }
    store(cur, load(cur) + owed);
    store(cur + step, load(cur + step) + owedNext);
    m_slot += (col - FCol);
    FCol = col;
}

T5by3Ditherer::T5by3Ditherer(int rowWidth, TColorLookup& matcher, int weightSum)
    : ErrorDiffusion(rowWidth, matcher, weightSum) {}

void TStuckiDitherer::SpreadError(int32_t* const* at, int d, int e) {
    at[0][d] += 8 * e;
    at[0][2 * d] += 4 * e;
    at[1][-2 * d] += 2 * e;
    at[1][-d] += 4 * e;
    at[1][0] += 8 * e;
    at[1][d] += 4 * e;
    at[1][2 * d] += 2 * e;
    at[2][-2 * d] += e;
    at[2][-d] += 2 * e;
    at[2][0] += 4 * e;
    at[2][d] += 2 * e;
    at[2][2 * d] += e;
}

void TSierraDitherer::SpreadError(int32_t* const* at, int d, int e) {
    at[0][d] += 5 * e;
    at[0][2 * d] += 3 * e;
    at[1][-2 * d] += 2 * e;
    at[1][-d] += 4 * e;
    at[1][0] += 5 * e;
    at[1][d] += 4 * e;
    at[1][2 * d] += 2 * e;
    at[2][-d] += 2 * e;
    at[2][0] += 3 * e;
    at[2][d] += 2 * e;
}

void TJaJuNiDitherer::SpreadError(int32_t* const* at, int d, int e) {
    at[0][d] += 7 * e;
    at[0][2 * d] += 5 * e;
    at[1][-2 * d] += 3 * e;
    at[1][-d] += 5 * e;
    at[1][0] += 7 * e;
    at[1][d] += 5 * e;
    at[1][2 * d] += 3 * e;
    at[2][-2 * d] += e;
    at[2][-d] += 3 * e;
    at[2][0] += 5 * e;
    at[2][d] += 3 * e;
    at[2][2 * d] += e;
}

TSteveArcheDitherer::TSteveArcheDitherer(int rowWidth, TColorLookup& matcher)
    : ErrorDiffusion(rowWidth, matcher, 200) {}

void TSteveArcheDitherer::Spread(int32_t* const* at, int d, const int* e) {
    for (int c = 0; c < 3; ++c) {
        at[0][2 * d + c] += 32 * e[c];
        at[1][-3 * d + c] += 12 * e[c];
        at[1][-d + c] += 26 * e[c];
        at[1][d + c] += 30 * e[c];
        at[1][3 * d + c] += 16 * e[c];
        at[2][-2 * d + c] += 12 * e[c];
        at[2][c] += 26 * e[c];
        at[2][2 * d + c] += 12 * e[c];
        at[3][-3 * d + c] += 5 * e[c];
        at[3][-d + c] += 12 * e[c];
        at[3][d + c] += 12 * e[c];
        at[3][3 * d + c] += 5 * e[c];
    }
}

template class ErrorDiffusion<TBurkesDitherer, 2, 2, 32, int16_t>;
template class ErrorDiffusion<T5by3Ditherer, 3, 2>;
template class ErrorDiffusion<TSteveArcheDitherer, 4, 3, 200>;

// --- Floyd-Steinberg ---

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int rowWidth, TColorLookup& matcher)
    : TDitherEngine(rowWidth, matcher), m_row(3 * (size_t(std::max(rowWidth, 0)) + 2), 0) {}

template <class Matcher>
inline uint8_t TFloydSteinbergDitherer::Diffuse(Matcher& matcher, uint8_t red, uint8_t green,
                                                uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                                                uint8_t& outBlue) {
    int32_t* here = m_row.data() + 3 * size_t(m_slot);
    const int d = 3 * FStep;
    const uint8_t in[3] = {red, green, blue};
    uint8_t v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = clampByte(in[c] + (here[c] + m_carry[c] + 8) / 16);
    const uint8_t index = matcher.MatchColor(v[0], v[1], v[2], outRed, outGreen, outBlue);
    FCol += FStep;

    const uint8_t out[3] = {outRed, outGreen, outBlue};
    for (int c = 0; c < 3; ++c) {
        const int e = v[c] - out[c];
        // The slot has been read: from now on it collects for the next row.
        here[c] = 5 * e + m_ahead[c];
        here[c - d] += 3 * e;
        m_ahead[c] = e;
        m_carry[c] = 7 * e;
    }
    m_slot += FStep;
    return index;
}

uint8_t TFloydSteinbergDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                                          uint8_t& outGreen, uint8_t& outBlue) {
    return Diffuse(*FMatcher, red, green, blue, outRed, outGreen, outBlue);
}

void TFloydSteinbergDitherer::EndRow() {
    TDitherEngine::EndRow();
    m_carry = {};
    m_ahead = {};
    const size_t last = m_row.size() - 3;
    for (int c = 0; c < 3; ++c)
        m_row[c] = m_row[last + c] = 0;  // the margins
    m_slot = FStep == 1 ? 1 : FRowWidth;
}

void TFloydSteinbergDitherer::MapRow(const uint8_t* bgr, uint8_t* indexes) {
    uint8_t r, g, b;
    if (auto* slow = dynamic_cast<TSlowColorLookup*>(FMatcher)) {
        walkRow(*this, bgr, indexes, [&](uint8_t red, uint8_t green, uint8_t blue) {
            return Diffuse(*slow, red, green, blue, r, g, b);
        });
    } else {
        walkRow(*this, bgr, indexes, [&](uint8_t red, uint8_t green, uint8_t blue) {
            return Diffuse(*FMatcher, red, green, blue, r, g, b);
        });
    }
}

}  // namespace fk
