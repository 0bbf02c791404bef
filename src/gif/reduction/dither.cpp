#include "gif/reduction/dither.h"

#include <algorithm>
#include <typeinfo>

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

template <class Self, int Rows, int Margin>
ErrorDiffusion<Self, Rows, Margin>::ErrorDiffusion(int rowWidth, TColorLookup& matcher,
                                                   int weightSum)
    : TDitherEngine(rowWidth, matcher), FWeightSum(weightSum) {
    for (auto& row : m_rows)
        row.assign(3 * (size_t(std::max(rowWidth, 0)) + 2 * Margin), 0);
}

template <class Self, int Rows, int Margin>
template <class Matcher>
inline uint8_t ErrorDiffusion<Self, Rows, Margin>::Diffuse(Matcher& matcher, uint8_t red,
                                                           uint8_t green, uint8_t blue,
                                                           uint8_t& outRed, uint8_t& outGreen,
                                                           uint8_t& outBlue) {
    const size_t at = 3 * size_t(m_slot);
    const int32_t* carried = m_rows[0].data() + at;
    const int half = FWeightSum / 2;
    const uint8_t vr = clampByte(red + (carried[0] + half) / FWeightSum);
    const uint8_t vg = clampByte(green + (carried[1] + half) / FWeightSum);
    const uint8_t vb = clampByte(blue + (carried[2] + half) / FWeightSum);
    const uint8_t index = matcher.MatchColor(vr, vg, vb, outRed, outGreen, outBlue);
    FCol += FStep;

    const int errors[3] = {vr - outRed, vg - outGreen, vb - outBlue};
    if (errors[0] | errors[1] | errors[2]) {
        int32_t* rows[Rows];
        for (int channel = 0; channel < 3; ++channel) {
            if (errors[channel] == 0)
                continue;
            for (int k = 0; k < Rows; ++k)
                rows[k] = m_rows[k].data() + at + channel;
            static_cast<Self*>(this)->Spread(rows, 3 * FStep, errors[channel]);
        }
    }
    m_slot += FStep;
    return index;
}

template <class Self, int Rows, int Margin>
void ErrorDiffusion<Self, Rows, Margin>::EndRow() {
    std::fill(m_rows[0].begin(), m_rows[0].end(), 0);
    std::rotate(m_rows.begin(), m_rows.begin() + 1, m_rows.end());
    TDitherEngine::EndRow();
    FStep2 = 2 * FStep;
    FStep3 = 3 * FStep;
    m_slot = FStep == 1 ? Margin : Margin + FRowWidth - 1;
}

template <class Self, int Rows, int Margin>
void ErrorDiffusion<Self, Rows, Margin>::MapRow(const uint8_t* bgr, uint8_t* indexes) {
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

void TSteveArcheDitherer::Spread(int32_t* const* at, int d, int e) {
    at[0][2 * d] += 32 * e;
    at[1][-3 * d] += 12 * e;
    at[1][-d] += 26 * e;
    at[1][d] += 30 * e;
    at[1][3 * d] += 16 * e;
    at[2][-2 * d] += 12 * e;
    at[2][0] += 26 * e;
    at[2][2 * d] += 12 * e;
    at[3][-3 * d] += 5 * e;
    at[3][-d] += 12 * e;
    at[3][d] += 12 * e;
    at[3][3 * d] += 5 * e;
}

template class ErrorDiffusion<TBurkesDitherer, 2, 2>;
template class ErrorDiffusion<T5by3Ditherer, 3, 2>;
template class ErrorDiffusion<TSteveArcheDitherer, 4, 3>;

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
