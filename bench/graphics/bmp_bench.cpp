// BMP writing of the shared screen picture against a plain write of as many bytes.
#include <cstdio>

#include "base/stream.h"
#include "support/bench_support.h"

using namespace fk;

int main() {
    Bitmap screen = bench::loadBenchPicture("screen-1080p.bmp");
    screen.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
    const std::string ours = bench::scratchFile("bench.bmp");
    const std::string plain = bench::scratchFile("plain.bin");

    MemoryStream reference;
    screen.saveToStream(reference);
    const auto& bytes = reference.bytes();

    double bmpMs = bench::medianMs([&] { screen.saveToFile(ours); });
    double plainMs = bench::medianMs([&] { bench::plainWrite(plain, bytes.data(), bytes.size()); });
    bench::reportRatio("BMP write, 1920x1080 screen, 32 bits", bmpMs, "plain write", plainMs, 2.0);
    std::printf("BMP file size: %zu bytes\n", bytes.size());
    return 0;
}
