// TIFF writing of the shared pictures against a plain write of as many bytes to a new file.
#include <cstdio>

#include "base/stream.h"
#include "support/bench_support.h"
#include "tiff/tiff_writer.h"

using namespace fk;

namespace {

void measure(const std::string& picture, PixelFormat format, const char* formatName) {
    Bitmap bitmap = bench::loadBenchPicture(picture);
    bitmap.setPixelFormat(format);
    const std::string ours = bench::scratchFile("bench.tif");
    const std::string plain = bench::scratchFile("plain.bin");

    MemoryStream reference;
    WriteTiff(reference, bitmap);
    const auto& bytes = reference.bytes();

    auto [tiffMs, plainMs] =
        bench::medianPairMs([&] { SaveTiffFile(ours, bitmap); },
                            [&] { bench::plainWrite(plain, bytes.data(), bytes.size()); });
    bench::reportRatio("TIFF write, " + picture + ", " + formatName, tiffMs, "plain write", plainMs,
                       2.0);
    std::printf("  file size: %zu bytes\n", bytes.size());
}

}  // namespace

int main() {
    measure("screen-1080p.bmp", PixelFormat::Device, "device");  // as a shot hands it over
    measure("photo-1080p.bmp", PixelFormat::Device, "device");
    measure("photo-1080p.bmp", PixelFormat::Bits24, "24 bits");
    measure("screen-1080p.bmp", PixelFormat::Bits8, "8 bits");
    return 0;
}
