#include "jpeg/jpeg_image.h"

#include "jpeg/jpeg_compress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "support/test_support.h"

namespace fk {
namespace {

using test::makeTestPattern;
using test::pixelsOf;
using test::readFileBytes;
using test::runCommand;
using test::shellQuote;
using test::TempDir;

std::vector<uint8_t> jpegBytes(TJPEGImage& jpeg) {
    MemoryStream out;
    jpeg.SaveToStream(out);
    return out.bytes();
}

std::vector<uint8_t> jpegOf(const Bitmap& bitmap, uint8_t quality) {
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.setQuality(quality);
    return jpegBytes(jpeg);
}

void writePpm(const std::string& path, const Bitmap& bitmap) {
    std::string header =
        "P6\n" + std::to_string(bitmap.width()) + " " + std::to_string(bitmap.height()) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (const Color& c : pixelsOf(bitmap))
        bytes.insert(bytes.end(), {c.red, c.green, c.blue});
    test::writeFileBytes(path, bytes);
}

// What cjpeg, the library's own front end, writes from the same pixels and settings.
std::vector<uint8_t> cjpegOf(const Bitmap& bitmap, int quality, const std::string& extra = "") {
    TempDir dir;
    writePpm(dir.file("in.ppm"), bitmap);
    auto r = runCommand("cjpeg -dct float -baseline -quality " + std::to_string(quality) + " " +
                        extra + " -outfile " + shellQuote(dir.file("out.jpg")) + " " +
                        shellQuote(dir.file("in.ppm")));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return readFileBytes(dir.file("out.jpg"));
}

// djpeg's decoding: "P6" with red, green, blue, or "P5" with one gray sample a pixel.
struct Decoded {
    std::string magic;
    int width = 0, height = 0;
    std::vector<uint8_t> samples;
};
Decoded djpeg(const std::vector<uint8_t>& jpeg) {
    TempDir dir;
    test::writeFileBytes(dir.file("in.jpg"), jpeg);
    auto r = runCommand("djpeg -pnm -outfile " + shellQuote(dir.file("out.pnm")) + " " +
                        shellQuote(dir.file("in.jpg")));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<uint8_t> pnm = readFileBytes(dir.file("out.pnm"));
    Decoded d;
    char magic[3] = {};
    int maxValue = 0, headerLength = 0;
    std::string text(pnm.begin(), pnm.begin() + std::min<size_t>(pnm.size(), 64));
    if (sscanf(text.c_str(), "%2s %d %d %d%n", magic, &d.width, &d.height, &maxValue,
               &headerLength) != 4) {
        ADD_FAILURE() << "djpeg wrote no PNM";
        return d;
    }
    d.magic = magic;
    d.samples.assign(pnm.begin() + headerLength + 1, pnm.end());
    return d;
}

TEST(JpegImage, FilesEqualWhatCjpegWritesFromTheSamePixels) {
    ASSERT_TRUE(test::toolAvailable("cjpeg")) << "libjpeg-turbo-progs is needed";
    const PixelFormat formats[] = {PixelFormat::Bits24, PixelFormat::Device, PixelFormat::Bits32,
                                   PixelFormat::Bits16, PixelFormat::Bits15, PixelFormat::Bits8,
                                   PixelFormat::Bits4,  PixelFormat::Bits1};
    uint32_t seed = 40;
    for (PixelFormat format : formats) {
        Bitmap b = makeTestPattern(37, 19, format, ++seed);
        for (int quality : {1, 25, 75, 80, 100}) {
            SCOPED_TRACE(testing::Message() << "format " << int(format) << ", quality " << quality);
            EXPECT_EQ(jpegOf(b, uint8_t(quality)), cjpegOf(b, quality));
        }
    }
}

TEST(JpegImage, PicturesMadeInBandsEqualWhatOneThreadAndCjpegWrite) {
    // Bands start on 16-row MCU rows: heights around them, bands of one MCU row, a short last
    // band, more threads than rows. Noise on the left gives large coefficients, a flat right
    // half long zero runs and blocks that end with an end-of-block code, as bands must.
    const struct {
        int width, height, threads;
        PixelFormat format;
        bool gray;
    } cases[] = {{37, 17, 2, PixelFormat::Bits24, false},  {1, 33, 2, PixelFormat::Device, false},
                 {65, 48, 3, PixelFormat::Bits32, false},  {40, 100, 7, PixelFormat::Bits8, false},
                 {23, 47, 2, PixelFormat::Bits24, true},   {33, 40, 9, PixelFormat::Bits24, false},
                 {600, 500, 2, PixelFormat::Device, false}};
    uint32_t seed = 70;
    for (const auto& c : cases) {
        Bitmap b = makeTestPattern(c.width, c.height, c.format, ++seed);
        for (int y = 0; y < c.height; ++y)
            for (int x = c.width / 2; x < c.width; ++x)
                isPaletteFormat(c.format)
                    ? b.setIndex(x, y, 0)
                    : b.setPixel(x, y, {uint8_t(y * 5), 90, uint8_t(y < c.height / 2 ? 30 : 220)});
        for (int quality : {1, 50, 90, 100}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " on " << c.threads
                                            << " threads, quality " << quality);
            const jpeg::CompressOptions options{uint8_t(quality), c.gray, false, 1};
            const auto one = jpeg::compressBitmap(b, options);
            EXPECT_EQ(jpeg::compressInBands(b, options, c.threads), one);
            if (quality == 90)
                EXPECT_EQ(one, cjpegOf(b, quality, c.gray ? "-grayscale" : ""));
        }
    }
    // A band that cannot be joined (noise to its last coefficient) is made on one thread.
    Bitmap noise = makeTestPattern(64, 64, PixelFormat::Bits24, 5);
    EXPECT_TRUE(jpeg::compressInBands(noise, {100, false, false, 1}, 2).empty());
    EXPECT_EQ(jpeg::compressBitmap(noise, {100, false, false, 2}),
              jpeg::compressBitmap(noise, {100, false, false, 1}));
}

TEST(JpegImage, QualityGoesToTheLibraryAsItStands) {
    Bitmap b = makeTestPattern(16, 9, PixelFormat::Device, 3);
    EXPECT_EQ(jpegOf(b, 0), jpegOf(b, 1));
    EXPECT_EQ(jpegOf(b, 0), cjpegOf(b, 1));
    EXPECT_EQ(jpegOf(b, 255), jpegOf(b, 100));
    EXPECT_NE(jpegOf(b, 50), jpegOf(b, 51));
    TJPEGImage fresh;
    EXPECT_EQ(fresh.quality(), 90);
    EXPECT_FALSE(fresh.grayscale());
    EXPECT_FALSE(fresh.progressive());
}

TEST(JpegImage, GrayscaleAndProgressiveOptions) {
    Bitmap b = makeTestPattern(29, 13, PixelFormat::Bits24, 8);
    TJPEGImage gray;
    gray.Assign(b);
    gray.setQuality(70);
    gray.setGrayscale(true);
    const auto grayBytes = jpegBytes(gray);
    EXPECT_EQ(grayBytes, cjpegOf(b, 70, "-grayscale"));
    EXPECT_TRUE(gray.data().grayscale);
    Decoded decoded = djpeg(grayBytes);
    EXPECT_EQ(decoded.magic, "P5");  // one component
    EXPECT_EQ(decoded.samples.size(), 29u * 13);

    TJPEGImage progressive;
    progressive.Assign(b);
    progressive.setQuality(85);
    progressive.setProgressive(true);
    EXPECT_EQ(jpegBytes(progressive), cjpegOf(b, 85, "-progressive"));
    EXPECT_FALSE(progressive.data().grayscale);
}

TEST(JpegImage, ColoursKeepTheirPlaceWhateverTheStoredOrder) {
    struct Case {
        PixelFormat format;
        Color color;
    };
    for (Case c :
         {Case{PixelFormat::Bits24, {255, 0, 0}}, Case{PixelFormat::Device, {255, 0, 0}},
          Case{PixelFormat::Bits24, {0, 0, 255}}, Case{PixelFormat::Bits16, {0, 255, 0}}}) {
        Bitmap b(24, 16, c.format);
        b.fill(c.color);
        Decoded d = djpeg(jpegOf(b, 90));
        ASSERT_EQ(d.magic, "P6");
        ASSERT_EQ(d.samples.size(), 24u * 16 * 3);
        for (size_t i = 0; i < d.samples.size(); i += 3) {
            ASSERT_NEAR(d.samples[i], c.color.red, 3) << i;
            ASSERT_NEAR(d.samples[i + 1], c.color.green, 3) << i;
            ASSERT_NEAR(d.samples[i + 2], c.color.blue, 3) << i;
        }
    }

    // A palette picture shows its table's colours: red on the left, blue on the right.
    Bitmap mono(32, 8, PixelFormat::Bits1);
    mono.setColorTable({{0, 0, 255, 0}, {255, 0, 0, 0}});
    for (int y = 0; y < 8; ++y)
        for (int x = 16; x < 32; ++x)
            mono.setIndex(x, y, 1);
    Decoded d = djpeg(jpegOf(mono, 95));
    ASSERT_EQ(d.samples.size(), 32u * 8 * 3);
    EXPECT_NEAR(d.samples[0], 255, 3);
    EXPECT_NEAR(d.samples[2], 0, 3);
    EXPECT_NEAR(d.samples[3 * 31], 0, 3);
    EXPECT_NEAR(d.samples[3 * 31 + 2], 255, 3);
}

TEST(JpegImage, SavingAgainWritesTheSameBytesWithoutCompressingAgain) {
    Bitmap b = makeTestPattern(20, 10, PixelFormat::Device, 2);
    TJPEGImage jpeg;
    jpeg.Assign(b);
    jpeg.setQuality(60);
    const auto first = jpegBytes(jpeg);
    jpeg.setQuality(10);  // no effect on bytes that exist
    jpeg.setGrayscale(true);
    EXPECT_EQ(jpegBytes(jpeg), first);
    EXPECT_FALSE(jpeg.data().grayscale);

    // Assigning a bitmap drops them; the source's later changes do not reach the copy.
    jpeg.Assign(b);
    b.fill({0, 0, 0});
    const auto third = jpegBytes(jpeg);
    EXPECT_NE(third, first);
    EXPECT_EQ(third, cjpegOf(makeTestPattern(20, 10, PixelFormat::Device, 2), 10, "-grayscale"));
}

TEST(JpegImage, ImagesAssignedFromOneAnotherShareTheCompressedForm) {
    TJPEGImage a;
    a.Assign(makeTestPattern(12, 12, PixelFormat::Bits24, 5));
    a.setQuality(50);
    const auto bytesOfA = jpegBytes(a);

    TJPEGImage b;
    b.setQuality(100);
    b.Assign(a);
    EXPECT_EQ(&b.data(), &a.data());
    EXPECT_EQ(jpegBytes(b), bytesOfA);

    // Compressing anew gives b a record of its own; a keeps its bytes.
    b.Compress();
    EXPECT_NE(&b.data(), &a.data());
    EXPECT_NE(jpegBytes(b), bytesOfA);
    EXPECT_EQ(jpegBytes(a), bytesOfA);
    EXPECT_EQ(b.width(), 12);
}

TEST(JpegImage, TheSizeFollowsThePicture) {
    TJPEGImage jpeg;
    EXPECT_EQ(jpeg.width(), 0);
    jpeg.Assign(Bitmap(7, 3, PixelFormat::Bits24));
    EXPECT_EQ(jpeg.width(), 7);
    EXPECT_EQ(jpeg.height(), 3);
    try {
        jpeg.setWidth(8);
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "Cannot change the size of a JPEG image");
    }
    EXPECT_THROW(jpeg.setHeight(1), EInvalidGraphicOperation);
}

TEST(JpegImage, NoPictureGivesAnEmptyFile) {
    TempDir dir;
    const std::string path = dir.file("empty.jpg");
    test::writeFileBytes(path, {1, 2, 3});
    TJPEGImage none;
    none.SaveToFile(path);
    EXPECT_TRUE(test::fileExists(path));
    EXPECT_TRUE(readFileBytes(path).empty());
    for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}}) {
        TJPEGImage jpeg;
        jpeg.Assign(Bitmap(w, h, PixelFormat::Device));
        EXPECT_TRUE(jpegBytes(jpeg).empty());
    }
}

TEST(JpegImage, PicturesBeyondTheLibraryLimitFailAndLeaveTheOlderFile) {
    TempDir dir;
    const std::string path = dir.file("big.jpg");
    const std::string expected = "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG);
    for (auto [w, h] : {std::pair{65501, 1}, std::pair{1, 65501}}) {
        test::writeFileBytes(path, {1, 2, 3});
        TJPEGImage jpeg;
        jpeg.Assign(Bitmap(w, h, PixelFormat::Bits24));
        try {
            jpeg.SaveToFile(path);
            FAIL() << "no error";
        } catch (const EJPEG& e) {
            EXPECT_EQ(e.what(), expected);
        }
        EXPECT_EQ(readFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"big.jpg"});
        // Nothing half-made is kept: the next save fails the same way.
        EXPECT_FALSE(jpeg.data().bytes.has_value());
        MemoryStream out;
        EXPECT_THROW(jpeg.SaveToStream(out), EJPEG);
        EXPECT_EQ(out.size(), 0u);
    }
    // The largest size the library takes still works.
    TJPEGImage edge;
    edge.Assign(Bitmap(65500, 1, PixelFormat::Bits8));
    EXPECT_EQ(djpeg(jpegBytes(edge)).width, 65500);
}

TEST(JpegImage, FilesThatCannotBeWrittenAreReported) {
    TempDir dir;
    TJPEGImage jpeg;
    jpeg.Assign(makeTestPattern(64, 64, PixelFormat::Device));
    const std::string missing = dir.file("no-such-folder/shot.jpg");
    try {
        jpeg.SaveToFile(missing);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + missing + "\". No such file or directory");
    }
    EXPECT_THROW(jpeg.SaveToFile("/dev/full"), EWriteError);

    // A disk that fills part way leaves no file, not a picture cut short.
    Bitmap large = makeTestPattern(600, 400, PixelFormat::Device, 6);
    const std::string path = dir.file("cut.jpg");
    const std::string message = test::runWithFileSizeLimit(50000, [&] {
        TJPEGImage child;
        child.Assign(large);
        child.SaveToFile(path);
    });
    EXPECT_EQ(message, "Cannot write file \"" + path + "\". File too large");
    EXPECT_TRUE(test::fileNames(dir.path()).empty());
}

}  // namespace
}  // namespace fk
