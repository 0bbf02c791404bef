#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "gif/animation_writer.h"
#include "gif/gif_image.h"
#include "support/test_support.h"

namespace fk {
namespace {

// Frames of different kinds: deep colour of two sizes, and 8-bit ones with small tables.
Bitmap frameOf(int kind, int index) {
    const uint32_t seed = uint32_t(index + 1);
    switch (kind) {
        case 0:
            return test::makeTestPattern(19, 11, PixelFormat::Bits32, seed);
        case 1:
            return test::makeTestPattern(index % 2 ? 31 : 12, index % 3 ? 9 : 14,
                                         PixelFormat::Bits24, seed);
        default: {
            Bitmap b = test::makeTestPattern(16, 10, PixelFormat::Bits8, seed);
            std::vector<RGBQuad> table(size_t(4 << (index % 3)));
            for (size_t i = 0; i < table.size(); ++i)
                table[i] = {uint8_t(i * 7), uint8_t(255 - i), uint8_t(index * 40), 0};
            b.setColorTable(table);
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x)
                    b.setIndex(x, y, uint8_t((x + y + index) % table.size()));
            return b;
        }
    }
}

TEST(AnimationWriter, WritesWhatTheDocumentWritesWhateverTheFramesAndThreads) {
    TGIFImage settings;
    settings.setReductionKind(pkHalftone);
    settings.setDitherKind(dkBurkes);
    for (int kind : {0, 1, 2}) {
        for (int count : {1, 2, 7}) {
            for (bool extensions : {false, true}) {
                AnimationSource source;
                source.frameCount = count;
                source.frameBitmap = [kind](int i, Bitmap& into) { into = frameOf(kind, i); };
                if (extensions)
                    source.decorate = [](int i, TGIFSubImage& frame) {
                        if (i % 2 == 0)
                            frame.extensions().Add(TGIFGraphicControlExtension::CreateFor(frame));
                    };
                MemoryStream document;
                WriteAnimationDocument(document, settings, source);
                const std::vector<uint8_t>& reference = document.bytes();
                for (int workers : {1, 2, 4}) {
                    MemoryStream out;
                    WriteAnimation(out, settings, source, workers);
                    EXPECT_EQ(out.bytes(), reference)
                        << "kind " << kind << ", " << count << " frames, extensions " << extensions
                        << ", " << workers << " workers";
                    EXPECT_EQ(out.position(), reference.size());
                }
            }
        }
    }
}

TEST(AnimationWriter, KeepsAtMostTwoFramesPerWorkerInFlight) {
    TGIFImage settings;
    std::atomic<int> started{0};
    std::atomic<int> written{0};
    std::atomic<int> mostAhead{0};
    AnimationSource source;
    source.frameCount = 40;
    source.frameBitmap = [&](int i, Bitmap& into) {
        const int ahead = ++started - written;
        int seen = mostAhead;
        while (ahead > seen && !mostAhead.compare_exchange_weak(seen, ahead)) {
        }
        into = frameOf(0, i);
    };
    source.progress = [&](int n) { written = n; };
    MemoryStream out;
    WriteAnimation(out, settings, source, 3);
    EXPECT_EQ(written, 40);
    EXPECT_LE(mostAhead, 7);  // six waiting or in the making, and the one being written
    EXPECT_GE(mostAhead, 1);
}

TEST(AnimationWriter, AFailedFrameStopsTheWriteWithItsError) {
    TGIFImage settings;
    AnimationSource source;
    source.frameCount = 30;
    std::atomic<int> made{0};
    source.frameBitmap = [&](int i, Bitmap& into) {
        ++made;
        if (i == 4)
            throw EReadError("frame 5 is unreadable");
        into = frameOf(0, i);
    };
    std::vector<int> progress;
    source.progress = [&](int n) { progress.push_back(n); };
    MemoryStream out;
    EXPECT_THROW(
        {
            try {
                WriteAnimation(out, settings, source, 2);
            } catch (const EReadError& e) {
                EXPECT_STREQ(e.what(), "frame 5 is unreadable");
                throw;
            }
        },
        EReadError);
    EXPECT_LT(made, 30);  // the frames after it were not all made
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 4);
}

TEST(AnimationWriter, NoFramesIsAnError) {
    TGIFImage settings;
    MemoryStream out;
    EXPECT_THROW(WriteAnimation(out, settings, AnimationSource{}, 2), GIFException);
    EXPECT_EQ(out.size(), 0u);
}

}  // namespace
}  // namespace fk
