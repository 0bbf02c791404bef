// Every file written decodes, through Pillow and through giflib, to exactly the frames' indexes
// and colour maps.
#include <gtest/gtest.h>

#include "gif/gif_image.h"
#include "gif_test_support.h"
#include "support/test_support.h"

using namespace fk;
using namespace fk::test;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes mapBytes(const TGIFColorMap& map) {
    return Bytes(map.data(), map.data() + size_t(map.count()) * 3);
}

Bytes pixelsOf(const TGIFSubImage& f) {
    return Bytes(f.data(), f.data() + f.dataSize());
}

// Rows in the order an interlaced frame stores them.
Bytes interlacedOrder(const Bytes& pixels, int width, int height) {
    Bytes out;
    const int first[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int r = first[pass]; r < height; r += step[pass])
            out.insert(out.end(), pixels.begin() + long(r) * width,
                       pixels.begin() + long(r + 1) * width);
    return out;
}

void expectFirstFrameDecodes(const std::string& path, const TGIFSubImage& frame,
                             const TGIFColorMap& map) {
    const std::vector<PillowFrame> frames = decodeGifWithPillow(path);
    ASSERT_FALSE(frames.empty());
    const PillowFrame& f = frames.front();
    EXPECT_EQ(f.width, frame.width());
    EXPECT_EQ(f.height, frame.height());
    ASSERT_EQ(f.mode, "P");
    EXPECT_EQ(f.pixels, pixelsOf(frame));
    ASSERT_GE(f.palette.size(), size_t(map.count()) * 3);
    EXPECT_EQ(Bytes(f.palette.begin(), f.palette.begin() + map.count() * 3), mapBytes(map));
}

}  // namespace

TEST(GifRoundTrip, MapsFromTwoTo256EntriesAndOddShapes) {
    TempDir dir;
    struct Case {
        int colors, width, height;
    };
    const Case cases[] = {{2, 1, 1},     {2, 1, 300},     {3, 300, 1},  {4, 17, 9},
                          {5, 64, 64},   {16, 33, 7},     {17, 5, 101}, {100, 120, 80},
                          {255, 1, 999}, {256, 400, 300}, {256, 999, 1}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.colors << " colours, " << c.width << "x" << c.height);
        TGIFImage doc;
        TGIFSubImage& frame =
            addIndexedFrame(doc, c.width, c.height,
                            randomIndexes(size_t(c.width) * size_t(c.height), c.colors, seed),
                            randomColors(c.colors, seed + 100));
        ++seed;
        const std::string path = dir.file("case" + std::to_string(seed) + ".gif");
        doc.WriteToFile(path);
        expectFirstFrameDecodes(path, frame, frame.colorMap());
        EXPECT_EQ(giflibRawIndexes(path), pixelsOf(frame));

        // The same frame with its map moved into the header.
        doc.PackForSave();
        doc.WriteToFile(path);
        expectFirstFrameDecodes(path, frame, doc.header().colorMap());
        EXPECT_EQ(giflibRawIndexes(path), pixelsOf(frame));
    }
}

TEST(GifRoundTrip, ScreenLikeContentWithLongRunsAndNoise) {
    TempDir dir;
    const int w = 640, h = 480;
    Bytes pixels(size_t(w) * h);
    const Bytes noise = randomIndexes(pixels.size(), 256, 9);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v = uint8_t((y / 40) * 7 + (x / 160));
            if ((y % 40) > 30 && (x % 160) < 90)
                v = noise[size_t(y) * w + size_t(x)];
            pixels[size_t(y) * w + size_t(x)] = v;
        }
    TGIFImage doc;
    TGIFSubImage& frame = addIndexedFrame(doc, w, h, pixels, randomColors(256, 4));
    const std::string path = dir.file("screen.gif");
    doc.WriteToFile(path);
    expectFirstFrameDecodes(path, frame, frame.colorMap());
    EXPECT_EQ(giflibRawIndexes(path), pixels);
}

TEST(GifRoundTrip, InterlacedFramesUnderAGlobalMap) {
    TempDir dir;
    for (int height : {1, 2, 3, 5, 9, 17, 64}) {
        SCOPED_TRACE(height);
        const int width = 13;
        TGIFImage doc;
        for (const Color& c : randomColors(16, 3))
            doc.header().colorMap().AppendColor(makeTColor(c.red, c.green, c.blue));
        TGIFSubImage& frame = addIndexedFrame(
            doc, width, height, randomIndexes(size_t(width) * size_t(height), 16, uint32_t(height)),
            {});
        frame.setInterlaced(true);
        const std::string path = dir.file("interlaced.gif");
        doc.WriteToFile(path);
        EXPECT_EQ(frame.packed(), 0x40);
        expectFirstFrameDecodes(path, frame, doc.header().colorMap());
        // giflib hands the rows over in stored order.
        EXPECT_EQ(giflibRawIndexes(path), interlacedOrder(pixelsOf(frame), width, height));
    }
}

TEST(GifRoundTrip, AnimationWithItsOwnMapPerFrame) {
    TempDir dir;
    TGIFImage doc;
    const int w = 50, h = 40;
    Bytes all;
    std::vector<TGIFSubImage*> frames;
    for (int i = 0; i < 3; ++i) {
        const int colors = i == 1 ? 7 : 256;
        TGIFSubImage& f =
            addIndexedFrame(doc, w, h, randomIndexes(size_t(w * h), colors, uint32_t(i)),
                            randomColors(colors, uint32_t(10 + i)));
        if (i == 0)
            f.extensions().Add(TGIFAppExtNSLoop::CreateFor(f));
        f.extensions().Add(TGIFGraphicControlExtension::CreateFor(f))->setDelay(40);
        frames.push_back(&f);
        all.insert(all.end(), f.data(), f.data() + f.dataSize());
    }
    doc.PackForSave();  // several frames: every map stays local
    EXPECT_EQ(doc.header().colorMap().count(), 0);
    const std::string path = dir.file("anim.gif");
    doc.WriteToFile(path);

    EXPECT_EQ(giflibRawIndexes(path), all);
    const std::vector<PillowFrame> decoded = decodeGifWithPillow(path);
    ASSERT_EQ(decoded.size(), 3u);
    expectFirstFrameDecodes(path, *frames[0], frames[0]->colorMap());
    for (size_t i = 1; i < 3; ++i) {
        const PillowFrame& f = decoded[i];
        const TGIFSubImage& ours = *frames[i];
        Bytes rgb;
        if (f.mode == "P") {
            for (uint8_t index : f.pixels) {
                const Color c = ours.colorMap().entry(f.palette.empty() ? 0 : index);
                rgb.insert(rgb.end(), {c.red, c.green, c.blue});
            }
            EXPECT_EQ(f.pixels, pixelsOf(ours));
        } else {
            rgb = f.pixels;
        }
        Bytes expected;
        for (size_t p = 0; p < ours.dataSize(); ++p) {
            const Color c = ours.colorMap().entry(ours.data()[p]);
            expected.insert(expected.end(), {c.red, c.green, c.blue});
        }
        EXPECT_EQ(rgb, expected) << "frame " << i;
    }
    const CommandResult info = runCommand("giftext " + shellQuote(path));
    EXPECT_NE(info.output.find("GIF89 application block"), std::string::npos) << info.output;
}

TEST(GifRoundTrip, TheRunLengthEncoderIsReadableToo) {
    TempDir dir;
    for (int colors : {2, 16, 256}) {
        TGIFImage doc;
        doc.setEncoderKind(ekRLE);
        TGIFSubImage& frame =
            addIndexedFrame(doc, 70, 30, randomIndexes(2100, colors, 5), randomColors(colors, 6));
        const std::string path = dir.file("rle.gif");
        doc.WriteToFile(path);
        expectFirstFrameDecodes(path, frame, frame.colorMap());
        EXPECT_EQ(giflibRawIndexes(path), pixelsOf(frame));
    }
}
