// Every bitmap through the GIF document with every palette kind, dither kind and palette size,
// written and read back by this test's own GIF and LZW reader: the decoded indices are the frame's,
// every index names an entry of the colour table, and where the mapping is fixed (no dithering)
// each pixel has the colour its rule gives.
#include "base/exceptions.h"
#include "base/stream.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/gif_decoder.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"

namespace {

bool indexBeyondTable(const fk::Bitmap& b) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.index(x, y) >= b.colorTable().size())
                return true;
    return false;
}

int distance(fk::Color a, const uint8_t* e) {
    const int dr = a.red - e[0], dg = a.green - e[1], db = a.blue - e[2];
    return dr * dr + dg * dg + db * db;
}

// Without dithering the fixed palettes map each colour by a rule of their own: the three computed
// ones to one colour, the platform's palettes to an entry at the least distance (ties are free).
void checkPlainColour(fk::TPaletteKind kind, fk::Color c, const std::vector<uint8_t>& colors,
                      const uint8_t* got, int x, int y) {
    const int s = 77 * c.red + 150 * c.green + 29 * c.blue;
    fk::Color want;
    switch (kind) {
        case fk::pkBlackWhite:
            want.red = want.green = want.blue = s > 32512 ? 255 : 0;
            break;
        case fk::pkGray256:
            want.red = want.green = want.blue = uint8_t(s >> 8);
            break;
        case fk::pkWebCube:
            want = {uint8_t((c.red + 3) / 51 * 51), uint8_t((c.green + 3) / 51 * 51),
                    uint8_t((c.blue + 3) / 51 * 51)};
            break;
        case fk::pkSystem20:
        case fk::pkGray4:
        case fk::pkHalftone: {
            const size_t n = kind == fk::pkSystem20 ? 20 : kind == fk::pkGray4 ? 4 : 256;
            int best = INT32_MAX;
            for (size_t i = 0; i < n && 3 * i + 2 < colors.size(); ++i)
                best = std::min(best, distance(c, &colors[3 * i]));
            FUZZ_CHECK(distance(c, got) == best, "kind %d: not a nearest entry at %d,%d", kind, x,
                       y);
            return;
        }
        default:
            return;  // palettes made from the picture
    }
    FUZZ_CHECK(want == (fk::Color{got[0], got[1], got[2]}),
               "kind %d at %d,%d: %d %d %d for %d %d %d", kind, x, y, got[0], got[1], got[2], c.red,
               c.green, c.blue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const auto kind = fk::TPaletteKind(input.u8() % (fk::pkCustom + 1));
    const auto dither = fk::TDitherKind(input.u8() % (fk::dkBurkes + 1));
    const int paletteBits = int(input.u8() % 12) - 1;
    fk::Bitmap bitmap = fuzz::makeBitmap(input);
    const fk::Bitmap original = bitmap;
    const bool palettized = fk::isPaletteFormat(original.pixelFormat());

    fk::TGIFImage gif;
    gif.setReductionKind(kind);
    gif.setDitherKind(dither);
    gif.setPaletteBits(paletteBits);
    fk::MemoryStream out;
    try {
        gif.AssignBitmap(bitmap);
        gif.SaveToStream(out);
    } catch (const fk::GIFException& e) {
        const std::string m = e.what();
        // Only the documented refusals: an index beyond a palette bitmap's own table, more than
        // 256 colours kept as they are.
        FUZZ_CHECK(
            (m == fk::gif_text::kColorNotInTable && palettized && indexBeyondTable(original)) ||
                (m == fk::gif_text::kColorTableOverflow && kind == fk::pkTrueColor && !palettized),
            "%s (kind %d, dither %d, depth %s)", m.c_str(), kind, dither,
            fuzz::formatName(original.pixelFormat()));
        return 0;
    } catch (const fk::EInvalidGraphicOperation& e) {
        // A custom palette the document was never given leaves nothing to map to.
        FUZZ_CHECK(kind == fk::pkCustom && !palettized, "%s (kind %d)", e.what(), kind);
        return 0;
    }
    FUZZ_CHECK(gif.frameCount() == 1, "%d frames", gif.frameCount());
    const fk::TGIFSubImage& frame = gif.frame(0);
    const fuzz::GifFile g = fuzz::GifReader(out.bytes()).read();
    // An empty bitmap makes an empty frame, which is written as no image at all.
    FUZZ_CHECK(g.hasImage == !original.empty(), "image written: %d", g.hasImage);
    if (original.empty())
        return 0;
    FUZZ_CHECK(g.width == original.width() && g.height == original.height(),
               "frame %dx%d for %dx%d", g.width, g.height, original.width(), original.height());
    FUZZ_CHECK(g.screenWidth >= g.left + g.width && g.screenHeight >= g.top + g.height,
               "frame outside the screen");
    FUZZ_CHECK(g.indices.size() == frame.dataSize(), "sizes");
    const size_t entries = g.colors.size() / 3;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            const uint8_t index = g.indices[size_t(y) * g.width + x];
            FUZZ_CHECK(index == frame.pixel(x, y), "index at %d,%d", x, y);
            FUZZ_CHECK(index < entries, "index %d beyond %zu colours", index, entries);
            const uint8_t* e = &g.colors[3 * size_t(index)];
            const fk::Color source = original.pixel(x, y);
            if (palettized) {
                FUZZ_CHECK(index == original.index(x, y), "palette index at %d,%d", x, y);
                FUZZ_CHECK(source == (fk::Color{e[0], e[1], e[2]}), "palette colour at %d,%d", x,
                           y);
                continue;
            }
            if (dither == fk::dkPlain)
                checkPlainColour(kind, source, g.colors, e, x, y);
        }
    }
    return 0;
}
