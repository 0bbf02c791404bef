// GIF: LZW alone against giflib's EGifPutLine on the same indexes, and whole saves of a shot
// with the program's four palettes against Pillow in-process (timed by a small Python timer in
// the same run) and against ImageMagick writing a 256-colour GIF of the same picture.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/stream.h"
#include "gif/gif_image.h"
#include "gif/lzw_encoder.h"
#include "support/bench_support.h"

using namespace fk;

namespace {

// Ours and Pillow take turns, kRounds times kRuns runs each, so that a load that comes and goes
// on the machine weighs on both alike.
constexpr int kRounds = 3;
constexpr int kRuns = 5;

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double processMs(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        std::printf("failed: %s\n", command.c_str());
    return msSince(start);
}

double medianProcessMs(const std::string& command, int runs = 5) {
    processMs(command);  // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(processMs(command));
    return median(times);
}

// giflib's whole image data of one frame from the same indexes, into memory.
struct GiflibSink {
    std::vector<uint8_t> bytes;
    static int put(GifFileType* gif, const GifByteType* data, int n) {
        auto* sink = static_cast<GiflibSink*>(gif->UserData);
        sink->bytes.insert(sink->bytes.end(), data, data + n);
        return n;
    }
};

void giflibEncode(GiflibSink& sink, const uint8_t* indexes, int width, int height) {
    sink.bytes.clear();
    int error = 0;
    GifFileType* gif = EGifOpen(&sink, &GiflibSink::put, &error);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    if (!gif || !map || EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_OK ||
        EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_OK ||
        EGifPutLine(gif, const_cast<GifPixelType*>(indexes), width * height) != GIF_OK) {
        std::printf("giflib failed\n");
        std::exit(1);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
}

struct PaletteChoice {
    const char* caption;
    TPaletteKind kind;
    TDitherKind dither;
    const char* pillowKind;  // the Pillow save it is held against
    double pillowGoal;
    double magickGoal;
};

const PaletteChoice kPalettes[] = {
    {"Макс. цвет.", pkOctreeSystem, dkBurkes, "octree", 1.0, 0.4},
    {"Windows 256", pkHalftone, dkBurkes, "octree", 0.8, 0.4},
    {"Монохромная", pkBlackWhite, dkPlain, "mono", 0.5, 0.15},
    {"Шкала серого", pkGray256, dkPlain, "gray", 0.5, 0.15},
};

void benchLzw(const Bitmap& picture, const std::string& name) {
    for (const PaletteChoice& p : kPalettes) {
        if (p.kind == pkHalftone)
            continue;
        Bitmap shot = picture;
        TGIFImage doc;
        doc.setReductionKind(p.kind);
        doc.setDitherKind(p.dither);
        doc.AssignBitmap(shot);
        const TGIFSubImage& frame = doc.frame(0);
        MemoryStream ours;
        GiflibSink theirs;
        const auto [oursMs, giflibMs] = bench::medianPairMs(
            [&] {
                ours.clear();
                TLZWEncoder().EncodeFrameData(ours, 8, 256, frame.data(), false, frame.height(),
                                              frame.width());
            },
            [&] { giflibEncode(theirs, frame.data(), frame.width(), frame.height()); });
        const double megabytes = double(frame.dataSize()) / 1e6;
        bench::reportRatio("LZW alone, " + std::string(p.caption) + ", " + name, oursMs,
                           "giflib EGifPutLine", giflibMs, 1.0);
        std::printf("    %.0f MB/s; image data ours %zu bytes, giflib's file %zu bytes\n",
                    megabytes / (oursMs / 1000.0), size_t(ours.size()), theirs.bytes.size());
    }
}

// Pillow's medians for the picture: kind -> milliseconds.
std::map<std::string, double> pillowMs(const std::string& picture, bool print) {
    const std::string command =
        std::string(FOTOKRAN_PYTHON) + " '" FOTOKRAN_BENCH_GIF_DIR "/pillow_gif_timer.py' '" +
        picture + "' '" + bench::scratchFile("pillow.gif") + "' " + std::to_string(kRuns);
    std::map<std::string, double> result;
    FILE* timer = popen(command.c_str(), "r");
    if (!timer) {
        std::printf("cannot run %s\n", command.c_str());
        std::exit(1);
    }
    char kind[32];
    double ms = 0;
    unsigned long bytes = 0;
    while (std::fscanf(timer, "%31s %lf %lu", kind, &ms, &bytes) == 3) {
        result[kind] = ms;
        if (print)
            std::printf("Pillow %-6s %s: %.1f ms, %lu bytes\n", kind,
                        std::filesystem::path(picture).filename().c_str(), ms, bytes);
    }
    if (pclose(timer) != 0 || result.size() != 3) {
        std::printf("the Pillow timer failed: %s\n", command.c_str());
        std::exit(1);
    }
    return result;
}

// A shot's GIF save as the program makes it: the captured bitmap in the display's format, then
// AssignBitmap and WriteToFile; the copy of the shot is made outside the timing. Adds kRuns
// times to `times`.
void timeSaves(const Bitmap& picture, const PaletteChoice& p, int threads, const std::string& path,
               std::vector<double>& times) {
    for (int i = 0; i <= kRuns; ++i) {
        Bitmap shot = picture;
        const auto start = std::chrono::steady_clock::now();
        TGIFImage gif;
        gif.setThreadCount(threads);
        gif.setDitherKind(dkBurkes);
        gif.setReductionKind(p.kind);
        gif.setDitherKind(p.dither);
        gif.AssignBitmap(shot);
        gif.WriteToFile(path);
        if (i > 0)  // the first run warms up
            times.push_back(msSince(start));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool lzwOnly = argc > 1 && std::string(argv[1]) == "--lzw-only";
    for (const char* name : {"screen-1080p.bmp", "photo-1080p.bmp"}) {
        Bitmap picture = bench::loadBenchPicture(name);
        picture.setPixelFormat(PixelFormat::Device);  // as a shot hands it over
        benchLzw(picture, name);
        if (lzwOnly)
            continue;

        const std::string file = bench::benchPicture(name);
        const std::string path = bench::scratchFile("bench.gif");
        std::map<std::string, std::vector<double>> pillowRounds;
        std::vector<std::vector<double>> all(std::size(kPalettes)), single(std::size(kPalettes));
        for (int round = 0; round < kRounds; ++round) {
            for (const auto& [kind, ms] : pillowMs(file, round == 0))
                pillowRounds[kind].push_back(ms);
            for (size_t i = 0; i < std::size(kPalettes); ++i) {
                timeSaves(picture, kPalettes[i], 0, path, all[i]);
                timeSaves(picture, kPalettes[i], 1, path, single[i]);
            }
        }
        const std::string magickOut = bench::scratchFile("magick.gif");
        const double magickMs = medianProcessMs("convert " + file + " -colors 256 " + magickOut);
        std::printf("ImageMagick %s: %.1f ms, %ju bytes\n", name, magickMs,
                    std::uintmax_t(std::filesystem::file_size(magickOut)));
        for (size_t i = 0; i < std::size(kPalettes); ++i) {
            const PaletteChoice& p = kPalettes[i];
            const double pillow = median(pillowRounds.at(p.pillowKind));
            const double ours = median(all[i]), oneThread = median(single[i]);
            timeSaves(picture, p, 0, path, all[i]);  // leaves this palette's file for its size
            const std::string what = std::string(p.caption) + ", " + name;
            bench::reportRatio(what, ours, std::string("Pillow ") + p.pillowKind, pillow,
                               p.pillowGoal);
            bench::reportRatio(what, ours, "convert -colors 256", magickMs, p.magickGoal);
            std::printf("    one thread %.2f ms (%.2fx Pillow); file %ju bytes\n", oneThread,
                        oneThread / pillow, std::uintmax_t(std::filesystem::file_size(path)));
        }
    }
    return 0;
}
