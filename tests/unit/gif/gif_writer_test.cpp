#include <gtest/gtest.h>

#include <string>

#include "gif/gif_image.h"
#include "gif/gif_stream_writer.h"
#include "gif/lzw_encoder.h"
#include "gif_test_support.h"
#include "support/test_support.h"

using namespace fk;
using namespace fk::test;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes slice(const Bytes& b, size_t at, size_t n) {
    EXPECT_LE(at + n, b.size());
    if (at + n > b.size())
        return {};
    return Bytes(b.begin() + long(at), b.begin() + long(at + n));
}

std::string text(const Bytes& b, size_t at, size_t n) {
    Bytes s = slice(b, at, n);
    return std::string(s.begin(), s.end());
}

TGIFSubImage& addFrame(TGIFImage& doc, int colors, int width = 4, int height = 2) {
    return addIndexedFrame(doc, width, height, randomIndexes(size_t(width * height), colors, 1),
                           randomColors(colors, 2));
}

struct Warnings {
    std::vector<std::string> messages;
    void attach(TGIFImage& doc) {
        doc.setOnWarning([this](TGIFPersistent*, TGIFSeverity severity, const std::string& m) {
            EXPECT_EQ(severity, gsWarning);
            messages.push_back(m);
        });
    }
};

}  // namespace

TEST(GifWriter, OneFrameWithAFullLocalMap) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 256);
    const Bytes b = saveToBytes(doc);
    EXPECT_EQ(text(b, 0, 6), "GIF87a");
    EXPECT_EQ(slice(b, 6, 7), (Bytes{4, 0, 2, 0, 0x77, 0, 0}));
    // Image descriptor right after the logical screen, no global table.
    EXPECT_EQ(slice(b, 13, 10), (Bytes{0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x87}));
    EXPECT_EQ(slice(b, 23, 768), Bytes(frame.colorMap().data(), frame.colorMap().data() + 768));
    EXPECT_EQ(b[23 + 768], 8);  // code size
    EXPECT_EQ(b.back(), 0x3B);
    EXPECT_EQ(traceImageData(b.data() + 23 + 768, b.size() - 24 - 768).pixels,
              Bytes(frame.data(), frame.data() + 8));

    // After PackForSave the map is the header's.
    doc.PackForSave();
    const Bytes packed = saveToBytes(doc);
    EXPECT_EQ(packed[10], 0xF7);
    EXPECT_EQ(slice(packed, 13, 768), slice(b, 23, 768));
    EXPECT_EQ(slice(packed, 13 + 768, 10), (Bytes{0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x00}));
    EXPECT_EQ(packed[13 + 768 + 10], 8);
    // The image data is the same either way.
    EXPECT_EQ(slice(packed, 13 + 768 + 10, packed.size() - 13 - 768 - 10),
              slice(b, 23 + 768, b.size() - 23 - 768));
}

TEST(GifWriter, SmallMapsArePaddedToAPowerOfTwo) {
    TGIFImage two;
    addFrame(two, 2);
    Bytes b = saveToBytes(two);
    EXPECT_EQ(b[10], 0x00);  // resolution 0, table size 0, no global table
    EXPECT_EQ(b[13 + 9], 0x80);
    EXPECT_EQ(b[13 + 10 + 6], 2);  // code size after a 6-byte table

    TGIFImage three;
    TGIFSubImage& f = addFrame(three, 3);
    b = saveToBytes(three);
    EXPECT_EQ(b[10], 0x11);
    EXPECT_EQ(b[13 + 9], 0x81);
    EXPECT_EQ(slice(b, 23, 9), Bytes(f.colorMap().data(), f.colorMap().data() + 9));
    EXPECT_EQ(slice(b, 32, 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(b[35], 2);

    // Header fields take the largest map of the document.
    TGIFImage mixed;
    addFrame(mixed, 3);
    addFrame(mixed, 17);
    b = saveToBytes(mixed);
    EXPECT_EQ(b[10], 0x44);
}

TEST(GifWriter, AnimationBlocksComeBeforeTheirFrame) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 256);
    auto* loop = frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    loop->setLoopCount(0);
    auto* control = frame.extensions().Add(TGIFGraphicControlExtension::CreateFor(frame));
    control->setDelay(10);
    const Bytes b = saveToBytes(doc);
    EXPECT_EQ(text(b, 0, 6), "GIF89a");
    Bytes expected{0x21, 0xFF, 0x0B};
    for (char c : std::string("NETSCAPE2.0"))
        expected.push_back(uint8_t(c));
    expected.insert(expected.end(), {0x03, 0x01, 0x00, 0x00, 0x00});
    expected.insert(expected.end(), {0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x2C});
    EXPECT_EQ(slice(b, 13, expected.size()), expected);

    // With a buffer size the loop block grows by one sub-block.
    loop->setBufferBytes(0x01020304);
    const Bytes withBuffer = saveToBytes(doc);
    EXPECT_EQ(slice(withBuffer, 13 + 18, 8),
              (Bytes{0x05, 0x02, 0x04, 0x03, 0x02, 0x01, 0x00, 0x21}));
}

TEST(GifWriter, GraphicControlFields) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 4);
    Warnings warnings;
    warnings.attach(doc);
    auto* gce = frame.extensions().Add(TGIFGraphicControlExtension::CreateFor(frame));
    EXPECT_EQ(frame.graphicControlExtension(), gce);
    gce->setUserInput(true);
    gce->setDisposal(3);
    EXPECT_EQ(gce->packed(), 0x0E);
    gce->setDisposal(9);  // only three bits are kept
    EXPECT_EQ(gce->disposal(), 1);
    gce->setTransparent(true);
    EXPECT_TRUE(frame.transparent());
    gce->setTransparentColorIndex(3);
    EXPECT_EQ(gce->transparentColorIndex(), 3);
    EXPECT_TRUE(warnings.messages.empty());
    gce->setTransparentColorIndex(4);
    EXPECT_EQ(gce->transparentColorIndex(), 0);
    EXPECT_EQ(warnings.messages, std::vector<std::string>{"Invalid color index"});
    gce->setDelay(0x1234);
    const Bytes b = saveToBytes(doc);
    EXPECT_EQ(slice(b, 13, 8), (Bytes{0x21, 0xF9, 0x04, 0x07, 0x34, 0x12, 0x00, 0x00}));

    // Destroying the transparent control block clears the frame's flag and link.
    delete gce;
    EXPECT_FALSE(frame.transparent());
    EXPECT_EQ(frame.graphicControlExtension(), nullptr);
    EXPECT_EQ(frame.extensions().count(), 0);
}

TEST(GifWriter, AnExtensionDestroyedByItsCreatorLeavesTheFile) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 4);
    auto* comment = frame.extensions().Add(TGIFCommentExtension::CreateFor(frame));
    comment->lines().push_back("gone");
    EXPECT_EQ(doc.Version(), 2);
    delete comment;
    EXPECT_EQ(frame.extensions().count(), 0);
    EXPECT_EQ(text(saveToBytes(doc), 0, 6), "GIF87a");

    // An extension removed from the list belongs to the caller again.
    auto* loop = frame.extensions().Add(TGIFAppExtNSLoop::CreateFor(frame));
    std::unique_ptr<TGIFAppExtNSLoop> mine = frame.extensions().Remove(loop);
    EXPECT_EQ(mine.get(), loop);
    EXPECT_FALSE(mine->linked());
    EXPECT_EQ(doc.Version(), 1);
}

TEST(GifWriter, TextLinesAreCutIntoSubBlocks) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 2);
    auto* comment = frame.extensions().Add(TGIFCommentExtension::CreateFor(frame));
    comment->lines() = {std::string(300, 'x'), "", "ab"};
    auto* plain = frame.extensions().Add(TGIFTextExtension::CreateFor(frame));
    plain->gridLeft = 0x0102;
    plain->gridTop = 3;
    plain->gridWidth = 4;
    plain->gridHeight = 5;
    plain->cellWidth = 6;
    plain->cellHeight = 7;
    plain->foregroundColorIndex = 1;
    plain->backgroundColorIndex = 0;
    plain->lines() = {"Hi"};

    const Bytes b = saveToBytes(doc);
    Bytes expected{0x21, 0xFE, 0xFF};
    expected.insert(expected.end(), 255, 'x');
    expected.push_back(45);
    expected.insert(expected.end(), 45, 'x');
    expected.insert(expected.end(), {2, 'a', 'b', 0x00});
    expected.insert(expected.end(), {0x21, 0x01, 0x0C, 0x02, 0x01, 3, 0,   4,   0,    5,
                                     0,    6,    7,    1,    0,    2, 'H', 'i', 0x00, 0x2C});
    EXPECT_EQ(slice(b, 13, expected.size()), expected);
}

TEST(GifWriter, UnknownApplicationBlocksAreWrittenRaw) {
    TGIFImage doc;
    TGIFSubImage& frame = addFrame(doc, 2);
    auto* app = frame.extensions().Add(TGIFUnknownAppExtension::CreateFor(frame));
    app->setIdentifier("FOTOKRANabc");
    const Bytes payload(260, 0x5A);
    app->addBlock(payload.data(), payload.size());
    const Bytes b = saveToBytes(doc);
    EXPECT_EQ(slice(b, 13, 3), (Bytes{0x21, 0xFF, 0x0B}));
    EXPECT_EQ(text(b, 16, 11), "FOTOKRANabc");
    EXPECT_EQ(b[27], 255);
    EXPECT_EQ(b[27 + 256], 5);
    EXPECT_EQ(slice(b, 27 + 256 + 6, 2), (Bytes{0x00, 0x2C}));
}

TEST(GifWriter, VersionFollowsTheFramesExtensions) {
    TGIFImage doc;
    EXPECT_EQ(doc.Version(), 0);
    addFrame(doc, 2);
    TGIFSubImage& second = addFrame(doc, 2);
    EXPECT_EQ(doc.Version(), 1);
    second.extensions().Add(TGIFCommentExtension::CreateFor(second));
    EXPECT_EQ(doc.Version(), 2);
    EXPECT_EQ(text(saveToBytes(doc), 3, 3), "89a");
    // The header plays no part.
    second.extensions().Clear();
    doc.header().colorMap().AppendColor(makeTColor(1, 2, 3));
    EXPECT_EQ(text(saveToBytes(doc), 3, 3), "87a");
}

TEST(GifWriter, ADocumentWithoutFramesWritesNothing) {
    TGIFImage doc;
    MemoryStream out;
    try {
        doc.SaveToStream(out);
        FAIL() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Unsupported GIF version");
    }
    EXPECT_EQ(out.size(), 0u);

    TempDir dir;
    EXPECT_THROW(doc.WriteToFile(dir.file("none.gif")), GIFException);
    EXPECT_TRUE(test::fileNames(dir.path()).empty());
}

TEST(GifWriter, AnEmptyFrameGivesOnlyItsExtensions) {
    TGIFImage doc;
    addFrame(doc, 2, 3, 1);
    auto empty = TGIFSubImage::CreateFor(doc);
    auto* note = empty->extensions().Add(TGIFCommentExtension::CreateFor(*empty));
    note->lines() = {"z"};
    TGIFSubImage& ref = *empty;
    doc.AddFrame(std::move(empty));
    EXPECT_TRUE(ref.empty());

    const Bytes b = saveToBytes(doc);
    // Header, 6-byte table-less first frame of 10 + 6 + data, then the comment and the trailer.
    const Bytes tail{0x21, 0xFE, 0x01, 'z', 0x00, 0x3B};
    EXPECT_EQ(slice(b, b.size() - tail.size(), tail.size()), tail);
}

TEST(GifWriter, ReportsProgressPerFrame) {
    TGIFImage doc;
    for (int i = 0; i < 3; ++i)
        addFrame(doc, 2);
    std::vector<std::pair<TProgressStage, int>> seen;
    doc.setOnProgress(
        [&](TGIFImage* sender, TProgressStage stage, int percent, const std::string& m) {
            EXPECT_EQ(sender, &doc);
            EXPECT_EQ(m, "Saving...");
            seen.emplace_back(stage, percent);
        });
    saveToBytes(doc);
    const std::vector<std::pair<TProgressStage, int>> expected{
        {psStarting, 0}, {psRunning, 33}, {psRunning, 67}, {psRunning, 100}, {psEnding, 100}};
    EXPECT_EQ(seen, expected);

    seen.clear();
    doc.frame(1).data()[0] = 9;  // outside its two colours
    EXPECT_THROW(saveToBytes(doc), GIFException);
    EXPECT_EQ(seen.back(), std::make_pair(psEnding, 0));
}

TEST(GifWriter, AFailedFrameLeavesAnOlderFileAsItWas) {
    TempDir dir;
    TGIFImage doc;
    addFrame(doc, 4);
    TGIFSubImage& bad = addFrame(doc, 4);
    bad.data()[5] = 4;
    const std::string path = dir.file("partial.gif");
    writeFileBytes(path, {1, 2, 3});
    try {
        doc.WriteToFile(path);
        FAIL() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }
    EXPECT_EQ(readFileBytes(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"partial.gif"});

    // A second save of the mended document replaces the file.
    bad.data()[5] = 3;
    doc.WriteToFile(path);
    EXPECT_EQ(readFileBytes(path).back(), 0x3B);
}

TEST(GifWriter, AnUnwritableFileIsReported) {
    TempDir dir;
    TGIFImage doc;
    addFrame(doc, 2);
    try {
        doc.WriteToFile(dir.file("missing/x.gif"));
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(
            std::string(e.what()).find("Cannot create file \"" + dir.file("missing/x.gif") + "\"."),
            std::string::npos);
    }
    // A full disk: the stream's own error passes through.
    if (fileExists("/dev/full")) {
        try {
            doc.WriteToFile("/dev/full");
            FAIL() << "no error";
        } catch (const EWriteError& e) {
            EXPECT_NE(std::string(e.what()).find("Cannot write file"), std::string::npos);
        }
    }
}

// A file written field by field as the format lays it out, for frames of 256 colours in local
// tables, each after a graphic control block; only the image data comes from the LZW encoder.
Bytes referenceFile(const TGIFImage& doc) {
    Bytes out;
    auto u8 = [&](int v) { out.push_back(uint8_t(v)); };
    auto u16 = [&](int v) {
        u8(v & 0xFF);
        u8(v >> 8);
    };
    for (char c : std::string("GIF89a"))
        u8(c);
    u16(doc.width());  // logical screen
    u16(doc.height());
    u8(0x77);  // no global table; colour resolution 8 bits, the local tables' size 256
    u8(0);     // background
    u8(0);     // aspect ratio
    for (int i = 0; i < doc.frameCount(); ++i) {
        const TGIFSubImage& f = doc.frame(i);
        const TGIFGraphicControlExtension& control = *f.graphicControlExtension();
        u8(0x21);  // extension introducer
        u8(0xF9);  // graphic control label
        u8(4);     // block size
        u8(control.packed());
        u16(control.delay());
        u8(control.transparentColorIndex());
        u8(0);     // block terminator
        u8(0x2C);  // image separator
        u16(f.left());
        u16(f.top());
        u16(f.width());
        u16(f.height());
        u8(0x87);  // local table of 256 entries, not interlaced
        out.insert(out.end(), f.colorMap().data(), f.colorMap().data() + 3 * 256);
        MemoryStream data;
        TLZWEncoder().EncodeFrameData(data, 8, 256, f.data(), false, f.height(), f.width());
        out.insert(out.end(), data.bytes().begin(), data.bytes().end());
    }
    u8(0x3B);  // trailer
    return out;
}

// The step writer, as a recorder uses it, and the document's own writer both give the file the
// format describes.
TEST(GifWriter, StepWriterGivesTheDocumentsBytes) {
    TGIFImage doc;
    for (int i = 0; i < 3; ++i) {
        TGIFSubImage& f = addFrame(doc, 256, 40, 30);
        f.extensions().Add(TGIFGraphicControlExtension::CreateFor(f))->setDelay(uint16_t(i));
    }
    doc.frame(1).setLeft(5);
    doc.frame(2).setTop(7);
    doc.frame(2).graphicControlExtension()->setDisposal(2);
    const Bytes reference = referenceFile(doc);
    ASSERT_GT(reference.size(), 6u + 7u + 3u * (8u + 10u + 768u));
    EXPECT_EQ(saveToBytes(doc), reference);

    // The layout a recorder knows in advance: extensions on every frame, 256-entry maps.
    const GifLayout layout{2, 8, 8};
    MemoryStream out;
    GifStreamWriter writer(out, ekLZW);
    writer.writeHeader(doc.header(), layout);
    for (int i = 0; i < doc.frameCount(); ++i)
        writer.writeFrame(doc.frame(i), layout);
    writer.writeTrailer();
    EXPECT_EQ(out.bytes(), reference);
}

TEST(GifWriter, LogicalScreenCannotShrinkBelowAFrame) {
    TGIFImage doc;
    TGIFSubImage& f = addFrame(doc, 2, 10, 5);
    f.setLeft(3);
    EXPECT_EQ(doc.width(), 13);
    try {
        doc.setWidth(12);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image width too small for contained frames");
    }
    try {
        doc.setHeight(4);
        FAIL();
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Image height too small for contained frames");
    }
    doc.setWidth(20);
    EXPECT_EQ(doc.width(), 20);
    // The descriptor holds 16-bit values.
    EXPECT_THROW(f.setLeft(65535 - 9), GIFException);
}
