#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "base/exceptions.h"
#include "capture/save_capture.h"
#include "graphics/bitmap.h"
#include "graphics/palettes.h"
#include "settings/list_entries.h"
#include "support/test_support.h"

namespace fk {
namespace {

class SaveCaptureTest : public ::testing::Test {
protected:
    SaveOptions options(const std::string& format, const std::string& mask) {
        SaveOptions o;
        o.format = pictureFormatOf(format);
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
    const std::vector<Color> shotColours = test::pixelsOf(shot);
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
        // Few colours: the octree keeps each of them, and nothing else shows.
        {3,
         [&](Color c) {
             return std::find(shotColours.begin(), shotColours.end(), c) != shotColours.end();
         }},
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

// The palette table of the GIF choices, checked by what each writes. A flat colour that no fixed
// palette holds gives, mapped plainly, one nearest entry everywhere, and, with the error spread,
// a mixture of entries around it. A picture whose colours each come back at many places tells
// the two apart for every palette: mapped plainly, a colour always gives the same colour.
TEST_F(SaveCaptureTest, GifPaletteChoicesFollowTheTable) {
    const Color flat{200, 30, 40};  // 77 r + 150 g + 29 b = 21060: dark, grey level 82
    Bitmap flatShot(48, 32, PixelFormat::Device);
    flatShot.fill(flat);
    Bitmap repeats(60, 50, PixelFormat::Device);
    auto colourAt = [](int x, int y) {
        const int k = (x * 7 + y * 13) % 300;  // 300 colours, each at ten places
        return Color{uint8_t(k % 10 * 25), uint8_t(k / 10 % 10 * 25), uint8_t(k / 100 * 80)};
    };
    for (int y = 0; y < repeats.height(); ++y)
        for (int x = 0; x < repeats.width(); ++x)
            repeats.setPixel(x, y, colourAt(x, y));

    auto save = [&](const Bitmap& shot, int palette, const std::string& name) {
        Bitmap copy = shot;
        SaveOptions o = options("GIF", name);
        o.gifPalette = palette;
        SaveCapture(copy, o);
        return test::decodeWithPillow(dir.file(name));
    };
    auto inHalftone = [](Color c) {
        return std::find(kHalftonePalette256.begin(), kHalftonePalette256.end(), c) !=
               kHalftonePalette256.end();
    };
    auto inCube = [](Color c) { return c.red % 51 == 0 && c.green % 51 == 0 && c.blue % 51 == 0; };
    struct Choice {
        int palette;
        const char* name;
        bool spread;
        std::optional<Color> everywhere;  // the one colour of the flat shot, when mapped plainly
        std::function<bool(Color)> inPalette;
    };
    const Choice choices[] = {
        {0, "Монохромная", false, Color{0, 0, 0}, nullptr},
        {1, "Шкала серого", false, Color{82, 82, 82}, nullptr},
        {2, "Windows 256", true, std::nullopt, inHalftone},
        {3, "Макс. цвет.", true, flat, nullptr},  // the octree holds the one colour exactly
        {-1, "no choice", true, std::nullopt, inCube},
    };
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.name);
        const auto flatGif = save(flatShot, c.palette, "flat" + std::to_string(c.palette) + ".gif");
        ASSERT_EQ(flatGif.pixels.size(), 48u * 32u);
        if (c.everywhere) {
            EXPECT_EQ(std::count(flatGif.pixels.begin(), flatGif.pixels.end(), *c.everywhere),
                      long(flatGif.pixels.size()));
        } else {
            // Spread error keeps the mean: the mixture averages to the flat colour.
            int64_t red = 0, green = 0, blue = 0;
            std::set<uint32_t> distinct;
            for (Color px : flatGif.pixels) {
                EXPECT_TRUE(c.inPalette(px))
                    << int(px.red) << "," << int(px.green) << "," << int(px.blue);
                red += px.red;
                green += px.green;
                blue += px.blue;
                distinct.insert(uint32_t(px.red) << 16 | uint32_t(px.green) << 8 | px.blue);
            }
            const auto n = int64_t(flatGif.pixels.size());
            EXPECT_GT(distinct.size(), 1u);
            EXPECT_NEAR(double(red) / double(n), flat.red, 3);
            EXPECT_NEAR(double(green) / double(n), flat.green, 3);
            EXPECT_NEAR(double(blue) / double(n), flat.blue, 3);
        }

        const auto repeatsGif =
            save(repeats, c.palette, "repeats" + std::to_string(c.palette) + ".gif");
        ASSERT_EQ(repeatsGif.pixels.size(), 60u * 50u);
        std::map<uint32_t, std::set<uint32_t>> written;  // source colour -> colours written
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const Color from = colourAt(x, y), to = repeatsGif.at(x, y);
                written[uint32_t(from.red) << 16 | uint32_t(from.green) << 8 | from.blue].insert(
                    uint32_t(to.red) << 16 | uint32_t(to.green) << 8 | to.blue);
            }
        const bool plain = std::all_of(written.begin(), written.end(),
                                       [](const auto& w) { return w.second.size() == 1; });
        EXPECT_EQ(!plain, c.spread);
    }
}

// Memory of the test's own, handed to a bitmap as a grab hands it a shared-memory segment.
class HandedMemory final : public PixelMemory {
public:
    explicit HandedMemory(size_t size) : m_bytes(size) {}
    uint8_t* data() override { return m_bytes.data(); }
    size_t size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

// A grab keeps the display's rows top row first, with whatever the display left in the unused
// byte: every format and palette writes the same file from it as from the same picture kept
// bottom-up with the unused byte clear.
TEST_F(SaveCaptureTest, AGrabsRowOrderAndUnusedBytesLeaveNoTraceInAnyFile) {
    const int w = 37, h = 23;
    const Bitmap picture = test::makeTestPattern(w, h, PixelFormat::Device, 7);
    Bitmap grabbed;
    grabbed.adoptMemory(w, h, PixelFormat::Device, RowOrder::TopDown,
                        std::make_unique<HandedMemory>(picture.imageSize()));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = grabbed.scanLine(y);
        std::memcpy(row, picture.scanLine(y), picture.stride());
        for (int x = 0; x < w; ++x)
            row[4 * x + 3] = uint8_t(0x80 + x + y);
    }
    ASSERT_EQ(grabbed.bits() + grabbed.stride(), grabbed.scanLine(1));

    struct Case {
        const char* format;
        const char* extension;
        int palette;
    };
    const Case cases[] = {{"BMP", ".bmp", 3}, {"JPG", ".jpg", 3}, {"WMF", ".wmf", 3},
                          {"WMF", ".emf", 3}, {"PNG", ".png", 3}, {"TIF", ".tif", 3},
                          {"GIF", ".gif", 0}, {"GIF", ".gif", 1}, {"GIF", ".gif", 2},
                          {"GIF", ".gif", 3}, {"GIF", ".gif", -1}};
    for (const Case& c : cases) {
        const std::string what =
            std::string(c.format) + c.extension + ", palette " + std::to_string(c.palette);
        SaveOptions clean = options(c.format, std::string("clean#") + c.extension);
        SaveOptions shot = options(c.format, std::string("grab#") + c.extension);
        clean.gifPalette = shot.gifPalette = c.palette;
        Bitmap a = picture, b = grabbed;
        const std::string cleanFile = SaveCapture(a, clean), grabFile = SaveCapture(b, shot);
        EXPECT_EQ(test::readFileBytes(grabFile), test::readFileBytes(cleanFile)) << what;
    }
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

// Nothing is written where the chosen folder has gone, or under a name a control byte would cut.
TEST_F(SaveCaptureTest, AMissingFolderOrAControlByteInTheMaskGivesTheCreateError) {
    const std::string gone = dir.file("gone"), here = dir.path();
    const std::string control = "The mask holds a control character";
    const struct {
        std::string folder, mask, message;
    } cases[] = {
        {gone, "x.bmp", "\"" + gone + "/x.bmp\". The folder \"" + gone + "\" does not exist"},
        {here, std::string("a\0b.bmp", 7), "\"" + here + "/a\\x00b.bmp\". " + control},
        {here, "a\tb.bmp", "\"" + here + "/a\\x09b.bmp\". " + control}};
    for (const auto& c : cases) {
        SaveOptions o = options("BMP", c.mask);
        o.folder = c.folder;
        try {
            SaveCapture(shot, o);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + c.message);
        }
    }
    EXPECT_EQ(filesInFolder(), 0u);
}

}  // namespace
}  // namespace fk
