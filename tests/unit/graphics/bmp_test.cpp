#include <gtest/gtest.h>

#include <cstring>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"
#include "support/test_support.h"

namespace fk {
namespace {

using test::decodeWithPillow;
using test::makeTestPattern;
using test::pixelsOf;

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}

TEST(BmpWriter, HeadersOfA24BitPictureFollowTheFileFormat) {
    Bitmap b(3, 2, PixelFormat::Bits24);
    b.setPixel(0, 0, {255, 0, 0});  // top left red
    b.setPixel(2, 1, {0, 0, 255});  // bottom right blue
    MemoryStream out;
    b.saveToStream(out);
    const auto& bytes = out.bytes();

    ASSERT_EQ(bytes.size(), 14u + 40u + 2u * 12u);  // rows of 9 bytes padded to 12
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 54u);  // pixel offset
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 3u);
    EXPECT_EQ(le32(bytes, 22), 2u);  // positive height: bottom row first
    EXPECT_EQ(le16(bytes, 26), 1);
    EXPECT_EQ(le16(bytes, 28), 24);
    EXPECT_EQ(le32(bytes, 30), 0u);  // no compression
    // Bottom row first: its last pixel is blue, stored blue, green, red.
    EXPECT_EQ(bytes[54 + 6], 255);
    EXPECT_EQ(bytes[54 + 8], 0);
    // Top row second: its first pixel is red.
    EXPECT_EQ(bytes[54 + 12], 0);
    EXPECT_EQ(bytes[54 + 14], 255);
}

TEST(BmpWriter, FiveSixFiveBitmapsCarryTheirBitFieldMasks) {
    Bitmap b(1, 1, PixelFormat::Bits16);
    MemoryStream out;
    b.saveToStream(out);
    const auto& bytes = out.bytes();
    EXPECT_EQ(le32(bytes, 30), 3u);  // bit fields
    EXPECT_EQ(le32(bytes, 54), 0xF800u);
    EXPECT_EQ(le32(bytes, 58), 0x07E0u);
    EXPECT_EQ(le32(bytes, 62), 0x001Fu);
    EXPECT_EQ(le32(bytes, 10), 66u);
}

TEST(BmpWriter, PaletteBitmapsCarryTheirColourTable) {
    Bitmap b = makeTestPattern(5, 3, PixelFormat::Bits4, 7);
    MemoryStream out;
    b.saveToStream(out);
    const auto& bytes = out.bytes();
    EXPECT_EQ(le32(bytes, 46), 16u);  // colours used
    EXPECT_EQ(le32(bytes, 10), 14u + 40u + 64u);
    const RGBQuad& q = b.colorTable()[5];
    EXPECT_EQ(bytes[54 + 20], q.blue);
    EXPECT_EQ(bytes[54 + 21], q.green);
    EXPECT_EQ(bytes[54 + 22], q.red);
}

struct DepthCase {
    PixelFormat format;
    const char* name;
};

class BmpEveryDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(BmpEveryDepth, PillowReadsEveryPixelBack) {
    test::TempDir dir;
    for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 5}, std::pair{33, 9}}) {
        Bitmap b = makeTestPattern(w, h, GetParam().format, uint32_t(w * 31 + h));
        std::string path = dir.file(std::string(GetParam().name) + ".bmp");
        b.saveToFile(path);
        auto decoded = decodeWithPillow(path);
        ASSERT_EQ(decoded.width, w);
        ASSERT_EQ(decoded.height, h);
        EXPECT_EQ(decoded.pixels, pixelsOf(b)) << GetParam().name << " " << w << "x" << h;
    }
}

TEST_P(BmpEveryDepth, ReadingBackGivesTheSameBitmap) {
    Bitmap b = makeTestPattern(13, 4, GetParam().format, 3);
    MemoryStream s;
    b.saveToStream(s);
    b.saveToStream(s);  // two records in a row, as a frame file holds them
    s.seek(0);
    Bitmap first = Bitmap::loadFromStream(s);
    Bitmap second = Bitmap::loadFromStream(s);
    EXPECT_EQ(s.position(), s.size());
    PixelFormat expected =
        GetParam().format == PixelFormat::Device ? PixelFormat::Bits32 : GetParam().format;
    EXPECT_EQ(first.pixelFormat(), expected);
    EXPECT_EQ(pixelsOf(first), pixelsOf(b));
    EXPECT_EQ(pixelsOf(second), pixelsOf(b));
    EXPECT_EQ(first.colorTable(), b.colorTable());
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpEveryDepth,
                         ::testing::Values(DepthCase{PixelFormat::Bits1, "bits1"},
                                           DepthCase{PixelFormat::Bits4, "bits4"},
                                           DepthCase{PixelFormat::Bits8, "bits8"},
                                           DepthCase{PixelFormat::Bits15, "bits15"},
                                           DepthCase{PixelFormat::Bits16, "bits16"},
                                           DepthCase{PixelFormat::Bits24, "bits24"},
                                           DepthCase{PixelFormat::Bits32, "bits32"},
                                           DepthCase{PixelFormat::Device, "device"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReader, ReadsTopDownFilesAndTheSharedBenchPictures) {
    const std::string path = test::benchDataDir() + "/screen-1080p.bmp";
    if (!test::fileExists(path))
        GTEST_SKIP() << "no bench pictures at " << path;
    Bitmap b = Bitmap::loadFromFile(path);
    EXPECT_EQ(b.width(), 1920);
    EXPECT_EQ(b.height(), 1080);
    EXPECT_EQ(b.pixelFormat(), PixelFormat::Bits24);
    auto decoded = decodeWithPillow(path);
    EXPECT_EQ(decoded.at(100, 50), b.pixel(100, 50));
    EXPECT_EQ(decoded.at(1919, 1079), b.pixel(1919, 1079));

    // The same picture stored top row first.
    MemoryStream s;
    Bitmap small = makeTestPattern(4, 3, PixelFormat::Bits24);
    small.saveToStream(s);
    std::vector<uint8_t> bytes = s.takeBytes();
    int32_t negative = -3;
    std::memcpy(&bytes[22], &negative, 4);
    const size_t stride = 12;
    for (size_t row = 0; row < 3; ++row)
        std::memcpy(&bytes[54 + row * stride], small.scanLine(int(row)), stride);
    MemoryStream in(bytes);
    EXPECT_EQ(pixelsOf(Bitmap::loadFromStream(in)), pixelsOf(small));
}

TEST(BmpReader, RefusesDamagedFiles) {
    MemoryStream s;
    makeTestPattern(4, 4, PixelFormat::Bits8).saveToStream(s);
    const std::vector<uint8_t> good = s.bytes();

    auto load = [](std::vector<uint8_t> bytes) {
        MemoryStream in(std::move(bytes));
        return Bitmap::loadFromStream(in);
    };
    auto bad = good;
    bad[0] = 'X';
    EXPECT_THROW(load(bad), EInvalidGraphic);
    bad = good;
    bad[28] = 7;  // 7 bits per pixel
    EXPECT_THROW(load(bad), EInvalidGraphic);
    bad = good;
    bad.resize(good.size() - 1);  // truncated pixels
    EXPECT_THROW(load(bad), EReadError);
    bad = good;
    bad[21] = 0x7F;  // width of two thousand million
    EXPECT_THROW(load(bad), EInvalidGraphic);
}

}  // namespace
}  // namespace fk
