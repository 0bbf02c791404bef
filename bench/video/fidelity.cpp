#include "fidelity.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

extern char** environ;

namespace fk::bench {

namespace {

using Clock = std::chrono::steady_clock;

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0x00RRGGBB
};

Likeness compare(const Canvas& shown, const Bitmap& screen, unsigned desktop) {
    Likeness l;
    double squares = 0, sum = 0;
    const int w = std::min(shown.width, screen.width()),
              h = std::min(shown.height, screen.height());
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = screen.scanLine(y);
        for (int x = 0; x < w; ++x, s += 4) {
            const uint32_t c = shown.rgb[size_t(y) * size_t(shown.width) + size_t(x)];
            const int d[3] = {int(c >> 16 & 0xFF) - s[2], int(c >> 8 & 0xFF) - s[1],
                              int(c & 0xFF) - s[0]};
            int worst = 0;
            for (int k : d) {
                squares += double(k * k);
                sum += std::abs(k);
                worst = std::max(worst, std::abs(k));
            }
            const unsigned colour = unsigned(s[2]) << 16 | unsigned(s[1]) << 8 | s[0];
            l.stale += colour == desktop && worst > 30;
        }
    }
    const double n = 3.0 * w * h;
    l.meanDifference = sum / n;
    l.psnr = squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / squares);
    return l;
}

struct Process {
    double wallMs = 0;
    double cpuMs = 0;
    int status = -1;
};

// Runs a command to its end; its output goes to `log`.
Process run(const std::vector<std::string>& command, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    Process p;
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return p;
    posix_spawn_file_actions_destroy(&actions);
    rusage usage{};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    p.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    p.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    p.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return p;
}

bool installed(const char* tool) {
    const std::string which = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(which.c_str()) == 0;
}

std::string display() {
    const char* d = std::getenv("DISPLAY");
    return d ? d : ":0";
}

}  // namespace

GrabLog::GrabLog(std::string path) : m_path(std::move(path)) {
    m_file = std::fopen(m_path.c_str(), "w+b");
}

GrabLog::~GrabLog() {
    if (m_file)
        std::fclose(m_file);
    std::filesystem::remove(m_path);
}

void GrabLog::keep(const Bitmap& screen, int64_t ms) {
    m_width = screen.width();
    m_height = screen.height();
    for (int y = 0; y < m_height; ++y)
        std::fwrite(screen.scanLine(y), 4, size_t(m_width), m_file);
    m_moments.push_back(ms);
    ++m_count;
}

int64_t GrabLog::read(int i, Bitmap& into) {
    into.prepare(m_width, m_height, PixelFormat::Bits32);
    const long row = long(m_width) * 4;
    std::fseek(m_file, long(i) * row * m_height, SEEK_SET);
    for (int y = 0; y < m_height; ++y)
        if (std::fread(into.scanLine(y), 4, size_t(m_width), m_file) != size_t(m_width))
            break;
    return m_moments[size_t(i)];
}

void judge(Outcome& o, unsigned desktop, GrabLog* log) {
    if (o.file.empty() || !std::filesystem::exists(o.file))
        return;
    o.bytes = std::filesystem::file_size(o.file);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(o.file.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        o.note = "giflib cannot read " + o.file;
        o.bytes = 0;
        return;
    }
    Canvas canvas{gif->SWidth, gif->SHeight, {}};
    canvas.rgb.assign(size_t(canvas.width) * size_t(canvas.height), 0);
    int next = 0;  // the kept grab to compare next
    double worst = 99;
    Bitmap screen;
    int64_t startCs = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        const std::vector<uint32_t> before =
            control.DisposalMode == DISPOSE_PREVIOUS ? canvas.rgb : std::vector<uint32_t>{};
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
                const int sx = d.Left + x, sy = d.Top + y;
                if (index == control.TransparentColor || sx >= canvas.width ||
                    sy >= canvas.height || !map || index >= map->ColorCount)
                    continue;
                const GifColorType& c = map->Colors[index];
                canvas.rgb[size_t(sy) * size_t(canvas.width) + size_t(sx)] =
                    uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
            }
        const int64_t endCs = startCs + control.DelayTime;
        // The grabs whose moment falls while this frame shows.
        for (; log && next < log->count(); ++next) {
            const int64_t ms = log->read(next, screen);
            if ((ms + 5) / 10 >= endCs && i + 1 < gif->ImageCount)
                break;
            worst = std::min(worst, compare(canvas, screen, desktop).psnr);
            ++o.grabsCompared;
        }
        startCs = endCs;
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = d.Top; y < std::min(d.Top + d.Height, canvas.height); ++y)
                for (int x = d.Left; x < std::min(d.Left + d.Width, canvas.width); ++x)
                    canvas.rgb[size_t(y) * size_t(canvas.width) + size_t(x)] = 0;
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas.rgb = before;
        }
    }
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
    o.worstGrabPsnr = worst;
    o.last = compare(canvas, o.finalScreen, desktop);
}

Outcome recordWithByzanz(const std::string& folder, int width, int height, int seconds) {
    Outcome o;
    if (!installed("byzanz-record")) {
        o.note = "byzanz-record is not installed (apt-get install byzanz)";
        return o;
    }
    o.file = folder + "/byzanz.gif";
    const Process p =
        run({"byzanz-record", "--duration=" + std::to_string(seconds), "--delay=0", "-x", "0", "-y",
             "0", "-w", std::to_string(width), "-h", std::to_string(height), o.file},
            folder + "/byzanz.log");
    if (p.status != 0) {
        o.note = "byzanz-record failed: see " + folder + "/byzanz.log";
        o.file.clear();
        return o;
    }
    o.finishMs = p.wallMs - seconds * 1000.0;
    o.cpuMs = p.cpuMs;
    return o;
}

Outcome recordWithFfmpeg(const std::string& folder, int width, int height, int seconds, int rate) {
    Outcome o;
    if (!installed("ffmpeg")) {
        o.note = "ffmpeg is not installed (apt-get install ffmpeg)";
        return o;
    }
    const std::string log = folder + "/ffmpeg.log", lossless = folder + "/ffmpeg.mkv",
                      palette = folder + "/palette.png";
    o.file = folder + "/ffmpeg.gif";
    const std::vector<std::vector<std::string>> steps = {
        {"ffmpeg", "-y", "-loglevel", "error", "-f", "x11grab", "-framerate", std::to_string(rate),
         "-video_size", std::to_string(width) + "x" + std::to_string(height), "-i",
         display() + "+0,0", "-t", std::to_string(seconds), "-c:v", "ffv1", lossless},
        {"ffmpeg", "-y", "-loglevel", "error", "-i", lossless, "-vf", "palettegen", palette},
        {"ffmpeg", "-y", "-loglevel", "error", "-i", lossless, "-i", palette, "-lavfi",
         "paletteuse", o.file},
    };
    double wall = 0;
    for (const auto& step : steps) {
        const Process p = run(step, log);
        if (p.status != 0) {
            o.note = "ffmpeg failed: see " + log;
            o.file.clear();
            return o;
        }
        wall += p.wallMs;
        o.cpuMs += p.cpuMs;
    }
    o.finishMs = wall - seconds * 1000.0;
    return o;
}

}  // namespace fk::bench
