#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "gif/gif_exception.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/fixed_palettes.h"
#include "support/test_support.h"

namespace fk {
namespace {

uint32_t u32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) |
           (uint32_t(b[at + 3]) << 24);
}
uint16_t u16(std::span<const uint8_t> b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}

TEST(DIBWriter, OnePixelBlackAndWhiteHeader) {
    Bitmap target;
    Palette bw = MakeBlackWhitePalette();
    TDIBWriter writer(target, PixelFormat::Bits8, 1, 1, &bw);
    EXPECT_TRUE(writer.Header().empty());  // nothing before the first row is asked for
    writer.ScanRow(0)[0] = 1;

    std::span<const uint8_t> h = writer.Header();
    ASSERT_EQ(h.size(), 1064u);
    EXPECT_EQ(u32(h, 0), 40u);    // header size
    EXPECT_EQ(u32(h, 4), 1u);     // width
    EXPECT_EQ(u32(h, 8), 1u);     // height, positive
    EXPECT_EQ(u16(h, 12), 1u);    // planes
    EXPECT_EQ(u16(h, 14), 8u);    // bits per pixel
    EXPECT_EQ(u32(h, 16), 0u);    // uncompressed
    EXPECT_EQ(u32(h, 20), 0u);    // image size
    EXPECT_EQ(u32(h, 32), 256u);  // colours used
    EXPECT_EQ(u32(h, 36), 2u);    // important colours
    const std::vector<uint8_t> table(h.begin() + 40, h.end());
    std::vector<uint8_t> expected(1024, 0);
    expected[4] = expected[5] = expected[6] = 255;  // entry 1 white; the flag byte becomes 0
    EXPECT_EQ(table, expected);
    EXPECT_EQ(writer.Pixels().size(), 4u);  // one row padded to four bytes

    writer.CommitToImage();
    EXPECT_EQ(target.width(), 1);
    EXPECT_EQ(target.pixelFormat(), PixelFormat::Bits8);
    ASSERT_EQ(target.colorTable().size(), 256u);
    EXPECT_EQ(target.colorTable()[1], (RGBQuad{255, 255, 255, 0}));
    EXPECT_EQ(target.index(0, 0), 1);
}

TEST(DIBWriter, RowsAreStoredBottomUp) {
    Bitmap target;
    Palette gray = MakeGrayRampPalette();
    TDIBWriter writer(target, PixelFormat::Bits8, 5, 3, &gray);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col)
            writer.ScanRow(row)[col] = uint8_t(10 * row + col);
    ASSERT_EQ(writer.RowSize(), 8u);
    std::span<const uint8_t> pixels = writer.Pixels();
    EXPECT_EQ(pixels[0], 20);  // the first stored row is the bottom one
    EXPECT_EQ(pixels[16 + 4], 4);
    writer.CommitToImage();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(target.index(col, row), 10 * row + col);
}

TEST(DIBWriter, TwentyFourBitsHaveNoColourTable) {
    Bitmap target;
    TDIBWriter writer(target, PixelFormat::Bits24, 2, 2, nullptr);
    uint8_t* top = writer.ScanRow(0);
    top[3] = 1, top[4] = 2, top[5] = 3;
    std::span<const uint8_t> h = writer.Header();
    ASSERT_EQ(h.size(), 40u);
    EXPECT_EQ(u16(h, 14), 24u);
    EXPECT_EQ(u32(h, 32), 0u);
    EXPECT_EQ(u32(h, 36), 0u);
    writer.CommitToImage();
    EXPECT_EQ(target.pixelFormat(), PixelFormat::Bits24);
    EXPECT_EQ(target.pixel(1, 0), (Color{3, 2, 1}));
}

TEST(DIBWriter, NegativeHeightStoresRowsTopDown) {
    Bitmap target;
    Palette gray = MakeGrayRampPalette();
    TDIBWriter writer(target, PixelFormat::Bits8, 1, -2, &gray);
    writer.ScanRow(0)[0] = 7;
    writer.ScanRow(1)[0] = 9;
    EXPECT_EQ(writer.Pixels()[0], 7);
    writer.CommitToImage();
    EXPECT_EQ(target.height(), 2);
    EXPECT_EQ(target.index(0, 0), 7);
    EXPECT_EQ(target.index(0, 1), 9);
}

TEST(DIBWriter, Errors) {
    Bitmap target;
    auto message = [&](PixelFormat format, int width, int height) -> std::string {
        try {
            TDIBWriter writer(target, format, width, height, nullptr);
        } catch (const GIFException& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(message(PixelFormat::Bits4, 2, 2), "Unsupported PixelFormat");
    EXPECT_EQ(message(PixelFormat::Device, 2, 2), "Unsupported PixelFormat");
    EXPECT_EQ(message(PixelFormat::Bits8, 0, 2), "Invalid image dimensions");
    EXPECT_EQ(message(PixelFormat::Bits8, 2, 0), "Invalid image dimensions");
    EXPECT_EQ(message(PixelFormat::Bits24, -1, 2), "Invalid image dimensions");

    TDIBWriter writer(target, PixelFormat::Bits8, 2, 2, nullptr);
    EXPECT_THROW(writer.ScanRow(2), EInvalidGraphicOperation);
    EXPECT_THROW(writer.ScanRow(-1), EInvalidGraphicOperation);

    TDIBWriter huge(target, PixelFormat::Bits24, 65536, 65536, nullptr);
    try {
        huge.ScanRow(0);
        FAIL() << "a pixel block beyond a bitmap file's size was allocated";
    } catch (const EOutOfMemory& e) {
        EXPECT_STREQ(e.what(), "Failed to allocate memory for GIF DIB");
    }
}

// An independent decoder reads the writer's blocks as a bitmap file.
TEST(DIBWriter, BlocksFormABitmapFilePillowReads) {
    Bitmap target;
    Palette palette = {{255, 0, 0, 4}, {0, 128, 255, 0}, {12, 34, 56, 0}};
    TDIBWriter writer(target, PixelFormat::Bits8, 7, 3, &palette);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 7; ++col)
            writer.ScanRow(row)[col] = uint8_t((row + col) % 3);
    std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14 + 40, 4, 0, 0};
    file.insert(file.end(), writer.Header().begin(), writer.Header().end());
    file.insert(file.end(), writer.Pixels().begin(), writer.Pixels().end());
    file[2] = uint8_t(file.size()), file[3] = uint8_t(file.size() >> 8);

    test::TempDir dir;
    test::writeFileBytes(dir.file("dib.bmp"), file);
    test::DecodedImage image = test::decodeWithPillow(dir.file("dib.bmp"));
    ASSERT_EQ(image.width, 7);
    ASSERT_EQ(image.height, 3);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 7; ++col) {
            const PaletteEntry& e = palette[(row + col) % 3];
            EXPECT_EQ(image.at(col, row), (Color{e.red, e.green, e.blue}));
        }
}

TEST(DIBReader, ConvertsTheBitmapInPlace) {
    Bitmap source = test::makeTestPattern(5, 4, PixelFormat::Device, 3);
    const auto colors = test::pixelsOf(source);
    TDIBReader reader(source, PixelFormat::Bits24);
    EXPECT_EQ(source.pixelFormat(), PixelFormat::Bits24);
    const uint8_t* top = reader.ScanRow(0);
    EXPECT_EQ(top[3 * 2 + 0], colors[2].blue);
    EXPECT_EQ(top[3 * 2 + 1], colors[2].green);
    EXPECT_EQ(top[3 * 2 + 2], colors[2].red);
    EXPECT_EQ(reader.ScanRow(3), source.scanLine(3));
    EXPECT_THROW(reader.ScanRow(4), EInvalidGraphicOperation);

    Bitmap mono = test::makeTestPattern(9, 2, PixelFormat::Bits24, 5);
    TDIBReader bits(mono, PixelFormat::Bits1);
    EXPECT_EQ(mono.pixelFormat(), PixelFormat::Bits1);
    EXPECT_EQ((bits.ScanRow(1)[1] >> 7) & 1, mono.index(8, 1));  // leftmost pixel in the high bit
}

}  // namespace
}  // namespace fk
