// Files read back by independent decoders (Pillow, pngcheck), pixel for pixel.
#include <gtest/gtest.h>

#include "png/png_image.h"
#include "support/test_support.h"

namespace fk {
namespace {

// Gradients, flat areas and noise, so that every filter type wins some rows.
Bitmap mixedPicture(int width, int height) {
    Bitmap b = test::makeTestPattern(width, height, PixelFormat::Bits24, 9);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (y % 5 == 0)
                continue;  // a row of noise now and then
            if (x < width / 3)
                b.setPixel(x, y, {uint8_t(x * 7), uint8_t(y * 3), uint8_t(x + y)});
            else if (x < 2 * width / 3)
                b.setPixel(x, y, {200, 100, uint8_t(y / 4 * 40)});
            else
                b.setPixel(x, y, {uint8_t(y * 9), uint8_t(y * 9), uint8_t(x * 2)});
        }
    return b;
}

class PngRoundTrip : public ::testing::Test {
protected:
    void expectDecodesTo(TPNGObject& png, const Bitmap& source, const std::string& expectedMode) {
        const std::string path = m_dir.file("picture.png");
        png.SaveToFile(path);
        const test::DecodedImage decoded = test::decodeWithPillow(path);
        EXPECT_EQ(decoded.mode, expectedMode);
        ASSERT_EQ(decoded.width, source.width());
        ASSERT_EQ(decoded.height, source.height());
        EXPECT_TRUE(decoded.pixels == test::pixelsOf(source)) << "pixels differ";
        if (m_havePngcheck) {
            const auto check = test::runCommand("pngcheck -q " + test::shellQuote(path));
            EXPECT_EQ(check.exitCode, 0) << check.output;
        }
    }

    test::TempDir m_dir;
    bool m_havePngcheck = test::toolAvailable("pngcheck");
};

TEST_F(PngRoundTrip, EveryBitmapDepthAtOddSizes) {
    struct Case {
        PixelFormat format;
        const char* mode;
    };
    const Case cases[] = {{PixelFormat::Bits1, "P"},    {PixelFormat::Bits4, "P"},
                          {PixelFormat::Bits8, "P"},    {PixelFormat::Bits15, "RGB"},
                          {PixelFormat::Bits16, "RGB"}, {PixelFormat::Bits24, "RGB"},
                          {PixelFormat::Bits32, "RGB"}, {PixelFormat::Device, "RGB"}};
    const std::pair<int, int> sizes[] = {{1, 1}, {13, 7}, {67, 3}};
    for (const Case& c : cases)
        for (auto [w, h] : sizes) {
            SCOPED_TRACE(testing::Message()
                         << "bits " << bitsPerPixel(c.format) << ", " << w << "x" << h);
            const Bitmap source = test::makeTestPattern(w, h, c.format, uint32_t(w * h));
            TPNGObject png;
            png.Assign(source);
            expectDecodesTo(png, source, c.mode);
            if (w * h == 1)
                continue;
            // Deflated in pieces of a few bytes on two threads.
            png.SetThreadCount(2);
            png.SetPieceBytes(5);
            expectDecodesTo(png, source, c.mode);
        }
}

TEST_F(PngRoundTrip, OtherFilterSetsAndLevels) {
    const Bitmap truecolour = mixedPicture(71, 45);
    Bitmap palette = mixedPicture(71, 45);
    palette.setPixelFormat(PixelFormat::Bits8);
    const Bitmap nibbles = test::makeTestPattern(33, 21, PixelFormat::Bits4, 2);
    const Bitmap* const sources[] = {&truecolour, &palette, &nibbles};
    const TFilters sets[] = {TFilters{pfNone},  TFilters{pfUp},  TFilters{pfAverage},
                             TFilters{pfPaeth}, TFilters::all(), TFilters{pfUp, pfPaeth}};
    const int levels[] = {0, 1, 9};
    for (TFilters set : sets)
        for (int level : levels) {
            SCOPED_TRACE(testing::Message()
                         << "filters " << int(set.bits()) << ", level " << level);
            for (const Bitmap* source : sources) {
                TPNGObject png;
                png.SetFilterSet(set);
                png.SetDeflateLevel(uint8_t(level));
                png.Assign(*source);
                expectDecodesTo(png, *source, source == &truecolour ? "RGB" : "P");
            }
        }
}

TEST_F(PngRoundTrip, PaletteWithFewerEntriesThanTheDepthAllows) {
    Bitmap source(10, 4, PixelFormat::Bits8);
    source.setColorTable({{0, 0, 255, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}});
    for (int x = 0; x < 10; ++x)
        source.setIndex(x, x % 4, uint8_t(x % 3));
    TPNGObject png;
    png.Assign(source);
    expectDecodesTo(png, source, "P");
}

}  // namespace
}  // namespace fk
