// Any bytes as a BMP file (the video reads its temporary frames back this way): the reader either
// refuses them with its own error or gives a bitmap that is whole and survives a save and reload.
#include "base/exceptions.h"
#include "base/stream.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fk::MemoryStream in(std::vector<uint8_t>(data, data + size));
    fk::Bitmap bitmap;
    try {
        bitmap = fk::Bitmap::loadFromStream(in);
    } catch (const fk::EInvalidGraphic&) {
        return 0;
    } catch (const fk::EReadError&) {
        return 0;
    }
    FUZZ_CHECK(bitmap.width() > 0 && bitmap.height() > 0, "%dx%d", bitmap.width(), bitmap.height());
    FUZZ_CHECK(int64_t(bitmap.width()) * bitmap.height() <= fk::kMaxBitmapPixels, "too large");
    FUZZ_CHECK(bitmap.imageSize() == bitmap.stride() * size_t(bitmap.height()), "rows");
    FUZZ_CHECK(in.position() <= size, "read past the end: %llu of %zu",
               (unsigned long long)in.position(), size);
    // Pixel rows the file did not hold would have to come from somewhere.
    FUZZ_CHECK(bitmap.imageSize() <= size, "%zu bytes of pixels from a %zu-byte file",
               bitmap.imageSize(), size);

    fk::MemoryStream again;
    bitmap.saveToStream(again);
    again.seek(0);
    const fk::Bitmap reloaded = fk::Bitmap::loadFromStream(again);
    FUZZ_CHECK(reloaded == bitmap, "a saved bitmap reads back differently");
    FUZZ_CHECK(again.position() == again.size(), "the reload stopped at %llu of %llu",
               (unsigned long long)again.position(), (unsigned long long)again.size());
    return 0;
}
