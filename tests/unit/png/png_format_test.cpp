// File layout, chunk bytes, image data chunking and the image object's own rules.
#include <gtest/gtest.h>

#include <random>
#include <type_traits>

#include "graphics/stream.h"
#include "png_test_util.h"
#include "support/test_support.h"

namespace fk {
namespace {

using test::encode;
using test::inflateImageData;
using test::parseChunks;
using Bytes = std::vector<uint8_t>;

static_assert(std::is_base_of_v<Exception, EPngError>);
static_assert(std::is_base_of_v<Exception, EPNGHeaderNotPresent>);

const Bytes kSignature = {137, 80, 78, 71, 13, 10, 26, 10};

std::vector<std::string> typesOf(const std::vector<test::ParsedChunk>& chunks) {
    std::vector<std::string> types;
    for (const auto& c : chunks)
        types.push_back(c.type);
    return types;
}

TEST(PngFormat, OnePixelTruecolourFile) {
    Bitmap b(1, 1, PixelFormat::Bits24);
    b.setPixel(0, 0, {0x12, 0x34, 0x56});
    const Bytes file = encode(b);
    ASSERT_GE(file.size(), 8u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), kSignature);

    const auto chunks = parseChunks(file);
    ASSERT_EQ(typesOf(chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0}));
    // The whole IHDR chunk, 25 bytes, with its CRC as zlib computes it.
    const Bytes ihdr(file.begin() + 8, file.begin() + 33);
    EXPECT_EQ(Bytes(ihdr.begin(), ihdr.begin() + 8), (Bytes{0, 0, 0, 13, 'I', 'H', 'D', 'R'}));
    EXPECT_EQ(Bytes(file.end() - 12, file.end()),
              (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
    for (const auto& c : chunks)
        EXPECT_EQ(c.storedCrc, c.zlibCrc) << c.type;

    // Sub on a single pixel leaves red, green, blue as they are.
    EXPECT_EQ(inflateImageData(chunks), (Bytes{1, 0x12, 0x34, 0x56}));
}

TEST(PngFormat, NeverAssignedImageIsTheSignatureAlone) {
    TPNGObject png;
    MemoryStream out;
    png.SaveToStream(out);
    EXPECT_EQ(out.bytes(), kSignature);
    EXPECT_TRUE(png.Empty());
}

TEST(PngFormat, PaletteImagesWriteTheFullPalette) {
    Bitmap eight(3, 2, PixelFormat::Bits8);
    eight.setColorTable({{1, 2, 3, 0}, {4, 5, 6, 0}});  // two entries; the rest read as black
    eight.setIndex(2, 1, 1);
    auto chunks = parseChunks(encode(eight));
    ASSERT_EQ(typesOf(chunks), (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}));
    EXPECT_EQ(chunks[0].data[8], 8);  // bit depth
    EXPECT_EQ(chunks[0].data[9], 3);  // colour type
    ASSERT_EQ(chunks[1].data.size(), 768u);
    EXPECT_EQ(Bytes(chunks[1].data.begin(), chunks[1].data.begin() + 7),
              (Bytes{3, 2, 1, 6, 5, 4, 0}));
    EXPECT_EQ(Bytes(chunks[1].data.begin() + 6, chunks[1].data.end()), Bytes(762, 0));

    Bitmap one(9, 1, PixelFormat::Bits1);
    one.setColorTable({{0, 0, 255, 0}, {0, 255, 0, 0}});
    chunks = parseChunks(encode(one));
    EXPECT_EQ(chunks[0].data[8], 1);
    EXPECT_EQ(chunks[0].data[9], 3);
    EXPECT_EQ(chunks[1].data, (Bytes{255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(inflateImageData(chunks).size(), 1u + 2u);  // 9 pixels in 2 bytes

    Bitmap four(5, 1, PixelFormat::Bits4);
    chunks = parseChunks(encode(four));
    EXPECT_EQ(chunks[0].data[8], 4);
    EXPECT_EQ(chunks[1].data.size(), 48u);
}

TEST(PngFormat, ThirtyTwoAndTwentyFourBitsGiveTheSameFile) {
    const Bitmap deep = test::makeTestPattern(37, 23, PixelFormat::Bits32, 5);
    Bitmap device = deep;
    device.setPixelFormat(PixelFormat::Device);
    Bitmap shallow = deep;
    shallow.setPixelFormat(PixelFormat::Bits24);
    EXPECT_EQ(encode(deep), encode(shallow));
    EXPECT_EQ(encode(device), encode(shallow));
}

TEST(PngFormat, WidthOneRowsAreSubFilteredPixels) {
    Bitmap b(1, 3, PixelFormat::Bits24);
    b.setPixel(0, 0, {10, 20, 30});
    b.setPixel(0, 1, {40, 50, 60});
    b.setPixel(0, 2, {70, 80, 90});
    EXPECT_EQ(inflateImageData(parseChunks(encode(b))),
              (Bytes{1, 10, 20, 30, 1, 40, 50, 60, 1, 70, 80, 90}));
}

TEST(PngFormat, ImageDataInflatesToEveryFilteredRow) {
    for (PixelFormat f :
         {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits24}) {
        const Bitmap b = test::makeTestPattern(61, 17, f, 3);
        const size_t rowBytes =
            f == PixelFormat::Bits24 ? 61 * 3 : (61 * size_t(b.bitsPerPixel()) + 7) / 8;
        // Each set with the filter type every row must carry; 255 = any type the choice makes.
        const std::pair<TFilters, int> cases[] = {
            {TFilters{pfSub}, 1}, {TFilters{pfPaeth}, 4}, {TFilters{}, 0}, {TFilters::all(), 255}};
        for (const auto& [set, expectedType] : cases) {
            const Bytes rows = inflateImageData(parseChunks(encode(b, set)));
            ASSERT_EQ(rows.size(), 17 * (rowBytes + 1));
            for (size_t y = 0; y < 17; ++y) {
                const uint8_t type = rows[y * (rowBytes + 1)];
                EXPECT_LE(type, 4);
                if (expectedType != 255) {
                    EXPECT_EQ(type, expectedType);
                }
            }
        }
    }
}

// Stored (level 0) data grows with the picture almost byte for byte, so some width of a
// one-row picture of noise compresses to exactly `target` bytes.
std::vector<test::ParsedChunk> chunksWithCompressedSize(size_t target) {
    std::mt19937 rng(7);
    for (int width = int(target) - 40; width < int(target) + 40; ++width) {
        Bitmap b(width, 1, PixelFormat::Bits8);
        for (int x = 0; x < width; ++x)
            b.setIndex(x, 0, uint8_t(rng()));
        auto chunks = parseChunks(encode(b, {pfNone}, 0));
        size_t total = 0;
        for (const auto& c : chunks)
            if (c.type == "IDAT")
                total += c.data.size();
        if (total == target)
            return chunks;
    }
    ADD_FAILURE() << "no width compresses to " << target << " bytes";
    return {};
}

TEST(PngFormat, ImageDataSplitsAtTheChunkLimit) {
    auto idatSizes = [](const std::vector<test::ParsedChunk>& chunks) {
        std::vector<size_t> sizes;
        for (const auto& c : chunks)
            if (c.type == "IDAT")
                sizes.push_back(c.data.size());
        return sizes;
    };
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65535)), (std::vector<size_t>{65535}));
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65536)), (std::vector<size_t>{65535, 1}));

    // A large picture of noise: every chunk but the last is full, none is empty, CRCs hold.
    const Bitmap noise = test::makeTestPattern(301, 297, PixelFormat::Bits24, 11);
    const auto chunks = parseChunks(encode(noise));
    const auto sizes = idatSizes(chunks);
    ASSERT_GT(sizes.size(), 3u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 65535u);
    EXPECT_GE(sizes.back(), 1u);
    for (const auto& c : chunks)
        EXPECT_EQ(c.storedCrc, c.zlibCrc);
    EXPECT_EQ(inflateImageData(chunks).size(), 297u * (301 * 3 + 1));
}

TEST(PngFormat, LargerChunkLimitGivesFewerChunks) {
    const Bitmap noise = test::makeTestPattern(301, 297, PixelFormat::Bits24, 11);
    TPNGObject png;
    png.SetIdatLimit(1000);
    EXPECT_EQ(png.IdatLimit(), 65535);
    png.SetIdatLimit(1 << 20);
    png.Assign(noise);
    MemoryStream out;
    png.SaveToStream(out);
    const auto chunks = parseChunks(out.bytes());
    EXPECT_EQ(typesOf(chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(PngFormat, SavingTwiceWritesTheSameBytes) {
    TPNGObject png;
    png.Assign(test::makeTestPattern(40, 30, PixelFormat::Bits4, 2));
    MemoryStream first, second;
    png.SaveToStream(first);
    png.SaveToStream(second);
    EXPECT_EQ(first.bytes(), second.bytes());
}

TEST(PngObject, ChunkNamesComeFromTheClass) {
    TPNGObject png;
    EXPECT_EQ(TChunkIHDR(png).GetName(), "IHDR");
    EXPECT_EQ(TChunkPLTE(png).GetName(), "PLTE");
    EXPECT_EQ(TChunkIDAT(png).GetName(), "IDAT");
    EXPECT_EQ(TChunkIEND(png).GetName(), "IEND");
    EXPECT_EQ(TChunk(png).GetName(), "");
    EXPECT_EQ(TChunk::chunkNameFromClass("TChunktRNS"), "tRNS");
    EXPECT_EQ(TChunk::chunkNameFromClass("TChunkTooLong"), "");
}

TEST(PngObject, HeaderOfAnImageWithoutOne) {
    TPNGObject png;
    try {
        png.Header();
        FAIL() << "no error";
    } catch (const EPNGHeaderNotPresent& e) {
        EXPECT_STREQ(
            e.what(),
            "This operation is not valid because the current image contains no valid header.");
    }
    EXPECT_THROW(png.Width(), EPNGHeaderNotPresent);
    // An image whose chunks lack a header cannot write its image data.
    png.AddChunk<TChunkIDAT>();
    MemoryStream out;
    EXPECT_THROW(png.SaveToStream(out), EPNGHeaderNotPresent);
}

TEST(PngObject, ChunksAssignOnlyFromTheirOwnClass) {
    TPNGObject png;
    png.Assign(test::makeTestPattern(3, 3, PixelFormat::Bits8));
    TChunkPLTE palette(png);
    try {
        palette.Assign(png.Header());
        FAIL() << "no error";
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), "The chunks must be compatible to be assigned.");
    }
    TChunkIHDR header(png);
    EXPECT_THROW(header.Assign(*png.Chunks().Item(1)), EPngError);
    palette.Assign(*png.Chunks().Item(1));
    EXPECT_EQ(palette.Count(), 256);
}

TEST(PngObject, PaletteEntriesOutsideTheCount) {
    TPNGObject png;
    Bitmap b(2, 2, PixelFormat::Bits1);
    b.setColorTable({{10, 20, 30, 0}, {40, 50, 60, 0}});
    png.Assign(b);
    const auto* palette = png.Chunks().ItemFromClass<TChunkPLTE>();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->Item(1), (Color{60, 50, 40}));
    try {
        palette->Item(2);
        FAIL() << "no error";
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), "There is no such palette entry.");
    }
    EXPECT_THROW(palette->Item(-1), EPngError);
}

TEST(PngObject, AssignFromAnotherImageCopiesOptionsAndChunks) {
    TPNGObject source;
    source.SetFilterSet(TFilters::all());
    source.SetDeflateLevel(3);
    source.SetIdatLimit(100000);
    source.Assign(test::makeTestPattern(19, 11, PixelFormat::Bits8, 4));
    TPNGObject copy;
    copy.Assign(Bitmap(4, 4, PixelFormat::Bits24));
    copy.Assign(source);
    EXPECT_EQ(copy.FilterSet(), TFilters::all());
    EXPECT_EQ(copy.DeflateLevel(), 3);
    EXPECT_EQ(copy.IdatLimit(), 100000);
    ASSERT_EQ(copy.Chunks().Count(), 4);
    EXPECT_EQ(&copy.Chunks().Item(0)->Owner(), &copy);
    MemoryStream a, b;
    source.SaveToStream(a);
    copy.SaveToStream(b);
    EXPECT_EQ(a.bytes(), b.bytes());

    source.Clear();  // the copy owns chunks of its own
    MemoryStream c;
    copy.SaveToStream(c);
    EXPECT_EQ(c.bytes(), b.bytes());
    EXPECT_EQ(copy.Chunks().Item(4), nullptr);
    EXPECT_EQ(copy.Chunks().Item(-1), nullptr);
}

}  // namespace
}  // namespace fk
