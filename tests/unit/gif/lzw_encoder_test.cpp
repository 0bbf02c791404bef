#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "gif/lzw_encoder.h"
#include "gif_test_support.h"

using namespace fk;
using fk::test::LzwTrace;
using fk::test::randomIndexes;
using fk::test::traceImageData;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(int codeBits, int colorCount, const Bytes& pixels, int width, int height,
             bool interlace = false, bool rle = false) {
    MemoryStream out;
    if (rle)
        TRLEEncoder().EncodeFrameData(out, codeBits, colorCount, pixels.data(), interlace, height,
                                      width);
    else
        TLZWEncoder().EncodeFrameData(out, codeBits, colorCount, pixels.data(), interlace, height,
                                      width);
    return out.takeBytes();
}

// The plain string table walk, one look-up per pixel, packed and cut into sub-blocks the
// simplest way: the bytes every shortcut of the encoder must give.
Bytes plainLzw(int codeBits, const Bytes& pixels) {
    const int codeSize = std::max(codeBits, 2);
    const uint32_t clear = 1u << codeSize, end = clear + 1;
    Bytes codes;  // the packed code bytes
    uint64_t acc = 0;
    int bits = 0, width = codeSize + 1;
    uint32_t next = clear + 2;
    THashTable table;
    auto emit = [&](uint32_t code) {
        acc |= uint64_t(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
            codes.push_back(uint8_t(acc));
    };
    auto grow = [&] {
        if (next > (width == 12 ? 4096u : (1u << width) - 1))
            ++width;
    };
    emit(clear);
    width = codeSize + 1;
    uint32_t prefix = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const uint32_t key = prefix << 8 | pixels[i];
        const int found = table.FindCode(key);
        if (found >= 0) {
            prefix = uint32_t(found);
            continue;
        }
        emit(prefix);
        grow();
        prefix = pixels[i];
        if (next >= 4095) {
            emit(clear);
            width = codeSize + 1;
            table.Clear();
            next = clear + 2;
        } else {
            table.StoreCode(key, next++);
        }
    }
    emit(prefix);
    grow();
    emit(end);
    if (bits > 0)
        codes.push_back(uint8_t(acc));
    Bytes out{uint8_t(codeSize)};
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + ptrdiff_t(at), codes.begin() + ptrdiff_t(at + n));
    }
    out.push_back(0);
    return out;
}

// Runs of one colour, `longest` pixels at most, over `colors` colours.
Bytes runs(size_t count, int colors, size_t longest, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < count) {
        const size_t n = std::min(count - out.size(), 1 + rng() % longest);
        out.insert(out.end(), n, uint8_t(rng() % unsigned(colors)));
    }
    return out;
}

LzwTrace trace(const Bytes& data) {
    LzwTrace t = traceImageData(data.data(), data.size());
    EXPECT_EQ(t.bytesUsed, data.size()) << "bytes after the block terminator";
    return t;
}

}  // namespace

TEST(LzwEncoder, WorkedExamplesGiveTheirExactBytes) {
    // 1x1, code size 8, index 0: codes 256, 0, 257 at 9 bits.
    EXPECT_EQ(encode(8, 256, {0}, 1, 1), (Bytes{0x08, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00}));
    // 4x1 of zeros with a 1-bit map: code size 2; codes 4, 0, 6, 0 at 3 bits, end code 5 at 4.
    EXPECT_EQ(encode(1, 2, {0, 0, 0, 0}, 4, 1), (Bytes{0x02, 0x02, 0x84, 0x51, 0x00}));
    // Code bits 0 are written as code size 2 too.
    EXPECT_EQ(encode(0, 1, {0, 0, 0, 0}, 4, 1), (Bytes{0x02, 0x02, 0x84, 0x51, 0x00}));
    // No pixels: the end code alone.
    EXPECT_EQ(encode(8, 256, {}, 0, 0), (Bytes{0x08, 0x02, 0x01, 0x01, 0x00}));
}

TEST(LzwEncoder, RestartsWithAClearCodeAtTwelveBitsAfterCode4094) {
    for (int codeBits : {2, 8}) {
        SCOPED_TRACE(codeBits);
        const int colors = 1 << codeBits;
        const Bytes pixels = randomIndexes(200000, colors, 7);
        const LzwTrace t = trace(encode(codeBits, colors, pixels, 500, 400));
        ASSERT_EQ(t.pixels, pixels);

        const int clear = colors;
        ASSERT_FALSE(t.codes.empty());
        EXPECT_EQ(t.codes.front().code, clear);
        int restarts = 0;
        for (size_t i = 1; i < t.codes.size(); ++i) {
            if (t.codes[i].code != clear)
                continue;
            ++restarts;
            // The decoder has just made code 4094 from the prefix sent before the clear.
            EXPECT_EQ(t.codes[i].tableNext, 4095);
            EXPECT_EQ(t.codes[i].width, 12);
            ASSERT_LT(i + 1, t.codes.size());
            EXPECT_EQ(t.codes[i + 1].width, codeBits + 1);
        }
        EXPECT_GE(restarts, 3);
        // Width grows one code after the decoder's table fills the current width.
        for (const auto& c : t.codes)
            EXPECT_LE(c.width, 12);
    }
}

TEST(LzwEncoder, SubBlocksAreFullBlocksThenOneShorterNeverEmpty) {
    bool sawExactMultiple = false, sawRemainder = false;
    for (int n = 200; n < 1200 && !(sawExactMultiple && sawRemainder); ++n) {
        const Bytes pixels = randomIndexes(size_t(n), 256, 3);
        const Bytes data = encode(8, 256, pixels, n, 1);
        const LzwTrace t = trace(data);
        ASSERT_EQ(t.pixels, pixels);
        size_t total = 0;
        for (size_t i = 0; i < t.blockSizes.size(); ++i) {
            total += t.blockSizes[i];
            if (i + 1 < t.blockSizes.size()) {
                ASSERT_EQ(t.blockSizes[i], 255u);
            }
            ASSERT_GE(t.blockSizes[i], 1u);
        }
        if (total % 255 == 0) {
            sawExactMultiple = true;
            // A full sub-block directly followed by the terminator.
            EXPECT_EQ(data[data.size() - 257], 0xFF);
            EXPECT_EQ(data.back(), 0x00);
        } else {
            sawRemainder = true;
        }
    }
    EXPECT_TRUE(sawExactMultiple);
    EXPECT_TRUE(sawRemainder);
}

TEST(LzwEncoder, InterlacedFramesAreWalkedInTheFourPasses) {
    auto order = [](int height) {
        Bytes rows(static_cast<size_t>(height));
        for (int i = 0; i < height; ++i)
            rows[size_t(i)] = uint8_t(i);
        return trace(encode(8, 256, rows, 1, height, true)).pixels;
    };
    EXPECT_EQ(order(3), (Bytes{0, 2, 1}));
    EXPECT_EQ(order(1), (Bytes{0}));
    EXPECT_EQ(order(2), (Bytes{0, 1}));
    EXPECT_EQ(order(10), (Bytes{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));

    // Whole rows move together.
    const Bytes pixels = randomIndexes(7 * 13, 16, 5);
    const Bytes walked = trace(encode(4, 16, pixels, 7, 13, true)).pixels;
    Bytes expected;
    for (int first : {0, 4, 2, 1})
        for (int r = first; r < 13; r += (first == 0 || first == 4) ? 8 : first == 2 ? 4 : 2)
            expected.insert(expected.end(), pixels.begin() + r * 7, pixels.begin() + r * 7 + 7);
    EXPECT_EQ(walked, expected);
}

TEST(LzwEncoder, AnIndexOutsideTheMapStopsTheFrameAndKeepsWhatWasCoded) {
    MemoryStream out;
    const Bytes pixels{0, 1, 2, 4};
    try {
        TLZWEncoder().EncodeFrameData(out, 2, 4, pixels.data(), false, 1, 4);
        FAIL() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }
    // Clear 4, then 0 and 1 at 3 bits are out; no terminator follows.
    EXPECT_EQ(out.bytes(), (Bytes{0x02, 0x01, 0x44}));

    // The very first pixel is checked too; an index equal to the colour count is outside.
    MemoryStream first;
    const Bytes bad{3};
    EXPECT_THROW(TLZWEncoder().EncodeFrameData(first, 2, 3, bad.data(), false, 1, 1), GIFException);
}

TEST(LzwEncoder, SubBlockPackerOnlyWrites) {
    MemoryStream target;
    TGIFWriter writer(target);
    uint8_t b = 0;
    for (auto op : {0, 1, 2}) {
        try {
            if (op == 0)
                writer.read(&b, 1);
            if (op == 1)
                writer.seek(0);
            if (op == 2)
                (void)writer.position();
            ADD_FAILURE() << "operation " << op << " allowed";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Invalid stream operation");
        }
    }
    Bytes data(600, 0xAB);
    writer.write(data.data(), data.size());
    writer.finish();
    ASSERT_EQ(target.size(), 600u + 3u);
    EXPECT_EQ(target.bytes()[0], 255);
    EXPECT_EQ(target.bytes()[256], 255);
    EXPECT_EQ(target.bytes()[512], 90);
}

// Runs are taken without a table look-up per pixel, and rows may come in pieces as they are
// made; neither may change a byte, also where runs cross pieces and restarts.
TEST(LzwEncoder, RunsAndPiecesGiveTheBytesOfThePlainTableWalk) {
    for (int codeBits : {1, 2, 5, 8}) {
        const int colors = 1 << codeBits;
        const std::pair<const char*, Bytes> inputs[] = {
            {"noise", randomIndexes(60000, colors, 1)},
            {"short runs", runs(300000, colors, 6, 2)},
            {"long runs", runs(300000, colors, 3000, 3)},
            {"one colour", Bytes(250000, uint8_t(colors - 1))},
        };
        for (const auto& [name, pixels] : inputs) {
            SCOPED_TRACE(std::string(name) + ", code bits " + std::to_string(codeBits));
            const Bytes expected = plainLzw(codeBits, pixels);
            ASSERT_EQ(encode(codeBits, colors, pixels, 100, int(pixels.size() / 100)), expected);
            std::mt19937 rng(codeBits);
            for (int piece : {1, 7, 1000, 0}) {
                MemoryStream out;
                TLZWEncoder encoder;
                encoder.BeginFrame(out, codeBits, colors, int(pixels.size() / 100), 100);
                for (size_t at = 0; at < pixels.size();) {
                    const size_t n =
                        std::min(pixels.size() - at, piece > 0 ? size_t(piece) : 1 + rng() % 5000);
                    encoder.AddPixels(pixels.data() + at, n);
                    at += n;
                }
                encoder.EndFrame();
                ASSERT_EQ(out.bytes(), expected) << "pieces of " << piece;
            }
        }
    }
}

TEST(LzwHashTable, ProbesFollowTheDoublingSequence) {
    EXPECT_EQ(THashTable::NextProbe(0), 8008);
    EXPECT_EQ(THashTable::NextProbe(1), 2);
    EXPECT_EQ(THashTable::NextProbe(4004), 8008);
    EXPECT_EQ(THashTable::NextProbe(4005), 1);
    EXPECT_EQ(THashTable::KeyHash(0x12345), (0x12345 ^ 0x1234) % 8009);
    for (uint32_t prefix = 0; prefix < 4096; ++prefix)
        for (uint32_t pixel = 0; pixel < 256; ++pixel)
            ASSERT_EQ(THashTable::KeyHashOf(prefix, pixel),
                      THashTable::KeyHash(prefix * 256 + pixel))
                << prefix << " " << pixel;

    THashTable table;
    EXPECT_EQ(table.FindCode(77), -1);
    ASSERT_TRUE(table.StoreCode(77, 300));
    ASSERT_TRUE(table.StoreCode(77 + 8009 * 16, 301));  // may share the home slot
    EXPECT_EQ(table.FindCode(77), 300);
    EXPECT_EQ(table.FindCode(77 + 8009 * 16), 301);
}

TEST(LzwHashTable, AFullProbeSequenceEndsTheSearch) {
    // The slots reached from slot 1 by doubling form one closed cycle of 4004 slots.
    std::vector<bool> inCycle(THashTable::kSlots, false);
    int cycle = 0;
    for (int s = 1; !inCycle[size_t(s)]; s = THashTable::NextProbe(s), ++cycle)
        inCycle[size_t(s)] = true;
    ASSERT_EQ(cycle, 4004);

    THashTable table;
    uint32_t key = 0;
    int stored = 0;
    for (; stored < cycle; ++key)
        if (inCycle[size_t(THashTable::KeyHash(key))]) {
            ASSERT_TRUE(table.StoreCode(key, uint32_t(stored & 0xFFF)));
            ++stored;
        }
    while (!inCycle[size_t(THashTable::KeyHash(key))])
        ++key;
    EXPECT_EQ(table.FindCode(key), -1);
    EXPECT_FALSE(table.StoreCode(key, 1));
}

TEST(RleEncoder, KeepsTheInitialWidthAndDecodesToTheSamePixels) {
    for (int codeBits : {1, 2, 4, 8}) {
        SCOPED_TRACE(codeBits);
        const int colors = 1 << codeBits;
        const Bytes pixels = randomIndexes(3000, colors, 11);
        const LzwTrace t = trace(encode(codeBits, colors, pixels, 60, 50, false, true));
        EXPECT_EQ(t.pixels, pixels);
        for (const auto& c : t.codes)
            EXPECT_EQ(c.width, std::max(codeBits, 2) + 1);
    }
}
