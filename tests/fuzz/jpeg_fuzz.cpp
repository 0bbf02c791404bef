// Every bitmap through the JPEG saver with any quality and both switches, then decoded by libjpeg:
// the file decodes without error at the bitmap's size, and a one-colour picture comes back in its
// colour (which catches swapped channels and wrong colour spaces).
#include <csetjmp>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "base/stream.h"
#include "fuzz/fuzz_input.h"
#include "jpeg/jpeg_image.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->back, 1);
}

struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> pixels;
};

Decoded decode(const std::vector<uint8_t>& file) {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = [](j_common_ptr) {};
    Decoded d;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        FUZZ_CHECK(false, "libjpeg refused the file: %s", err.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    d.width = int(cinfo.output_width);
    d.height = int(cinfo.output_height);
    d.components = cinfo.output_components;
    d.pixels.resize(size_t(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &d.pixels[size_t(cinfo.output_scanline) * d.width * d.components];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    const int warnings = int(err.base.num_warnings);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    FUZZ_CHECK(warnings == 0, "libjpeg warned %d times (corrupt data)", warnings);
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t quality = input.u8();
    const bool grayscale = input.flag(), progressive = input.flag(), flat = input.flag();
    const fk::Color colour{input.u8(), input.u8(), input.u8()};
    fk::Bitmap bitmap = fuzz::makeBitmap(input);
    if (flat && !fk::isPaletteFormat(bitmap.pixelFormat()))
        bitmap.fill(colour);
    const fk::Bitmap original = bitmap;

    fk::TJPEGImage jpeg;
    jpeg.Assign(std::move(bitmap));
    jpeg.setQuality(quality);
    jpeg.setGrayscale(grayscale);
    jpeg.setProgressive(progressive);
    fk::MemoryStream out;
    jpeg.SaveToStream(out);
    if (original.empty()) {
        FUZZ_CHECK(out.size() == 0, "an empty bitmap gave %llu bytes",
                   (unsigned long long)out.size());
        return 0;
    }
    const Decoded d = decode(out.bytes());
    FUZZ_CHECK(d.width == original.width() && d.height == original.height(),
               "%dx%d decoded as %dx%d", original.width(), original.height(), d.width, d.height);
    FUZZ_CHECK(d.components == (grayscale ? 1 : 3), "%d components", d.components);
    if (!flat || grayscale || quality < 50 || fk::isPaletteFormat(original.pixelFormat()))
        return 0;
    const fk::Color want = original.pixel(0, 0);
    for (size_t i = 0; i < d.pixels.size(); i += 3) {
        const int dr = d.pixels[i] - want.red, dg = d.pixels[i + 1] - want.green,
                  db = d.pixels[i + 2] - want.blue;
        FUZZ_CHECK(std::abs(dr) <= 12 && std::abs(dg) <= 12 && std::abs(db) <= 12,
                   "flat %d %d %d decoded as %d %d %d at quality %d", want.red, want.green,
                   want.blue, d.pixels[i], d.pixels[i + 1], d.pixels[i + 2], quality);
    }
    return 0;
}
