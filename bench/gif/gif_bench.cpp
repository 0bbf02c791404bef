// GIF: LZW alone on the reduced indexes of the shared pictures, and whole saves with the
// program's palettes against ImageMagick writing a 256-colour GIF of the same picture.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/stream.h"
#include "gif/gif_image.h"
#include "gif/lzw_encoder.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

// The budget the LZW stage is held to.
constexpr double kLzwGoalMBps = 150.0;

double processMs(const std::string& command) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        std::printf("failed: %s\n", command.c_str());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double medianProcessMs(const std::string& command, int runs = 5) {
    processMs(command);  // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(processMs(command));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchLzw(const std::string& name) {
    Bitmap picture = bench::loadBenchPicture(name);
    TGIFImage doc;
    doc.setReductionKind(pkOctreeSystem);
    doc.setDitherKind(dkBurkes);
    doc.AssignBitmap(picture);
    const TGIFSubImage& frame = doc.frame(0);
    MemoryStream out;
    const double ms = bench::medianMs([&] {
        out.clear();
        TLZWEncoder().EncodeFrameData(out, 8, 256, frame.data(), false, frame.height(),
                                      frame.width());
    });
    const double megabytes = double(frame.dataSize()) / 1e6;
    std::printf("LZW %-18s %zu indexes -> %zu bytes, %.1f MB/s\n", name.c_str(), frame.dataSize(),
                size_t(out.size()), megabytes / (ms / 1000.0));
    bench::reportRatio("LZW alone, " + name, ms, "150 MB/s budget",
                       megabytes / kLzwGoalMBps * 1000.0, 1.0);
}

struct PaletteChoice {
    const char* caption;
    TPaletteKind kind;
    TDitherKind dither;
    double goal;
};

void benchSave(const std::string& name, const PaletteChoice& p, double magickMs) {
    const Bitmap picture = bench::loadBenchPicture(name);
    const std::string path = bench::scratchFile("bench.gif");
    const double ms = bench::medianMs(
        [&] {
            Bitmap shot = picture;
            shot.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
            TGIFImage gif;
            gif.setDitherKind(dkBurkes);
            gif.setReductionKind(p.kind);
            gif.setDitherKind(p.dither);
            gif.AssignBitmap(shot);
            gif.WriteToFile(path);
        },
        5);
    bench::reportRatio(std::string(p.caption) + ", " + name, ms, "convert -colors 256", magickMs,
                       p.goal);
    std::printf("    file size: ours %ju bytes\n",
                std::uintmax_t(std::filesystem::file_size(path)));
}

}  // namespace

int main(int argc, char** argv) {
    for (const char* name : {"screen-1080p.bmp", "photo-1080p.bmp"})
        benchLzw(name);
    if (argc > 1 && std::string(argv[1]) == "--lzw-only")
        return 0;

    const PaletteChoice palettes[] = {{"Макс. цвет.", pkOctreeSystem, dkBurkes, 0.4},
                                      {"Монохромная", pkBlackWhite, dkPlain, 0.15},
                                      {"Шкала серого", pkGray256, dkPlain, 0.15}};
    for (const char* name : {"screen-1080p.bmp", "photo-1080p.bmp"}) {
        const std::string magickOut = bench::scratchFile("magick.gif");
        const double magickMs =
            medianProcessMs("convert " + bench::benchPicture(name) + " -colors 256 " + magickOut);
        std::printf("ImageMagick %s: %.1f ms, %ju bytes\n", name, magickMs,
                    std::uintmax_t(std::filesystem::file_size(magickOut)));
        for (const PaletteChoice& p : palettes)
            benchSave(name, p, magickMs);
    }
    return 0;
}
