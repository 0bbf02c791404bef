// Row filter arithmetic, the choice of filter per row, and the chunk CRC.
#include <gtest/gtest.h>

#include <vector>

#include "png/png_crc.h"
#include "png/png_filter.h"

namespace fk {
namespace {

using Row = std::vector<uint8_t>;

Row filtered(TFilter type, const Row& x, const Row& b, size_t step) {
    Row out(x.size());
    png::filterRow(type, x.data(), b.data(), x.size(), step, out.data());
    return out;
}

// Two truecolour pixels over a row above; expected bytes worked out by hand, modulo 256.
TEST(PngFilter, EachTypeOnTwoPixelsGivesHandComputedBytes) {
    const Row x = {10, 20, 30, 40, 250, 5};
    const Row b = {5, 25, 30, 200, 0, 10};
    EXPECT_EQ(filtered(pfNone, x, b, 3), x);
    EXPECT_EQ(filtered(pfSub, x, b, 3), (Row{10, 20, 30, 30, 230, 231}));
    EXPECT_EQ(filtered(pfUp, x, b, 3), (Row{5, 251, 0, 96, 250, 251}));
    EXPECT_EQ(filtered(pfAverage, x, b, 3), (Row{8, 8, 15, 191, 240, 241}));
    EXPECT_EQ(filtered(pfPaeth, x, b, 3), (Row{5, 251, 0, 96, 250, 251}));
}

TEST(PngFilter, AverageSumsWithoutOverflow) {
    // (255 + 255) / 2 = 255, not (510 mod 256) / 2 = 127.
    EXPECT_EQ(filtered(pfAverage, Row{255, 255}, Row{255, 255}, 1), (Row{128, 0}));
}

TEST(PngFilter, FirstRowAgainstZeros) {
    const Row x = {7, 200, 13, 99, 1, 255, 42};
    const Row zeros(x.size(), 0);
    EXPECT_EQ(filtered(pfUp, x, zeros, 1), x);
    EXPECT_EQ(filtered(pfPaeth, x, zeros, 1), filtered(pfSub, x, zeros, 1));
    Row halfLeft = x;
    for (size_t i = 1; i < x.size(); ++i)
        halfLeft[i] = uint8_t(x[i] - x[i - 1] / 2);
    EXPECT_EQ(filtered(pfAverage, x, zeros, 1), halfLeft);
}

TEST(PngFilter, PaethPredictorPrefersLeftThenAboveThenUpperLeft) {
    EXPECT_EQ(png::paethPredictor(9, 5, 2), 9);  // p = 12: left nearest
    EXPECT_EQ(png::paethPredictor(5, 9, 2), 9);  // p = 12: above nearest
    EXPECT_EQ(png::paethPredictor(2, 9, 5), 5);  // p = 6: upper left nearest
    EXPECT_EQ(png::paethPredictor(4, 1, 2), 4);  // left and upper left tie: left
    EXPECT_EQ(png::paethPredictor(1, 4, 2), 4);  // above and upper left tie: above
    EXPECT_EQ(png::paethPredictor(0, 200, 0), 200);
}

TEST(PngFilter, ScoreCountsBytesRepeatingOneOrTwoBack) {
    const Row row = {1, 1, 1, 2, 3, 2};  // j = 2 repeats j - 1, j = 5 repeats j - 2
    EXPECT_EQ(png::scoreFilteredRow(row.data(), row.size()), 2u);
    const Row shortRow = {4, 4};
    EXPECT_EQ(png::scoreFilteredRow(shortRow.data(), shortRow.size()), 0u);
}

class ChooseFilterTest : public ::testing::Test {
protected:
    // Rows for None, Sub, Up, Average, Paeth with scores 0, 0, 3, 1, 3.
    Row none = {1, 2, 3, 4, 5};
    Row sub = {9, 8, 7, 6, 5};
    Row up = {0, 0, 0, 0, 0};
    Row average = {1, 2, 2, 3, 4};
    Row paeth = {6, 6, 6, 6, 6};
    std::array<const uint8_t*, kFilterCount> rows() const {
        return {none.data(), sub.data(), up.data(), average.data(), paeth.data()};
    }
};

TEST_F(ChooseFilterTest, SingleTypeSetsNeedNoScoring) {
    EXPECT_EQ(png::ChooseFilter(TFilters{}, rows(), 5), pfNone);
    EXPECT_EQ(png::ChooseFilter(TFilters{pfNone}, rows(), 5), pfNone);
    EXPECT_EQ(png::ChooseFilter(TFilters{pfSub}, rows(), 5), pfSub);  // scores 0, still Sub
    EXPECT_EQ(png::ChooseFilter(TFilters{pfPaeth}, rows(), 2), pfPaeth);
}

TEST_F(ChooseFilterTest, BestScoreWinsAndTiesKeepTheEarlierType) {
    EXPECT_EQ(png::ChooseFilter(TFilters::all(), rows(), 5), pfUp);  // Up and Paeth tie at 3
    EXPECT_EQ(png::ChooseFilter(TFilters{pfSub, pfAverage}, rows(), 5), pfAverage);
    EXPECT_EQ(png::ChooseFilter(TFilters{pfAverage, pfPaeth}, rows(), 5), pfPaeth);
}

TEST_F(ChooseFilterTest, NothingScoringMeansNoneEvenOutsideTheSet) {
    paeth = {1, 2, 3, 4, 5};
    up = {5, 4, 3, 2, 1};
    average = {1, 2, 3, 4, 5};
    EXPECT_EQ(png::ChooseFilter(TFilters::all(), rows(), 5), pfNone);
    EXPECT_EQ(png::ChooseFilter(TFilters{pfUp, pfPaeth}, rows(), 5), pfNone);
    // Rows shorter than three bytes never score.
    up = paeth = {7, 7};
    EXPECT_EQ(png::ChooseFilter(TFilters{pfUp, pfPaeth}, rows(), 2), pfNone);
}

TEST(PngCrc, KnownValues) {
    const uint8_t iend[] = {'I', 'E', 'N', 'D'};
    EXPECT_EQ(png::crc(iend, 4), 0xAE426082u);
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(png::crc(check, 9), 0xCBF43926u);
    // Feeding in pieces gives the same value as one block.
    uint32_t running = png::crcUpdate(png::kCrcStart, check, 4);
    running = png::crcUpdate(running, check + 4, 5);
    EXPECT_EQ(png::crcFinish(running), 0xCBF43926u);
}

}  // namespace
}  // namespace fk
