#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gif/reduction/color_lookup.h"

namespace fk {

// Maps the pixels of one image, fed one at a time in serpentine order (row 0 left to right, row
// 1 right to left, ...), to palette indexes through a matcher. The base engine matches each pixel
// on its own; the ditherers below spread each pixel's error over pixels not yet visited.
class TDitherEngine {
public:
    // The matcher is not owned and must outlive the engine.
    TDitherEngine(int rowWidth, TColorLookup& matcher);
    virtual ~TDitherEngine() = default;
    TDitherEngine(const TDitherEngine&) = delete;
    TDitherEngine& operator=(const TDitherEngine&) = delete;

    // Maps the pixel at column Col() and moves on by Step(); the outputs receive the colour of the
    // chosen entry.
    virtual uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                             uint8_t& outGreen, uint8_t& outBlue);
    // Turns the direction for the next row.
    virtual void EndRow();
    // Maps every pixel of a 24-bit row (blue, green, red) from Col() on in the row's direction
    // into `indexes` (one byte per column), as MapPixel would one by one.
    virtual void MapRow(const uint8_t* bgr, uint8_t* indexes);

    int Col() const { return FCol; }
    int Step() const { return FStep; }
    int RowWidth() const { return FRowWidth; }

protected:
    int FStep = 1;
    int FCol = 0;
    TColorLookup* FMatcher;
    int FRowWidth;
};

// Error diffusion over `Rows` rows of slots (the current row first), `Margin` slots beyond each
// end of a row soaking up error spread past it. Slots keep errors unscaled (weight times error)
// and are divided by the kernel's weight sum, rounding half up and truncating toward zero, when
// read. `Self` spreads the three channels' errors from the current slot. A kernel whose weight
// sum is known when compiling names it as `WeightSum`, which makes the reads cheaper; one whose
// sums stay within 16 bits may keep them in `Slot`s of that size.
template <class Self, int Rows, int Margin, int WeightSum = 0, class Slot = int32_t>
class ErrorDiffusion : public TDitherEngine {
public:
    uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                     uint8_t& outBlue) final;
    void EndRow() final;
    void MapRow(const uint8_t* bgr, uint8_t* indexes) override;

    // A slot of row k (0 = current) and channel (0 red, 1 green, 2 blue); column c is slot
    // c + Margin.
    int32_t ErrorSlot(int row, int slot, int channel) const {
        return m_rows[row][kLanes * size_t(slot) + size_t(2 - channel)];
    }

protected:
    ErrorDiffusion(int rowWidth, TColorLookup& matcher, int weightSum);

    template <class Matcher>
    uint8_t Diffuse(Matcher& matcher, uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                    uint8_t& outGreen, uint8_t& outBlue);
    // A slot's sum of weighted errors as a channel offset.
    int Scaled(int32_t slot) const;

    // Each row holds a slot's channels side by side in the order blue, green, red, then a spare
    // that stays 0, as a pixel's bytes are stored; `Spread` gets the errors in that order.
    static constexpr size_t kLanes = 4;
    std::array<std::vector<Slot>, Rows> m_rows;
    int m_slot = Margin;  // slot of the current column
    int FWeightSum;
};

// Its slots hold at most 20 x 255 from the row above and 12 x 255 from its own row: 16 bits do.
class TBurkesDitherer final : public ErrorDiffusion<TBurkesDitherer, 2, 2, 32, int16_t> {
public:
    TBurkesDitherer(int rowWidth, TColorLookup& matcher);
    // at[k] is the current slot of row k, d the row's direction in array steps (four per slot),
    // e the errors of the three channels. Adding a zero error changes nothing, so no channel is
    // skipped.
    static void Spread(int16_t* const* at, int d, const int* e) {
        for (int c = 0; c < 3; ++c) {
            at[0][d + c] += 8 * e[c];
            at[0][2 * d + c] += 4 * e[c];
            at[1][-2 * d + c] += 2 * e[c];
            at[1][-d + c] += 4 * e[c];
            at[1][c] += 8 * e[c];
            at[1][d + c] += 4 * e[c];
            at[1][2 * d + c] += 2 * e[c];
        }
    }
    // The same walk with the errors this row still owes kept in registers, so that a pixel does
    // not wait for the one before to store its share.
    void MapRow(const uint8_t* bgr, uint8_t* indexes) override;
    // The same over a row of four bytes per pixel: blue, green, red and one that is not read.
    void MapRow32(const uint8_t* bgrx, uint8_t* indexes);

private:
    // The walk with the matcher's own lookup where it has a fast one.
    template <int PixelBytes>
    void Walk(const uint8_t* pixels, uint8_t* indexes);
    template <int PixelBytes, class Matcher>
    void WalkRow(Matcher& matcher, const uint8_t* pixels, uint8_t* indexes);
};

// Base of the kernels five columns wide and three rows deep; SpreadError spreads one channel.
class T5by3Ditherer : public ErrorDiffusion<T5by3Ditherer, 3, 2> {
public:
    void Spread(int32_t* const* at, int d, const int* e) {
        int32_t* channel[3];
        for (int c = 0; c < 3; ++c) {
            if (e[c] == 0)
                continue;
            for (int k = 0; k < 3; ++k)
                channel[k] = at[k] + c;
            SpreadError(channel, d, e[c]);
        }
    }

protected:
    T5by3Ditherer(int rowWidth, TColorLookup& matcher, int weightSum);
    virtual void SpreadError(int32_t* const* at, int d, int e) = 0;
};

class TStuckiDitherer final : public T5by3Ditherer {
public:
    TStuckiDitherer(int rowWidth, TColorLookup& matcher) : T5by3Ditherer(rowWidth, matcher, 42) {}

protected:
    void SpreadError(int32_t* const* at, int d, int e) override;
};

class TSierraDitherer final : public T5by3Ditherer {
public:
    TSierraDitherer(int rowWidth, TColorLookup& matcher) : T5by3Ditherer(rowWidth, matcher, 32) {}

protected:
    void SpreadError(int32_t* const* at, int d, int e) override;
};

class TJaJuNiDitherer final : public T5by3Ditherer {
public:
    TJaJuNiDitherer(int rowWidth, TColorLookup& matcher) : T5by3Ditherer(rowWidth, matcher, 48) {}

protected:
    void SpreadError(int32_t* const* at, int d, int e) override;
};

class TSteveArcheDitherer final : public ErrorDiffusion<TSteveArcheDitherer, 4, 3, 200> {
public:
    TSteveArcheDitherer(int rowWidth, TColorLookup& matcher);
    static void Spread(int32_t* const* at, int d, const int* e);
};

// Floyd-Steinberg: 7/16 of the error to the next pixel of the row, 3/16, 5/16 and 1/16 to the
// pixels behind, below and ahead on the next row. One row of slots per channel (column c at slot
// c + 1) holds, ahead of the current column, the error the row above left for this row and,
// behind it, what this row leaves for the next; the 7/16 share and the 1/16 share still owed to
// the slot ahead wait in two pending values until that slot has been read.
class TFloydSteinbergDitherer final : public TDitherEngine {
public:
    TFloydSteinbergDitherer(int rowWidth, TColorLookup& matcher);
    uint8_t MapPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed, uint8_t& outGreen,
                     uint8_t& outBlue) override;
    void EndRow() override;
    void MapRow(const uint8_t* bgr, uint8_t* indexes) override;

private:
    template <class Matcher>
    uint8_t Diffuse(Matcher& matcher, uint8_t red, uint8_t green, uint8_t blue, uint8_t& outRed,
                    uint8_t& outGreen, uint8_t& outBlue);

    std::vector<int32_t> m_row;  // three channels per slot
    int m_slot = 1;
    std::array<int32_t, 3> m_carry{};  // 7 x error for the next pixel of this row
    std::array<int32_t, 3> m_ahead{};  // 1 x error for the next row, one slot ahead
};

}  // namespace fk
