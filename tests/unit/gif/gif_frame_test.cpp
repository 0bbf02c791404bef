#include <gtest/gtest.h>

#include <set>
#include <typeinfo>

#include "gif/gif_image.h"
#include "gif_test_support.h"
#include "support/test_support.h"

using namespace fk;
using namespace fk::test;

namespace {

using Bytes = std::vector<uint8_t>;

struct Warnings {
    std::vector<std::string> messages;
    void attach(TGIFImage& doc) {
        doc.setOnWarning(
            [this](TGIFPersistent*, TGIFSeverity, const std::string& m) { messages.push_back(m); });
    }
};

Bitmap paletteBitmap(int width, int height, PixelFormat format, int tableSize, uint32_t seed) {
    Bitmap b(width, height, format);
    std::vector<RGBQuad> table;
    for (const Color& c : randomColors(tableSize, seed))
        table.push_back({c.blue, c.green, c.red, 0});
    b.setColorTable(table);
    const Bytes idx = randomIndexes(size_t(width) * size_t(height), tableSize, seed + 1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setIndex(x, y, idx[size_t(y) * width + size_t(x)]);
    return b;
}

void expectFrameHoldsBitmap(const TGIFSubImage& frame, const Bitmap& b) {
    ASSERT_EQ(frame.width(), b.width());
    ASSERT_EQ(frame.height(), b.height());
    ASSERT_EQ(frame.colorMap().count(), int(b.colorTable().size()));
    for (int i = 0; i < frame.colorMap().count(); ++i) {
        const RGBQuad& q = b.colorTable()[size_t(i)];
        EXPECT_EQ(frame.colorMap().entry(i), (Color{q.red, q.green, q.blue}));
    }
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            ASSERT_EQ(frame.pixel(x, y), b.index(x, y)) << x << "," << y;
}

Color colorNumber(int k) {
    return {uint8_t(k), uint8_t(k * 7), uint8_t(k < 256 ? 255 - k : 1)};
}

// A 24-bit picture of `colors` distinct colours: colour k first at pixel k, then at random.
Bitmap trueColorBitmap(int width, int height, int colors) {
    Bitmap b(width, height, PixelFormat::Bits24);
    const Bytes idx = randomIndexes(size_t(width) * size_t(height), colors, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int k =
                y * width + x < colors ? y * width + x : idx[size_t(y) * width + size_t(x)];
            b.setPixel(x, y, colorNumber(k));
        }
    return b;
}

}  // namespace

TEST(GifFrame, PaletteBitmapsAreTakenOverWithoutReduction) {
    for (auto [format, tableSize, width] :
         {std::tuple{PixelFormat::Bits8, 16, 31}, std::tuple{PixelFormat::Bits8, 256, 8},
          std::tuple{PixelFormat::Bits4, 16, 7}, std::tuple{PixelFormat::Bits4, 5, 1},
          std::tuple{PixelFormat::Bits1, 2, 13}}) {
        SCOPED_TRACE(tableSize);
        Bitmap b = paletteBitmap(width, 11, format, tableSize, 4);
        const Bitmap before = b;
        TGIFImage doc;
        doc.AssignBitmap(b);
        ASSERT_EQ(doc.frameCount(), 1);
        expectFrameHoldsBitmap(doc.frame(0), b);
        EXPECT_EQ(b, before);  // the source is left as it was
        ASSERT_NE(doc.frame(0).bitmap(), nullptr);
        EXPECT_EQ(doc.width(), width);
        EXPECT_EQ(doc.height(), 11);
    }
}

TEST(GifFrame, ATrueColourImportBuildsTheMapInOrderOfFirstUse) {
    TGIFImage doc;
    doc.setReductionKind(pkTrueColor);
    Bitmap b = trueColorBitmap(40, 30, 256);
    doc.AssignBitmap(b);
    const TGIFSubImage& frame = doc.frame(0);
    ASSERT_EQ(frame.colorMap().count(), 256);
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(frame.colorMap().entry(k), colorNumber(k));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const Color c = b.pixel(x, y);
            ASSERT_EQ(frame.colorMap().entry(frame.pixel(x, y)), c);
        }

    // One colour more does not fit, and the document keeps the frames it had.
    Bitmap tooMany = trueColorBitmap(40, 30, 257);
    try {
        doc.AddFrame(tooMany);
        FAIL() << "257 colours taken";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color table overflow");
    }
    EXPECT_EQ(doc.frameCount(), 1);
}

TEST(GifFrame, ACapturedScreenInBlackAndWhite) {
    TempDir dir;
    Bitmap shot = makeTestPattern(800, 600, PixelFormat::Device, 5);
    TGIFImage doc;
    doc.setDitherKind(dkBurkes);
    doc.setReductionKind(pkBlackWhite);
    doc.setDitherKind(dkPlain);
    doc.AssignBitmap(shot);
    EXPECT_EQ(shot.pixelFormat(), PixelFormat::Bits24);  // converted in place
    ASSERT_EQ(doc.frameCount(), 1);
    const TGIFSubImage& frame = doc.frame(0);
    EXPECT_EQ(frame.left(), 0);
    EXPECT_EQ(frame.top(), 0);
    EXPECT_EQ(frame.width(), 800);
    EXPECT_EQ(frame.height(), 600);
    EXPECT_EQ(doc.width(), 800);
    EXPECT_EQ(doc.height(), 600);
    ASSERT_EQ(frame.colorMap().count(), 256);
    EXPECT_EQ(frame.colorMap().entry(0), (Color{0, 0, 0}));
    EXPECT_EQ(frame.colorMap().entry(1), (Color{255, 255, 255}));
    std::set<uint8_t> used(frame.data(), frame.data() + frame.dataSize());
    EXPECT_EQ(used, (std::set<uint8_t>{0, 1}));

    const std::string path = dir.file("mono.gif");
    doc.WriteToFile(path);
    const Bytes file = readFileBytes(path);
    EXPECT_EQ(file[10], 0x77);
    EXPECT_EQ(file[13 + 9], 0x87);
    EXPECT_EQ(file[13 + 10 + 768], 8);
    const std::vector<PillowFrame> decoded = decodeGifWithPillow(path);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].pixels, Bytes(frame.data(), frame.data() + frame.dataSize()));
}

TEST(GifFrame, MostColoursSaveDecodesToTheFramesIndexes) {
    TempDir dir;
    Bitmap shot = makeTestPattern(320, 200, PixelFormat::Device, 8);
    TGIFImage doc;
    doc.setReductionKind(pkOctreeSystem);
    doc.setDitherKind(dkBurkes);
    doc.AssignBitmap(shot);
    const std::string path = dir.file("max.gif");
    doc.WriteToFile(path);
    const TGIFSubImage& frame = doc.frame(0);
    const std::vector<PillowFrame> decoded = decodeGifWithPillow(path);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].pixels, Bytes(frame.data(), frame.data() + frame.dataSize()));
    EXPECT_EQ(giflibRawIndexes(path), decoded[0].pixels);
}

TEST(GifFrame, FramesBeyondTheLogicalScreenEnlargeItWithWarnings) {
    TGIFImage doc;
    Warnings warnings;
    warnings.attach(doc);
    Bitmap screen = paletteBitmap(80, 60, PixelFormat::Bits8, 4, 1);
    EXPECT_EQ(doc.AddFrame(screen), 0);
    EXPECT_EQ(doc.AddFrame(screen), 1);
    EXPECT_EQ(doc.AddFrame(screen), 2);
    EXPECT_TRUE(warnings.messages.empty());

    Bitmap wider = paletteBitmap(100, 60, PixelFormat::Bits8, 4, 1);
    doc.AddFrame(wider);
    EXPECT_EQ(warnings.messages,
              (std::vector<std::string>{"Image width too small for contained frames",
                                        "Image exceeds Logical Screen size"}));
    EXPECT_EQ(doc.width(), 100);

    warnings.messages.clear();
    Bitmap taller = paletteBitmap(10, 70, PixelFormat::Bits1, 2, 1);
    doc.AddFrame(taller);
    EXPECT_EQ(warnings.messages,
              (std::vector<std::string>{"Image height too small for contained frames",
                                        "Image exceeds Logical Screen size"}));
    EXPECT_EQ(doc.height(), 70);
    EXPECT_EQ(doc.width(), 100);
}

TEST(GifFrame, AssignBitmapLeavesExactlyOneFrame) {
    TGIFImage doc;
    Bitmap small = paletteBitmap(5, 5, PixelFormat::Bits8, 3, 2);
    for (int i = 0; i < 3; ++i)
        doc.AddFrame(small);
    Bitmap b = paletteBitmap(9, 4, PixelFormat::Bits4, 16, 3);
    doc.AssignBitmap(b);
    ASSERT_EQ(doc.frameCount(), 1);
    expectFrameHoldsBitmap(doc.frame(0), b);
    EXPECT_EQ(doc.width(), 9);
    EXPECT_EQ(doc.height(), 4);
}

TEST(GifFrame, AnEmptyBitmapGivesOneEmptyFrameWithoutReduction) {
    TGIFImage doc;
    Bitmap small = paletteBitmap(5, 5, PixelFormat::Bits8, 3, 2);
    doc.AddFrame(small);
    Bitmap empty(0, 7, PixelFormat::Device);
    doc.AssignBitmap(empty);
    EXPECT_EQ(empty.pixelFormat(), PixelFormat::Device);
    ASSERT_EQ(doc.frameCount(), 1);
    EXPECT_TRUE(doc.frame(0).empty());
    const Bytes b = saveToBytes(doc);
    EXPECT_EQ(b, (Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 0, 0, 0, 0x77, 0, 0, 0x3B}));
}

TEST(GifFrame, ConversionFailuresDestroyTheNewFrame) {
    TGIFImage doc;
    Bitmap small = paletteBitmap(5, 5, PixelFormat::Bits8, 3, 2);
    doc.AddFrame(small);

    // The descriptor cannot hold more than 65535 pixels a side.
    Bitmap wide = paletteBitmap(70000, 1, PixelFormat::Bits8, 2, 1);
    try {
        doc.AddFrame(wide);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid image dimensions");
    }
    // A custom palette kind without a palette reduces to no picture at all.
    doc.setReductionKind(pkCustom);
    Bitmap deep = makeTestPattern(4, 4, PixelFormat::Bits24, 1);
    EXPECT_THROW(doc.AddFrame(deep), EInvalidGraphicOperation);
    EXPECT_EQ(doc.frameCount(), 1);

    try {
        doc.AddFrame(std::unique_ptr<TGIFSubImage>());
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Object type not supported for operation");
    }
}

TEST(GifFrame, ConversionReportsProgressEvery32Rows) {
    TGIFImage doc;
    std::vector<std::pair<TProgressStage, int>> seen;
    doc.setOnProgress([&](TGIFImage*, TProgressStage stage, int percent, const std::string& m) {
        EXPECT_EQ(m, "Converting...");
        seen.emplace_back(stage, percent);
    });
    Bitmap b = paletteBitmap(3, 70, PixelFormat::Bits8, 4, 1);
    doc.AddFrame(b);
    const std::vector<std::pair<TProgressStage, int>> expected{
        {psStarting, 0}, {psRunning, 0}, {psRunning, 46}, {psRunning, 91}, {psEnding, 100}};
    EXPECT_EQ(seen, expected);
}

TEST(GifFrame, PackForSaveMovesTheMapOfASingleFrameOnly) {
    TGIFImage one;
    Bitmap b = paletteBitmap(6, 6, PixelFormat::Bits8, 256, 1);
    one.AddFrame(b);
    one.PackForSave();
    EXPECT_EQ(one.header().colorMap().count(), 256);
    EXPECT_TRUE(one.frame(0).colorMap().empty());
    EXPECT_EQ(one.frame(0).bitmap(), nullptr);

    TGIFImage two;
    two.AddFrame(b);
    two.AddFrame(b);
    two.PackForSave();
    EXPECT_TRUE(two.header().colorMap().empty());
    EXPECT_EQ(two.frame(1).colorMap().count(), 256);
    EXPECT_EQ(two.frame(0).bitmap(), nullptr);
}

TEST(GifFrame, ADestroyedFrameLeavesItsDocument) {
    TGIFImage doc;
    Bitmap b = paletteBitmap(6, 6, PixelFormat::Bits8, 4, 1);
    for (int i = 0; i < 3; ++i)
        doc.AddFrame(b);
    TGIFSubImage* middle = &doc.frame(1);
    TGIFSubImage* last = &doc.frame(2);
    delete middle;
    ASSERT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(&doc.frame(1), last);

    // A frame can outlive its document, and an extension its frame.
    auto orphan = TGIFSubImage::CreateFor(doc);
    auto control = TGIFGraphicControlExtension::CreateFor(*orphan);
    {
        TGIFImage gone;
        auto lateFrame = TGIFSubImage::CreateFor(gone);
        orphan->extensions().Add(TGIFCommentExtension::CreateFor(*orphan));
        lateFrame.reset();
    }
    orphan.reset();
    control->setTransparent(true);
    EXPECT_EQ(control->subImage(), nullptr);
}

namespace {

// Three frames with every kind of extension, from 8-bit bitmaps.
void fillAnimation(TGIFImage& doc) {
    for (int i = 0; i < 3; ++i) {
        Bitmap b = paletteBitmap(30, 20, PixelFormat::Bits8, 256, uint32_t(i));
        const int index = doc.AddFrame(b);
        TGIFSubImage& f = doc.frame(index);
        if (index == 0)
            f.extensions().Add(TGIFAppExtNSLoop::CreateFor(f))->setLoopCount(0);
        auto* control = f.extensions().Add(TGIFGraphicControlExtension::CreateFor(f));
        control->setDelay(40);
        if (index == 1) {
            control->setTransparent(true);
            control->setTransparentColorIndex(7);
            auto* comment = f.extensions().Add(TGIFCommentExtension::CreateFor(f));
            comment->lines() = {std::string(300, 'c'), "", "end"};
            auto* text = f.extensions().Add(TGIFTextExtension::CreateFor(f));
            text->gridWidth = 30;
            text->cellHeight = 8;
            text->lines() = {"hello"};
            auto* app = f.extensions().Add(TGIFUnknownAppExtension::CreateFor(f));
            app->setIdentifier("XYZWVUTS123");
            const Bytes payload{1, 2, 3, 0, 5};
            app->addBlock(payload.data(), payload.size());
        }
    }
}

}  // namespace

TEST(GifFrame, CopyFromGivesAnIndependentCopyThatWritesTheSameBytes) {
    TGIFImage source;
    source.setReductionKind(pkGray256);
    source.setDitherKind(dkBurkes);
    source.setPaletteBits(5);
    source.setEncoderKind(ekRLE);
    fillAnimation(source);
    source.PackForSave();

    TGIFImage copy;
    copy.CopyFrom(source);
    EXPECT_EQ(copy.reductionKind(), pkGray256);
    EXPECT_EQ(copy.ditherKind(), dkBurkes);
    EXPECT_EQ(copy.paletteBits(), 8);
    EXPECT_EQ(copy.encoderKind(), ekLZW);
    source.setEncoderKind(ekLZW);
    EXPECT_EQ(saveToBytes(copy), saveToBytes(source));

    ASSERT_EQ(copy.frameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const TGIFExtensionList& a = source.frame(i).extensions();
        const TGIFExtensionList& b = copy.frame(i).extensions();
        ASSERT_EQ(a.count(), b.count());
        for (int k = 0; k < a.count(); ++k) {
            EXPECT_NE(a[k], b[k]);
            EXPECT_EQ(typeid(*a[k]), typeid(*b[k]));
            EXPECT_EQ(b[k]->subImage(), &copy.frame(i));
        }
    }
    const TGIFSubImage& f1 = copy.frame(1);
    EXPECT_TRUE(f1.transparent());
    ASSERT_NE(f1.graphicControlExtension(), nullptr);
    EXPECT_EQ(f1.graphicControlExtension()->transparentColorIndex(), 7);
    // Lines come back one per sub-block; the empty line is gone.
    const auto* comment = dynamic_cast<const TGIFCommentExtension*>(f1.extensions()[1]);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->lines(),
              (std::vector<std::string>{std::string(255, 'c'), std::string(45, 'c'), "end"}));
    const auto* app = dynamic_cast<const TGIFUnknownAppExtension*>(f1.extensions()[3]);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->identifierText(), "XYZWVUTS123");
    ASSERT_EQ(app->blocks().size(), 1u);
    EXPECT_EQ(app->blocks()[0].data, (Bytes{1, 2, 3, 0, 5}));
    EXPECT_NE(dynamic_cast<const TGIFAppExtNSLoop*>(copy.frame(0).extensions()[0]), nullptr);

    // Nothing is shared.
    source.frame(0).data()[0] ^= 1;
    source.header().colorMap().Clear();
    EXPECT_NE(saveToBytes(copy), saveToBytes(source));
    source.Clear();
    EXPECT_EQ(copy.frameCount(), 3);
    EXPECT_EQ(copy.header().colorMap().count(), 0);  // three frames: nothing was packed
}

TEST(GifFrame, CopyFromReportsToTheSourcesHandlersOnly) {
    TGIFImage source;
    fillAnimation(source);
    source.frame(2).Clear();  // an empty frame keeps its extensions in the copy too
    auto* note = source.frame(2).extensions().Add(TGIFCommentExtension::CreateFor(source.frame(2)));
    note->lines() = {"empty"};

    std::vector<std::pair<TProgressStage, int>> seen;
    source.setOnProgress(
        [&](TGIFImage* sender, TProgressStage stage, int percent, const std::string& m) {
            EXPECT_EQ(m, "Copying...");
            EXPECT_NE(sender, &source);
            seen.emplace_back(stage, percent);
        });
    TGIFImage copy;
    copy.CopyFrom(source);
    const std::vector<std::pair<TProgressStage, int>> expected{
        {psStarting, 0}, {psRunning, 33}, {psRunning, 67}, {psRunning, 100}, {psEnding, 100}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(saveToBytes(copy), [&] {
        source.setOnProgress({});
        return saveToBytes(source);
    }());

    // The copy has no handler of its own afterwards, and copying itself changes nothing.
    seen.clear();
    saveToBytes(copy);
    copy.CopyFrom(copy);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(copy.frameCount(), 3);
}
