// JPEG saving of the shared pictures against libjpeg-turbo called directly on the same pixels
// with the same settings (floating-point DCT, baseline tables), into memory and then a file.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "jpeg/jpeg_image.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

constexpr int kQuality = 80;
constexpr int kRuns = 15;  // medianPairMs's default

// The shortest road through the library: the stored rows handed over as they are.
size_t compressDirectly(const Bitmap& bitmap, const std::string& path) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(bitmap.width());
    cinfo.image_height = JDIMENSION(bitmap.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bitmap.scanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    bench::plainWrite(path, buffer, size);
    std::free(buffer);
    return size;
}

void measure(const std::string& picture) {
    Bitmap shot = bench::loadBenchPicture(picture);
    shot.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
    const std::string ours = bench::scratchFile("bench.jpg");
    const std::string direct = bench::scratchFile("direct.jpg");

    size_t directSize = 0;
    auto directly = [&] { directSize = compressDirectly(shot, direct); };

    // The encoder's own work: compression and the file, on images given their copies beforehand.
    // Each run of either side reads a copy of its own, so that neither finds the pixels in cache.
    std::vector<std::unique_ptr<TJPEGImage>> images;
    std::vector<Bitmap> anchorCopies;
    for (int i = 0; i <= kRuns; ++i) {
        images.push_back(std::make_unique<TJPEGImage>());
        images.back()->Assign(shot);
        images.back()->setQuality(kQuality);
        anchorCopies.push_back(shot);
    }
    size_t next = 0, nextCopy = 0;
    auto [encodeMs, directMs] = bench::medianPairMs(
        [&] { images[next++]->SaveToFile(ours); },
        [&] { directSize = compressDirectly(anchorCopies[nextCopy++], direct); });
    images.clear();
    anchorCopies.clear();

    // What the saving step does: the private copy of the shot included.
    auto [saveMs, directMs2] = bench::medianPairMs(
        [&] {
            TJPEGImage jpeg;
            jpeg.Assign(shot);
            jpeg.setQuality(kQuality);
            jpeg.SaveToFile(ours);
        },
        directly);

    bench::reportRatio("JPEG SaveToFile q80, " + picture, encodeMs, "libjpeg-turbo direct",
                       directMs, 1.1);
    bench::reportRatio("JPEG Assign + SaveToFile q80, " + picture, saveMs, "libjpeg-turbo direct",
                       directMs2, 1.1);
    std::printf("  file size: %zu bytes\n", directSize);
}

}  // namespace

int main() {
    measure("screen-1080p.bmp");
    measure("photo-1080p.bmp");
    return 0;
}
