// Making and writing a GIF with several threads gives the bytes of the single-threaded path.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <thread>

#include "base/threads.h"
#include "gif/gif_image.h"
#include "gif_test_support.h"
#include "support/test_support.h"

using namespace fk;
using namespace fk::test;

namespace {

using Bytes = std::vector<uint8_t>;

struct Setting {
    TPaletteKind palette;
    TDitherKind dither;
};

// The program's four palette choices, then the document's default and a few others that take
// other roads through the reduction.
const Setting kProgram[] = {{pkBlackWhite, dkPlain},
                            {pkGray256, dkPlain},
                            {pkHalftone, dkBurkes},
                            {pkOctreeSystem, dkBurkes}};
const Setting kOthers[] = {{pkWebCube, dkBurkes},  {pkOctree, dkFloydSteinberg},
                           {pkHalftone, dkPlain},  {pkSystem20, dkStucki},
                           {pkTrueColor, dkPlain}, {pkGray4, dkSteveArche},
                           {pkCustom, dkPlain}};  // no palette given: no picture

struct Result {
    Bytes file;
    Bitmap source;   // as the reduction left it
    Bitmap display;  // the frame's display copy
    std::string error;
};

Result save(const Bitmap& picture, Setting s, int threads) {
    Result r{{}, picture, {}, {}};
    TGIFImage doc;
    doc.setThreadCount(threads);
    doc.setReductionKind(s.palette);
    doc.setDitherKind(s.dither);
    try {
        doc.AssignBitmap(r.source);
        r.display = *doc.frame(0).bitmap();
        r.file = saveToBytes(doc);
    } catch (const std::exception& e) {
        r.error = e.what();
    }
    return r;
}

void expectSameForEveryThreadCount(const Bitmap& picture, Setting s, const std::string& what) {
    const Result one = save(picture, s, 1);
    ASSERT_TRUE(!one.file.empty() || !one.error.empty());
    for (int threads : {2, 4}) {
        SCOPED_TRACE(what + ", palette " + std::to_string(s.palette) + ", dither " +
                     std::to_string(s.dither) + ", " + std::to_string(threads) + " threads");
        const Result many = save(picture, s, threads);
        ASSERT_EQ(many.file, one.file);
        EXPECT_EQ(many.error, one.error);
        EXPECT_TRUE(many.source == one.source);
        EXPECT_TRUE(many.display == one.display);
    }
}

Bitmap noise(int width, int height, PixelFormat format, int levels, uint32_t seed) {
    Bitmap b(width, height, format);
    std::mt19937 rng(seed);
    auto level = [&] { return uint8_t(int(rng() % unsigned(levels)) * 255 / (levels - 1)); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, Color{level(), level(), level()});
    return b;
}

}  // namespace

TEST(GifThreads, SharedPicturesGiveTheSameBytesWithOneTwoAndFourThreads) {
    for (const char* name : {"screen-1080p.bmp", "photo-1080p.bmp"}) {
        const std::string path = benchDataDir() + "/" + name;
        if (!fileExists(path))
            GTEST_SKIP() << "no bench pictures at " << path;
        Bitmap shot = Bitmap::loadFromFile(path);
        shot.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
        for (const Setting& s : kProgram)
            expectSameForEveryThreadCount(shot, s, name);
    }
}

TEST(GifThreads, SmallAndOddPicturesGiveTheSameBytesWithOneTwoAndFourThreads) {
    const int sizes[][2] = {{1, 1}, {2, 1}, {1, 5}, {3, 7}, {17, 5}, {255, 3}, {333, 111}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        // Many colours, and few colours with long runs; in the display's format, as 24 bits
        // and as 16 bits, which the reduction converts its own way.
        for (int levels : {256, 3}) {
            for (PixelFormat f : {PixelFormat::Device, PixelFormat::Bits24, PixelFormat::Bits16}) {
                const Bitmap picture = noise(w, h, f, levels, seed++);
                const std::string what = std::to_string(w) + "x" + std::to_string(h) + ", " +
                                         std::to_string(levels) + " levels, " +
                                         std::to_string(bitsPerPixel(f)) + " bits";
                for (const Setting& s : kProgram)
                    expectSameForEveryThreadCount(picture, s, what);
                if (f == PixelFormat::Device)
                    for (const Setting& s : kOthers)
                        expectSameForEveryThreadCount(picture, s, what);
            }
        }
    }
}

// The image data coded beside the reduction is used only for the pixels it was made from.
TEST(GifThreads, ChangedPixelsAndAMovedColourMapStillGiveTheSingleThreadedBytes) {
    const Bitmap picture = noise(97, 41, PixelFormat::Device, 256, 5);
    auto make = [&](int threads) {
        auto doc = std::make_unique<TGIFImage>();
        doc->setThreadCount(threads);
        doc->setReductionKind(pkOctreeSystem);
        doc->setDitherKind(dkBurkes);
        Bitmap shot = picture;
        doc->AssignBitmap(shot);
        return doc;
    };
    auto one = make(1), two = make(2);
    EXPECT_EQ(one->frame(0).encodedImageData(8, 256), nullptr);
    ASSERT_NE(two->frame(0).encodedImageData(8, 256), nullptr) << "not coded beside";
    EXPECT_EQ(two->frame(0).encodedImageData(8, 2), nullptr);
    ASSERT_EQ(saveToBytes(*two), saveToBytes(*one));

    // One pixel changed after the frame was made.
    one->frame(0).data()[100] ^= 1;
    two->frame(0).data()[100] ^= 1;
    EXPECT_EQ(two->frame(0).encodedImageData(8, 256), nullptr);
    EXPECT_EQ(saveToBytes(*two), saveToBytes(*one));

    // The frame's 256-entry map moved into the header: the same code size and colour count.
    auto three = make(2), four = make(1);
    three->PackForSave();
    four->PackForSave();
    EXPECT_EQ(saveToBytes(*three), saveToBytes(*four));

    // Other frame sizes, interlacing, and the other encoder code the pixels afresh.
    auto five = make(2), six = make(1);
    five->PackForSave();
    six->PackForSave();
    five->frame(0).setInterlaced(true);
    six->frame(0).setInterlaced(true);
    EXPECT_EQ(saveToBytes(*five), saveToBytes(*six));
    auto seven = make(2), eight = make(1);
    seven->setEncoderKind(ekRLE);
    eight->setEncoderKind(ekRLE);
    EXPECT_EQ(saveToBytes(*seven), saveToBytes(*eight));
}

// Frames made at once on several threads, each single-threaded, as a video encoder makes them,
// and each threaded, share nothing.
TEST(GifThreads, DocumentsMadeOnSeveralThreadsAtOnceDoNotDisturbEachOther) {
    std::vector<Bitmap> pictures;
    for (uint32_t i = 0; i < 4; ++i)
        pictures.push_back(noise(203, 57, PixelFormat::Device, i % 2 ? 256 : 5, 40 + i));
    std::vector<Bytes> expected;
    for (size_t i = 0; i < pictures.size(); ++i)
        expected.push_back(save(pictures[i], kProgram[i % 4], 1).file);
    for (int threads : {1, 2}) {
        std::vector<Bytes> got(pictures.size());
        std::vector<std::thread> workers;
        for (size_t i = 0; i < pictures.size(); ++i)
            workers.emplace_back(
                [&, i] { got[i] = save(pictures[i], kProgram[i % 4], threads).file; });
        for (auto& w : workers)
            w.join();
        for (size_t i = 0; i < pictures.size(); ++i)
            EXPECT_EQ(got[i], expected[i]) << "picture " << i << ", " << threads << " threads";
    }
}

// Chunks cover every row once whoever takes them; an error reaches the caller and stops the
// hand-out.
TEST(GifThreads, ChunksCoverEveryRowOnceAndAnErrorStopsTheRest) {
    for (int threads : {1, 2, 5}) {
        for (auto [count, chunk] : {std::pair{0, 32}, {1, 32}, {31, 32}, {32, 32}, {33, 32},
                                    {1080, 32}, {7, 1}}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(count) +
                         " rows in chunks of " + std::to_string(chunk));
            std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
            std::atomic<bool> badThread = false;
            forEachChunk(threads, count, chunk, [&](int thread, int first, int last) {
                badThread = badThread || thread < 0 || thread >= threads || last - first > chunk;
                for (int r = first; r < last; ++r)
                    ++seen[size_t(r)];
            });
            EXPECT_FALSE(badThread);
            for (int r = 0; r < count; ++r)
                ASSERT_EQ(seen[size_t(r)], 1) << "row " << r;
        }
        std::atomic<int> started = 0;
        EXPECT_THROW(forEachChunk(threads, 1000, 10,
                                  [&](int, int first, int) {
                                      ++started;
                                      if (first == 0)
                                          throw std::runtime_error("no");
                                  }),
                     std::runtime_error);
        // Other threads may take chunks until the failing one stops the hand-out; alone, the
        // caller takes no chunk after its failure.
        if (threads == 1) {
            EXPECT_EQ(started, 1);
        }
    }
}
