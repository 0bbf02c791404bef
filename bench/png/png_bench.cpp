// PNG encoding of the shared pictures against libpng writing the same pixels with the same
// settings: Sub filter only, zlib level 7, default strategy, from the 32-bit rows a shot gives;
// and the save of a shot on every core against the one-thread save, with their file sizes.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "png/png_image.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

void writeWithLibpng(const Bitmap& bitmap, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw std::runtime_error("libpng failed");
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 7);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_compression_mem_level(png, 8);
    png_set_compression_window_bits(png, 15);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the unused fourth byte
    for (int y = 0; y < bitmap.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(bitmap.scanLine(y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void compare(const std::string& picture) {
    Bitmap bitmap = bench::loadBenchPicture(picture);
    bitmap.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
    const std::string ours = bench::scratchFile("ours.png");
    const std::string shared = bench::scratchFile("ours-threads.png");
    const std::string theirs = bench::scratchFile("libpng.png");

    // Alternating runs, so that a change in the machine's load hits all sides alike. The shot's
    // save takes the bitmap over (its copy is made outside the timing); the one-thread save reads
    // it where it is, as the reference path does.
    std::vector<double> oursTimes, sharedTimes, theirsTimes;
    for (int run = 0; run < 12; ++run) {
        oursTimes.push_back(bench::medianMs(
            [&] {
                TPNGObject png;
                png.Assign(bitmap);
                png.SaveToFile(ours);
            },
            1));
        Bitmap shot = bitmap;
        const auto start = std::chrono::steady_clock::now();
        {
            TPNGObject png;
            png.SetThreadCount(0);
            png.Assign(std::move(shot));
            png.SaveToFile(shared);
        }
        sharedTimes.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        theirsTimes.push_back(bench::medianMs([&] { writeWithLibpng(bitmap, theirs); }, 1));
    }
    const double oursMs = median(oursTimes);
    const double sharedMs = median(sharedTimes);
    const double theirsMs = median(theirsTimes);
    bench::reportRatio("PNG encode, " + picture, oursMs, "libpng Sub/7", theirsMs, 1.0);
    bench::reportRatio("PNG encode on every core, " + picture, sharedMs, "one thread", oursMs, 0.6);
    const auto oneSize = std::filesystem::file_size(ours);
    const auto sharedSize = std::filesystem::file_size(shared);
    std::printf(
        "  file sizes: one thread %ju bytes, every core %ju bytes (%+.2f %%), libpng %ju bytes\n",
        std::uintmax_t(oneSize), std::uintmax_t(sharedSize),
        100.0 * (double(sharedSize) - double(oneSize)) / double(oneSize),
        std::uintmax_t(std::filesystem::file_size(theirs)));
}

}  // namespace

int main() {
    compare("screen-1080p.bmp");
    compare("photo-1080p.bmp");
    return 0;
}
