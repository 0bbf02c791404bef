// File layout, chunk bytes, image data chunking and the image object's own rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <type_traits>

#include "base/stream.h"
#include "png_test_util.h"
#include "support/test_support.h"

namespace fk {
namespace {

using test::encode;
using test::inflateImageData;
using test::parseChunks;
using Bytes = std::vector<uint8_t>;
using Types = std::vector<std::string>;

static_assert(std::is_base_of_v<Exception, EPngError>);
static_assert(std::is_base_of_v<Exception, EPNGHeaderNotPresent>);

const Bytes kSignature = {137, 80, 78, 71, 13, 10, 26, 10};

Types typesOf(const std::vector<test::ParsedChunk>& chunks) {
    Types types;
    for (const auto& c : chunks)
        types.push_back(c.type);
    return types;
}

std::vector<size_t> idatSizes(const std::vector<test::ParsedChunk>& chunks) {
    std::vector<size_t> sizes;
    for (const auto& c : chunks)
        if (c.type == "IDAT")
            sizes.push_back(c.data.size());
    return sizes;
}

TEST(PngFormat, OnePixelTruecolourFile) {
    Bitmap b(1, 1, PixelFormat::Bits24);
    b.setPixel(0, 0, {0x12, 0x34, 0x56});
    const Bytes file = encode(b);
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), kSignature);
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 29),
              (Bytes{0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.end() - 12, file.end()),
              (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));

    const auto chunks = parseChunks(file);
    ASSERT_EQ(typesOf(chunks), (Types{"IHDR", "IDAT", "IEND"}));
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
}

TEST(PngFormat, PaletteImagesWriteTheFullPalette) {
    Bitmap eight(3, 2, PixelFormat::Bits8);
    eight.setColorTable({{1, 2, 3, 0}, {4, 5, 6, 0}});  // two entries; the rest read as black
    auto chunks = parseChunks(encode(eight));
    ASSERT_EQ(typesOf(chunks), (Types{"IHDR", "PLTE", "IDAT", "IEND"}));
    EXPECT_EQ(Bytes(chunks[0].data.begin() + 8, chunks[0].data.end()), (Bytes{8, 3, 0, 0, 0}));
    Bytes expected(768, 0);
    std::copy_n(Bytes{3, 2, 1, 6, 5, 4}.begin(), 6, expected.begin());
    EXPECT_EQ(chunks[1].data, expected);

    Bitmap one(9, 1, PixelFormat::Bits1);
    one.setColorTable({{0, 0, 255, 0}, {0, 255, 0, 0}});
    chunks = parseChunks(encode(one));
    EXPECT_EQ(Bytes(chunks[0].data.begin() + 8, chunks[0].data.end()), (Bytes{1, 3, 0, 0, 0}));
    EXPECT_EQ(chunks[1].data, (Bytes{255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(inflateImageData(chunks).size(), 1u + 2u);  // 9 pixels in 2 bytes

    chunks = parseChunks(encode(Bitmap(5, 1, PixelFormat::Bits4)));
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

TEST(PngFormat, EveryRowCarriesTheFilterOfItsSet) {
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits24}) {
        const Bitmap b = test::makeTestPattern(61, 17, f, 3);
        const size_t line =
            (61 * size_t(f == PixelFormat::Bits24 ? 24 : b.bitsPerPixel()) + 7) / 8 + 1;
        const std::pair<TFilters, int> cases[] = {
            {TFilters{pfSub}, 1}, {TFilters{pfPaeth}, 4}, {TFilters{}, 0}};
        for (const auto& [set, type] : cases) {
            const Bytes rows = inflateImageData(parseChunks(encode(b, set)));
            ASSERT_EQ(rows.size(), 17 * line);
            for (size_t y = 0; y < 17; ++y)
                EXPECT_EQ(rows[y * line], type);
        }
    }
}

// Stored (level 0) data grows with the picture almost byte for byte, so some width of a
// one-row picture of noise compresses to exactly `target` bytes.
std::vector<test::ParsedChunk> chunksWithCompressedSize(size_t target, int threads = 1) {
    int width = int(target);
    for (int tries = 0; tries < 100; ++tries) {
        std::mt19937 rng(7);
        Bitmap b(width, 1, PixelFormat::Bits8);
        for (int x = 0; x < width; ++x)
            b.setIndex(x, 0, uint8_t(rng()));
        auto chunks = parseChunks(encode(b, {pfNone}, 0, threads, 1000));
        size_t total = 0;
        for (size_t n : idatSizes(chunks))
            total += n;
        if (total == target)
            return chunks;
        // Half the way there: the pieces' seams make the size jump now and then.
        const int gap = int(target) - int(total);
        width += gap > 0 ? std::max(1, gap / 2) : std::min(-1, gap / 2);
    }
    ADD_FAILURE() << "no width compresses to " << target << " bytes";
    return {};
}

TEST(PngFormat, ImageDataSplitsAtTheChunkLimit) {
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65535)), (std::vector<size_t>{65535}));
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65536)), (std::vector<size_t>{65535, 1}));
    // The same edges when the data is deflated in pieces on threads.
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65535, 2)), (std::vector<size_t>{65535}));
    EXPECT_EQ(idatSizes(chunksWithCompressedSize(65536, 2)), (std::vector<size_t>{65535, 1}));

    // A larger picture of noise: every chunk but the last is full, and the CRCs hold.
    const Bitmap noise = test::makeTestPattern(301, 297, PixelFormat::Bits24, 11);
    const auto chunks = parseChunks(encode(noise));
    const auto sizes = idatSizes(chunks);
    ASSERT_GT(sizes.size(), 3u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], 65535u);
    for (const auto& c : chunks)
        EXPECT_EQ(c.storedCrc, c.zlibCrc);
    EXPECT_EQ(inflateImageData(chunks).size(), 297u * (301 * 3 + 1));

    // Limits below the default are raised to it; a larger one holds the whole stream.
    TPNGObject png;
    png.SetIdatLimit(1000);
    EXPECT_EQ(png.IdatLimit(), 65535);
    png.SetIdatLimit(1 << 20);
    png.Assign(noise);
    MemoryStream out;
    png.SaveToStream(out);
    EXPECT_EQ(typesOf(parseChunks(out.bytes())), (Types{"IHDR", "IDAT", "IEND"}));
}

// The image data deflated in pieces on threads inflates to the one-thread bytes, for pictures and
// pieces around every seam: one row, one piece, pieces smaller than a row or of exactly one,
// palette rows that choose their filters (which read the row above a piece), 32-bit rows, and
// pieces and pictures at the 65535-byte chunk size.
TEST(PngFormat, PiecesOnThreadsInflateToTheOneThreadBytes) {
    struct Case {
        int width, height;
        PixelFormat format;
        TFilters filters;
        int level;
        size_t piece;
        int threads;
    };
    const TFilters sub{pfSub};
    const Case cases[] = {
        {7, 1, PixelFormat::Bits24, sub, 7, 5, 2},                // one row, pieces within it
        {40, 30, PixelFormat::Device, sub, 7, 1 << 20, 2},        // one piece: one pass
        {40, 30, PixelFormat::Device, sub, 7, 121, 2},            // a piece is a scanline
        {40, 30, PixelFormat::Bits32, sub, 7, 120, 3},            // a byte short of one
        {33, 50, PixelFormat::Bits4, TFilters::all(), 6, 17, 2},  // rows choose their filter
        {64, 40, PixelFormat::Bits8, {pfPaeth}, 1, 333, 2},
        {13, 9, PixelFormat::Bits1, {pfUp, pfAverage}, 9, 1, 2},  // one-byte pieces
        {101, 300, PixelFormat::Bits32, {pfUp}, 0, 65535, 2},     // stored, across the limit
        {428, 102, PixelFormat::Bits24, sub, 7, 65535, 2},        // two pieces, both full
        {428, 102, PixelFormat::Bits24, sub, 7, 65534, 4},        // the last piece 2 bytes
        {428, 102, PixelFormat::Device, sub, 9, 65536, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", bits "
                                        << bitsPerPixel(c.format) << ", piece " << c.piece
                                        << ", threads " << c.threads << ", level " << c.level);
        const Bitmap source =
            test::makeTestPattern(c.width, c.height, c.format, uint32_t(c.width + c.height));
        const Bytes reference = encode(source, c.filters, c.level);
        const Bytes pieces = encode(source, c.filters, c.level, c.threads, c.piece);
        const auto referenceChunks = parseChunks(reference);
        const auto chunks = parseChunks(pieces);
        ASSERT_EQ(typesOf(chunks).front(), "IHDR");
        EXPECT_EQ(chunks.front().data, referenceChunks.front().data);
        const auto sizes = idatSizes(chunks);
        for (size_t i = 0; i + 1 < sizes.size(); ++i)
            EXPECT_EQ(sizes[i], 65535u);
        EXPECT_GE(sizes.back(), 1u);
        for (const auto& chunk : chunks)
            EXPECT_EQ(chunk.storedCrc, chunk.zlibCrc) << chunk.type;
        // The zlib header as zlib writes it for the level; inflating checks the Adler-32.
        const auto idat = std::find_if(chunks.begin(), chunks.end(),
                                       [](const auto& chunk) { return chunk.type == "IDAT"; });
        const auto referenceIdat =
            std::find_if(referenceChunks.begin(), referenceChunks.end(),
                         [](const auto& chunk) { return chunk.type == "IDAT"; });
        EXPECT_EQ(Bytes(idat->data.begin(), idat->data.begin() + 2),
                  Bytes(referenceIdat->data.begin(), referenceIdat->data.begin() + 2));
        EXPECT_EQ(inflateImageData(chunks), inflateImageData(referenceChunks));
        if (c.piece >= size_t(c.height) * (Bitmap::strideFor(c.width, 24) + 1)) {
            EXPECT_EQ(pieces, reference) << "a single piece is the one-pass stream";
        }
    }
}

template <typename E, typename F>
void expectError(F&& action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error; expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(e.what(), message);
    }
}

TEST(PngObject, ErrorsOfChunksAndHeader) {
    TPNGObject png;
    expectError<EPNGHeaderNotPresent>(
        [&] { png.Header(); },
        "This operation is not valid because the current image contains no valid header.");
    png.AddChunk<TChunkIDAT>();  // image data without a header cannot be written
    MemoryStream out;
    EXPECT_THROW(png.SaveToStream(out), EPNGHeaderNotPresent);

    Bitmap b(2, 2, PixelFormat::Bits1);
    b.setColorTable({{10, 20, 30, 0}, {40, 50, 60, 0}});
    png.Assign(b);
    TChunkPLTE palette(png);
    expectError<EPngError>([&] { palette.Assign(png.Header()); },
                           "The chunks must be compatible to be assigned.");
    EXPECT_THROW(TChunkIHDR(png).Assign(*png.Chunks().Item(1)), EPngError);
    palette.Assign(*png.Chunks().Item(1));
    EXPECT_EQ(palette.Item(1), (Color{60, 50, 40}));
    expectError<EPngError>([&] { palette.Item(2); }, "There is no such palette entry.");
    EXPECT_THROW(palette.Item(-1), EPngError);
}

TEST(PngObject, ChunkNamesComeFromTheClass) {
    TPNGObject png;
    const Types names = {TChunkIHDR(png).GetName(), TChunkPLTE(png).GetName(),
                         TChunkIDAT(png).GetName(), TChunkIEND(png).GetName(),
                         TChunk(png).GetName(),     TChunk::chunkNameFromClass("TChunktRNS")};
    EXPECT_EQ(names, (Types{"IHDR", "PLTE", "IDAT", "IEND", "", "tRNS"}));
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
    EXPECT_EQ(&copy.Chunks().Item(0)->Owner(), &copy);

    MemoryStream a, b, c;
    source.SaveToStream(a);
    source.Clear();  // the copy owns chunks of its own
    copy.SaveToStream(b);
    copy.SaveToStream(c);  // and saving twice writes the same bytes
    EXPECT_EQ(a.bytes(), b.bytes());
    EXPECT_EQ(b.bytes(), c.bytes());
}

}  // namespace
}  // namespace fk
