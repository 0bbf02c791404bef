// Colour reduction of the shared 1080p pictures at the program's four GIF palette settings,
// each against ImageMagick's whole GIF save (`convert IN.bmp -colors 256 OUT.gif`) timed as a
// process in the same run. The goals are those of the whole save, with the LZW compression and
// the file write (about 15 ms) taken off: reduction + 15 ms must stay within goal x ImageMagick.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gif/reduction/color_reduction.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

constexpr double kLzwAndFileMs = 15.0;

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Each run reduces a fresh copy of the captured frame, since the reduction converts its source.
double reductionMs(const Bitmap& frame, TPaletteKind palette, TDitherKind dither, int runs = 9) {
    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) {
        Bitmap source = frame;
        const auto start = std::chrono::steady_clock::now();
        Bitmap result = MakePalettedBitmap(source, palette, dither, 8, nullptr);
        const double ms = msSince(start);
        if (result.empty()) std::abort();
        if (i > 0) times.push_back(ms);  // the first run warms up
    }
    return median(times);
}

double imageMagickMs(const std::string& picture) {
    const std::string command = "convert '" + picture + "' -colors 256 '" +
                                bench::scratchFile("imagemagick.gif") + "'";
    std::vector<double> times;
    for (int i = 0; i <= 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "ImageMagick failed: %s\n", command.c_str());
            std::exit(1);
        }
        if (i > 0) times.push_back(msSince(start));
    }
    return median(times);
}

}  // namespace

int main() {
    struct Setting {
        const char* name;
        TPaletteKind palette;
        TDitherKind dither;
        double goal;  // of the whole GIF save
    };
    const Setting settings[] = {
        {"Max colours (octree+system, Burkes)", pkOctreeSystem, dkBurkes, 0.40},
        {"Windows 256 (halftone, Burkes)", pkHalftone, dkBurkes, 0.40},
        {"Monochrome (black/white, plain)", pkBlackWhite, dkPlain, 0.15},
        {"Greyscale (256 greys, plain)", pkGray256, dkPlain, 0.15},
    };
    for (const char* name : {"screen-1080p.bmp", "photo-1080p.bmp"}) {
        Bitmap frame = bench::loadBenchPicture(name);
        frame.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
        const double anchor = imageMagickMs(bench::benchPicture(name));
        std::printf("%s: ImageMagick -colors 256 GIF save %.1f ms\n", name, anchor);
        for (const Setting& s : settings) {
            const double ours = reductionMs(frame, s.palette, s.dither);
            const double budget = s.goal - kLzwAndFileMs / anchor;
            bench::reportRatio(std::string(s.name), ours, "ImageMagick convert", anchor, budget);
        }
    }
    return 0;
}
