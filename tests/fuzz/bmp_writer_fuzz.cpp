// Every bitmap the program can hold, written as BMP and read back by the BMP reader: same size,
// same colours (palette formats: same indices and colour table).
#include "base/exceptions.h"
#include "base/stream.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const fk::Bitmap bitmap = fuzz::makeBitmap(input);
    fk::MemoryStream out;
    bitmap.saveToStream(out);
    const std::vector<uint8_t>& file = out.bytes();
    FUZZ_CHECK(file.size() >= 54 && file[0] == 'B' && file[1] == 'M', "no BMP header");
    const uint32_t sizeField =
        file[2] | (file[3] << 8) | (file[4] << 16) | (uint32_t(file[5]) << 24);
    FUZZ_CHECK(sizeField == file.size(), "file size field %u, file %zu", sizeField, file.size());

    out.seek(0);
    if (bitmap.empty()) {
        // No reader takes a picture without pixels.
        try {
            fk::Bitmap::loadFromStream(out);
        } catch (const fk::EInvalidGraphic&) {
            return 0;
        }
        FUZZ_CHECK(false, "a %dx%d BMP was read", bitmap.width(), bitmap.height());
    }
    const fk::Bitmap back = fk::Bitmap::loadFromStream(out);
    FUZZ_CHECK(back.width() == bitmap.width() && back.height() == bitmap.height(),
               "%dx%d read back as %dx%d", bitmap.width(), bitmap.height(), back.width(),
               back.height());
    const char* depth = fuzz::formatName(bitmap.pixelFormat());
    if (fk::isPaletteFormat(bitmap.pixelFormat())) {
        FUZZ_CHECK(back.pixelFormat() == bitmap.pixelFormat(), "depth %s changed", depth);
        FUZZ_CHECK(back.colorTable().size() == bitmap.colorTable().size(),
                   "table of %zu read as %zu", bitmap.colorTable().size(),
                   back.colorTable().size());
        for (size_t i = 0; i < back.colorTable().size(); ++i) {
            const fk::RGBQuad a = bitmap.colorTable()[i], b = back.colorTable()[i];
            FUZZ_CHECK(a.red == b.red && a.green == b.green && a.blue == b.blue, "entry %zu", i);
        }
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                FUZZ_CHECK(back.index(x, y) == bitmap.index(x, y), "depth %s index at %d,%d", depth,
                           x, y);
        return 0;
    }
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            FUZZ_CHECK(back.pixel(x, y) == bitmap.pixel(x, y), "depth %s colour at %d,%d", depth, x,
                       y);
    return 0;
}
