#include "tiff/tiff_writer.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "base/exceptions.h"
#include "support/test_support.h"

namespace fk {
namespace {

using test::decodeWithPillow;
using test::makeTestPattern;
using test::pixelsOf;
using test::readFileBytes;
using test::runCommand;
using test::shellQuote;
using test::TempDir;

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

struct Entry {
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
    bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "{type " << e.type << ", count " << e.count << ", value " << e.value << "}";
}

// The one directory of a file, by tag, in the order the file lists them.
struct Directory {
    uint32_t offset = 0;
    std::vector<uint16_t> tags;
    std::map<uint16_t, Entry> entries;
    uint32_t next = 1;
};

Directory readDirectory(const std::vector<uint8_t>& file) {
    Directory d;
    d.offset = le32(file, 4);
    uint16_t count = le16(file, d.offset);
    for (uint16_t i = 0; i < count; ++i) {
        size_t at = d.offset + 2 + 12 * size_t(i);
        uint16_t tag = le16(file, at);
        // The whole value field is kept, so a SHORT must have its other two bytes 0 to compare.
        Entry e{le16(file, at + 2), le32(file, at + 4), le32(file, at + 8)};
        d.tags.push_back(tag);
        d.entries[tag] = e;
    }
    d.next = le32(file, d.offset + 2 + 12 * size_t(count));
    return d;
}

std::vector<uint8_t> tiffBytes(const Bitmap& bitmap) {
    MemoryStream out;
    WriteTiff(out, bitmap);
    return out.bytes();
}

constexpr uint16_t kShort = 3, kLong = 4, kRational = 5, kAscii = 2;

TEST(TiffWriter, RgbFileOfThreeByTwoPixels) {
    Bitmap b(3, 2, PixelFormat::Bits24);
    b.setPixel(0, 0, {255, 0, 0});
    b.setPixel(1, 0, {0, 255, 0});
    b.setPixel(2, 0, {0, 0, 255});
    b.setPixel(0, 1, {1, 2, 3});
    b.setPixel(2, 1, {250, 251, 252});
    const auto file = tiffBytes(b);

    ASSERT_EQ(file.size(), 244u);
    EXPECT_EQ(file[0], 'I');
    EXPECT_EQ(file[1], 'I');
    EXPECT_EQ(le16(file, 2), 42);
    EXPECT_EQ(le32(file, 4), 58u);
    EXPECT_EQ(le16(file, 58), 15);
    // X and Y resolution, the 8, 8, 8 list and the name, unpadded, before the pixels.
    EXPECT_EQ(le32(file, 8), 877u);
    EXPECT_EQ(le32(file, 12), 10u);
    EXPECT_EQ(le32(file, 16), 877u);
    EXPECT_EQ(le32(file, 20), 10u);
    EXPECT_EQ(le16(file, 24), 8);
    EXPECT_EQ(le16(file, 26), 8);
    EXPECT_EQ(le16(file, 28), 8);
    EXPECT_EQ(std::string(file.begin() + 30, file.begin() + 40), "Mirat soft");
    // Top row first, red, green, blue.
    const std::vector<uint8_t> pixels(file.begin() + 40, file.begin() + 58);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255,  //
                                            1, 2, 3, 0, 0, 0, 250, 251, 252}));

    const Directory d = readDirectory(file);
    const std::vector<uint16_t> tags = {254, 256, 257, 258, 259, 262, 273, 277,
                                        278, 279, 282, 283, 284, 296, 305};
    EXPECT_EQ(d.tags, tags);
    EXPECT_EQ(d.next, 0u);
    const std::map<uint16_t, Entry> expected = {
        {254, {kLong, 1, 0}},   {256, {kShort, 1, 3}},    {257, {kShort, 1, 2}},
        {258, {kShort, 3, 24}}, {259, {kShort, 1, 1}},    {262, {kShort, 1, 2}},
        {273, {kLong, 1, 40}},  {277, {kShort, 1, 3}},    {278, {kLong, 1, 2}},
        {279, {kLong, 1, 18}},  {282, {kRational, 1, 8}}, {283, {kRational, 1, 16}},
        {284, {kShort, 1, 1}},  {296, {kShort, 1, 2}},    {305, {kAscii, 10, 30}},
    };
    EXPECT_EQ(d.entries, expected);
}

TEST(TiffWriter, ThirtyTwoBitAndDeviceBitmapsGiveTheFileOfTheTwentyFourBitOne) {
    Bitmap rgb = makeTestPattern(5, 3, PixelFormat::Bits24, 11);
    Bitmap wide = rgb;
    wide.setPixelFormat(PixelFormat::Bits32);
    Bitmap device = rgb;
    device.setPixelFormat(PixelFormat::Device);
    const auto expected = tiffBytes(rgb);
    EXPECT_EQ(expected.size(), 3u * 5 * 3 + 226);
    EXPECT_EQ(tiffBytes(wide), expected);
    EXPECT_EQ(tiffBytes(device), expected);
}

TEST(TiffWriter, BlackAndWhitePicturesAreBilevelWithTheirOwnPaletteOrder) {
    Bitmap b(9, 3, PixelFormat::Bits1);  // black, white
    b.setIndex(0, 0, 1);
    b.setIndex(8, 0, 1);
    b.setIndex(4, 2, 1);
    const auto file = tiffBytes(b);
    ASSERT_EQ(file.size(), 208u + 2 * 3);
    EXPECT_EQ(le32(file, 4), 8u + 6 + 26);
    EXPECT_EQ(file[8], 0x80);  // top row: first and ninth pixel set, 2 bytes a row
    EXPECT_EQ(file[9], 0x80);
    EXPECT_EQ(file[12], 0x08);  // bottom row last
    Directory d = readDirectory(file);
    EXPECT_EQ(d.tags.size(), 14u);
    EXPECT_EQ(d.entries[258], (Entry{kShort, 1, 1}));
    EXPECT_EQ(d.entries[262], (Entry{kShort, 1, 1}));  // black is zero
    EXPECT_EQ(d.entries[273], (Entry{kLong, 1, 8}));
    EXPECT_EQ(d.entries[279], (Entry{kLong, 1, 6}));
    EXPECT_EQ(d.entries.count(320), 0u);

    // The same bits over a white, black palette are the opposite picture: a 0 bit is white.
    Bitmap inverted = b;
    inverted.setColorTable({{255, 255, 255, 0}, {0, 0, 0, 0}});
    const auto invertedFile = tiffBytes(inverted);
    ASSERT_EQ(invertedFile.size(), file.size());
    EXPECT_EQ(readDirectory(invertedFile).entries[262], (Entry{kShort, 1, 0}));
    EXPECT_TRUE(std::equal(file.begin() + 8, file.begin() + 14, invertedFile.begin() + 8));
}

TEST(TiffWriter, OneBitPicturesOfOtherColoursGetAColourMap) {
    Bitmap b = makeTestPattern(9, 2, PixelFormat::Bits1, 3);
    b.setColorTable({{0, 0, 255, 0}, {255, 0, 0, 0}});  // red, blue
    const auto file = tiffBytes(b);
    ASSERT_EQ(file.size(), 6u * 2 + 220 + 2 * 2);
    Directory d = readDirectory(file);
    EXPECT_EQ(d.tags.size(), 15u);
    EXPECT_EQ(d.entries[258], (Entry{kShort, 1, 1}));
    EXPECT_EQ(d.entries[262], (Entry{kShort, 1, 3}));
    EXPECT_EQ(d.entries[320], (Entry{kShort, 6, 8}));
    // Red values, green values, blue values.
    EXPECT_EQ(le16(file, 8), 0xFF00);
    EXPECT_EQ(le16(file, 10), 0);
    EXPECT_EQ(le16(file, 16), 0);
    EXPECT_EQ(le16(file, 18), 0xFF00);
}

TEST(TiffWriter, FourBitPicturesKeepTheirFullWidth) {
    for (int width : {7, 8}) {
        SCOPED_TRACE(width);
        Bitmap b = makeTestPattern(width, 3, PixelFormat::Bits4, 5);
        const auto file = tiffBytes(b);
        const size_t rowBytes = (size_t(width) + 1) / 2;
        ASSERT_EQ(file.size(), 6u * 16 + 220 + rowBytes * 3);
        Directory d = readDirectory(file);
        EXPECT_EQ(d.entries[256], (Entry{kShort, 1, uint32_t(width)}));
        EXPECT_EQ(d.entries[258], (Entry{kShort, 1, 4}));
        EXPECT_EQ(d.entries[279], (Entry{kLong, 1, uint32_t(rowBytes * 3)}));
        EXPECT_EQ(d.entries[320], (Entry{kShort, 48, 8}));
        // The image follows the colour map, resolutions and name; top row first.
        const uint32_t image = d.entries[273].value;
        EXPECT_EQ(image, 8u + 96 + 26);
        EXPECT_EQ(file[image + rowBytes - 1], b.scanLine(0)[rowBytes - 1]);
        EXPECT_EQ(file[image + 3 * rowBytes - 1], b.scanLine(2)[rowBytes - 1]);
    }
}

TEST(TiffWriter, EightBitPicturesCarryAColourMapOf768Values) {
    Bitmap b = makeTestPattern(5, 4, PixelFormat::Bits8, 8);
    const auto& table = b.colorTable();
    const auto file = tiffBytes(b);
    ASSERT_EQ(file.size(), 6u * 256 + 220 + 5 * 4);
    EXPECT_EQ(le16(file, 8), table[0].red * 256);
    EXPECT_EQ(le16(file, 8 + 2 * 255), table[255].red * 256);
    EXPECT_EQ(le16(file, 8 + 512), table[0].green * 256);
    EXPECT_EQ(le16(file, 8 + 1024 + 2 * 7), table[7].blue * 256);
    Directory d = readDirectory(file);
    EXPECT_EQ(d.entries[320], (Entry{kShort, 768, 8}));
    EXPECT_EQ(d.entries[282].value, 8u + 1536);
    EXPECT_EQ(d.entries[305].value, 8u + 1536 + 16);
    EXPECT_EQ(d.offset, file.size() - 186);

    // A table shorter than the depth allows leaves the other entries black.
    Bitmap few(2, 1, PixelFormat::Bits8);
    few.setColorTable({{10, 20, 30, 0}});
    const auto fewFile = tiffBytes(few);
    EXPECT_EQ(le16(fewFile, 8), 30 * 256);
    EXPECT_EQ(le16(fewFile, 10), 0);
}

TEST(TiffWriter, EmptyBitmapsWriteNothing) {
    MemoryStream out;
    WriteTiff(out, Bitmap());
    WriteTiff(out, Bitmap(0, 5, PixelFormat::Bits24));
    WriteTiff(out, Bitmap(5, 0, PixelFormat::Bits1));
    EXPECT_EQ(out.size(), 0u);

    TempDir dir;
    std::string path = dir.file("empty.tif");
    test::writeFileBytes(path, {1, 2, 3});
    SaveTiffFile(path, Bitmap());
    EXPECT_TRUE(test::fileExists(path));
    EXPECT_TRUE(readFileBytes(path).empty());
}

// Reads the file with libtiff: what tiffinfo says while reading every strip (less its note about
// the name counted without a NUL), and the pixels as tiff2rgba decodes them.
struct LibtiffReading {
    std::string complaints;
    std::vector<Color> pixels;
};
LibtiffReading readWithLibtiff(const std::string& path, const TempDir& dir) {
    LibtiffReading reading;
    auto info = runCommand("tiffinfo -D " + shellQuote(path) + " >/dev/null");
    std::istringstream lines(info.output);
    for (std::string line; std::getline(lines, line);)
        if (line.find("does not end in null byte") == std::string::npos)
            reading.complaints += line;
    if (info.exitCode != 0)
        reading.complaints += " (exit " + std::to_string(info.exitCode) + ")";
    // Pillow only reads tiff2rgba's plain output here; the decoding is libtiff's.
    const std::string rgba = dir.file("libtiff-rgba.tif");
    auto r = runCommand("tiff2rgba -c none " + shellQuote(path) + " " + shellQuote(rgba));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    reading.pixels = decodeWithPillow(rgba).pixels;
    return reading;
}

TEST(TiffWriter, IndependentDecodersReadEveryDepthPixelForPixel) {
    ASSERT_TRUE(test::toolAvailable("tiff2rgba")) << "libtiff-tools is needed";
    TempDir dir;
    const std::string path = dir.file("round.tif");
    struct Case {
        PixelFormat format;
        std::vector<RGBQuad> table;  // for 1-bit pictures
        const char* pillowMode;
    };
    const std::vector<Case> cases = {
        {PixelFormat::Bits1, {{0, 0, 0, 0}, {255, 255, 255, 0}}, "1"},
        {PixelFormat::Bits1, {{255, 255, 255, 0}, {0, 0, 0, 0}}, "1"},
        {PixelFormat::Bits1, {{0, 0, 255, 0}, {255, 128, 0, 0}}, "P"},
        {PixelFormat::Bits1, {{40, 40, 40, 0}, {40, 40, 40, 0}}, "P"},
        {PixelFormat::Bits4, {}, "P"},
        {PixelFormat::Bits8, {}, "P"},
        {PixelFormat::Bits15, {}, "RGB"},
        {PixelFormat::Bits16, {}, "RGB"},
        {PixelFormat::Bits24, {}, "RGB"},
        {PixelFormat::Bits32, {}, "RGB"},
        {PixelFormat::Device, {}, "RGB"},
    };
    uint32_t seed = 20;
    for (const Case& c : cases) {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{13, 7}, std::pair{31, 5}}) {
            SCOPED_TRACE(testing::Message() << "format " << int(c.format) << ", " << w << "x" << h);
            Bitmap b = makeTestPattern(w, h, c.format, ++seed);
            if (!c.table.empty())
                b.setColorTable(c.table);
            SaveTiffFile(path, b);

            test::DecodedImage pillow = decodeWithPillow(path);
            EXPECT_EQ(pillow.mode, c.pillowMode);
            EXPECT_EQ(pillow.width, w);
            EXPECT_EQ(pillow.height, h);
            EXPECT_EQ(pillow.pixels, pixelsOf(b));
            LibtiffReading libtiff = readWithLibtiff(path, dir);
            EXPECT_EQ(libtiff.complaints, "");
            EXPECT_EQ(libtiff.pixels, pixelsOf(b));
        }
    }
}

TEST(TiffWriter, SizesBeyondAShortAreWrittenAsLongs) {
    Bitmap tall(1, 65536, PixelFormat::Bits8);
    Directory d = readDirectory(tiffBytes(tall));
    EXPECT_EQ(d.entries[256], (Entry{kShort, 1, 1}));
    EXPECT_EQ(d.entries[257], (Entry{kLong, 1, 65536}));
    EXPECT_EQ(d.entries[278], (Entry{kLong, 1, 65536}));

    TempDir dir;
    Bitmap wide = makeTestPattern(70001, 2, PixelFormat::Bits24, 9);
    const std::string path = dir.file("wide.tif");
    SaveTiffFile(path, wide);
    d = readDirectory(readFileBytes(path));
    EXPECT_EQ(d.entries[256], (Entry{kLong, 1, 70001}));
    EXPECT_EQ(d.entries[257], (Entry{kShort, 1, 2}));
    EXPECT_EQ(decodeWithPillow(path).pixels, pixelsOf(wide));
    LibtiffReading libtiff = readWithLibtiff(path, dir);
    EXPECT_EQ(libtiff.complaints, "");
    EXPECT_EQ(libtiff.pixels, pixelsOf(wide));
}

TEST(TiffWriter, FilesThatCannotBeWrittenAreReported) {
    TempDir dir;
    const std::string missing = dir.file("no-such-folder/shot.tif");
    try {
        SaveTiffFile(missing, makeTestPattern(3, 3, PixelFormat::Bits24));
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + missing + "\". No such file or directory");
    }
    EXPECT_THROW(SaveTiffFile("/dev/full", makeTestPattern(3, 3, PixelFormat::Bits8)), EWriteError);
    EXPECT_THROW(SaveTiffFile("/dev/full", makeTestPattern(300, 300, PixelFormat::Device)),
                 EWriteError);

    // A disk that fills part way leaves the older file of that name as it was, and nothing else.
    const std::string path = dir.file("cut.tif");
    test::writeFileBytes(path, {1, 2, 3});
    Bitmap b = makeTestPattern(400, 300, PixelFormat::Device);  // 360 000 bytes of pixels
    EXPECT_EQ(test::runWithFileSizeLimit(100000, [&] { SaveTiffFile(path, b); }),
              "Cannot write file \"" + path + "\". File too large");
    EXPECT_EQ(readFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"cut.tif"});
    // With room enough the same child writes the whole file.
    EXPECT_EQ(test::runWithFileSizeLimit(1000000, [&] { SaveTiffFile(path, b); }), "");
    EXPECT_EQ(readFileBytes(path), tiffBytes(b));
}

}  // namespace
}  // namespace fk
