#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/exceptions.h"
#include "capture/save_capture.h"
#include "graphics/bitmap.h"
#include "graphics/palettes.h"
#include "support/test_support.h"

namespace fk {
namespace {

class SaveCaptureTest : public ::testing::Test {
protected:
    SaveOptions options(const std::string& format, const std::string& mask) {
        SaveOptions o;
        o.formatText = format;
        o.folder = dir.path();
        o.mask = mask;
        o.counterText = "4";
        return o;
    }
    size_t filesInFolder() {
        return size_t(std::distance(std::filesystem::directory_iterator(dir.path()),
                                    std::filesystem::directory_iterator()));
    }

    test::TempDir dir;
    Bitmap shot = test::makeTestPattern(9, 5, PixelFormat::Device);
};

TEST_F(SaveCaptureTest, BmpFollowsTheFormatNotTheMasksExtension) {
    SaveCapture(shot, options("BMP", "shot_##.png"));
    auto bytes = test::readFileBytes(dir.file("shot_04.png"));
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(test::decodeWithPillow(dir.file("shot_04.png")).pixels, test::pixelsOf(shot));
}

TEST_F(SaveCaptureTest, WmfFlavourFollowsTheName) {
    SaveCapture(shot, options("WMF", "a#.wmf"));
    SaveCapture(shot, options("WMF", "b#.emf"));
    auto placeable = test::readFileBytes(dir.file("a4.wmf"));
    auto enhanced = test::readFileBytes(dir.file("b4.emf"));
    ASSERT_GE(placeable.size(), 4u);
    ASSERT_GE(enhanced.size(), 44u);
    EXPECT_EQ(placeable[0], 0xD7);  // placeable key
    EXPECT_EQ(enhanced[0], 1);      // enhanced header record
    EXPECT_EQ(enhanced[40], ' ');
    EXPECT_EQ(enhanced[41], 'E');
}

TEST_F(SaveCaptureTest, TifAndPngAreLosslessAndJpgTakesTheQualityAsItStands) {
    const auto expected = test::pixelsOf(shot);
    Bitmap copy = shot;
    SaveCapture(copy, options("TIF", "t#.tif"));
    EXPECT_EQ(test::decodeWithPillow(dir.file("t4.tif")).pixels, expected);
    copy = shot;
    SaveCapture(copy, options("PNG", "p#.png"));
    EXPECT_EQ(test::decodeWithPillow(dir.file("p4.png")).pixels, expected);

    Bitmap flat(16, 16, PixelFormat::Device);
    flat.fill({200, 30, 40});
    SaveOptions o = options("JPG", "j#.jpg");
    o.jpegQuality = 0;  // the library's lowest quality, not an error
    SaveCapture(flat, o);
    auto low = test::readFileBytes(dir.file("j4.jpg"));
    flat = Bitmap(16, 16, PixelFormat::Device);
    flat.fill({200, 30, 40});
    o.jpegQuality = 100;
    o.counterText = "5";
    SaveCapture(flat, o);
    auto high = test::readFileBytes(dir.file("j5.jpg"));
    ASSERT_GE(low.size(), 2u);
    EXPECT_EQ(low[0], 0xFF);
    EXPECT_EQ(low[1], 0xD8);
    EXPECT_NE(low, high);
    Color c = test::decodeWithPillow(dir.file("j5.jpg")).at(8, 8);
    EXPECT_NEAR(c.red, 200, 3);
    EXPECT_NEAR(c.green, 30, 3);
    EXPECT_NEAR(c.blue, 40, 3);
}

TEST_F(SaveCaptureTest, GifPaletteChoiceDecidesTheColours) {
    auto inCube = [](Color c) { return c.red % 51 == 0 && c.green % 51 == 0 && c.blue % 51 == 0; };
    struct Case {
        int palette;
        std::function<bool(Color)> allowed;
    };
    const std::vector<Case> cases = {
        {0,
         [](Color c) {
             return c == Color{0, 0, 0} || c == Color{255, 255, 255};
         }},
        {1, [](Color c) { return c.red == c.green && c.green == c.blue; }},
        {2,
         [](Color c) {
             for (const Color& h : kHalftonePalette256)
                 if (h == c)
                     return true;
             return false;
         }},
        {3, [](Color) { return true; }},
        {-1, inCube},  // no palette selected: the web cube
    };
    for (const Case& c : cases) {
        Bitmap copy = shot;
        SaveOptions o = options("GIF", "g#.gif");
        o.gifPalette = c.palette;
        o.counterText = std::to_string(c.palette + 1);
        SaveCapture(copy, o);
        auto image = test::decodeWithPillow(dir.file("g" + o.counterText + ".gif"));
        ASSERT_EQ(image.width, shot.width());
        ASSERT_EQ(image.height, shot.height());
        for (Color px : image.pixels)
            ASSERT_TRUE(c.allowed(px)) << "palette " << c.palette << ": " << int(px.red) << ","
                                       << int(px.green) << "," << int(px.blue);
    }
    // A picture of few colours keeps them exactly with the octree palette.
    Bitmap flat(30, 20, PixelFormat::Device);
    flat.fill({12, 200, 99});
    flat.setPixel(3, 4, {250, 1, 2});
    const auto expected = test::pixelsOf(flat);
    SaveCapture(flat, options("GIF", "flat.gif"));
    EXPECT_EQ(test::decodeWithPillow(dir.file("flat.gif")).pixels, expected);
}

TEST_F(SaveCaptureTest, NoFormatOrAnUnknownTextWritesNothing) {
    for (const char* format : {"", "bmp", "Jpg", "PNG "})
        SaveCapture(shot, options(format, "x#.bmp"));
    EXPECT_EQ(filesInFolder(), 0u);
}

TEST_F(SaveCaptureTest, AnExistingFileIsReplaced) {
    test::writeFileBytes(dir.file("same.bmp"), std::vector<uint8_t>(100000, 0xAA));
    SaveCapture(shot, options("BMP", "same.bmp"));
    EXPECT_EQ(test::readFileBytes(dir.file("same.bmp")).size(), 14u + 40u + 9u * 4u * 5u);
}

TEST_F(SaveCaptureTest, AFolderThatIsMissingGivesTheCreateError) {
    SaveOptions o = options("BMP", "x.bmp");
    o.folder = dir.file("gone");
    try {
        SaveCapture(shot, o);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.file("gone") +
                                             "/x.bmp\". No such file or directory");
    }
}

}  // namespace
}  // namespace fk
