#include "support/test_support.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fk::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "fotokran-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Folders made read-only by a test must become writable again to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> fileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool toolAvailable(const std::string& name) {
    return runCommand("command -v " + shellQuote(name) + " >/dev/null").exitCode == 0;
}

std::string thrownMessage(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

std::string runWithFileSizeLimit(uint64_t limitBytes, const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "cannot make a pipe";
    pid_t child = ::fork();
    if (child < 0)
        return "cannot start a child process";
    if (child == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(limitBytes), rlim_t(limitBytes)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = thrownMessage(work);
        ssize_t ignored = ::write(fds[1], message.data(), message.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string message;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        message += " (child ended abnormally)";
    return message;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

static std::string envOr(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string python() {
    return envOr("FOTOKRAN_PYTHON", FOTOKRAN_DEFAULT_PYTHON);
}
std::string toolsDir() {
    return envOr("FOTOKRAN_TEST_TOOLS", FOTOKRAN_DEFAULT_TOOLS);
}
std::string benchDataDir() {
    return envOr("FOTOKRAN_BENCH_DATA", FOTOKRAN_DEFAULT_BENCH_DATA);
}

std::vector<PillowFrame> dumpWithPillow(const std::string& path, PillowView view) {
    TempDir tmp;
    const std::string out = tmp.file("frames");
    const CommandResult r = runCommand(
        shellQuote(python()) + " " + shellQuote(toolsDir() + "/pillow_dump.py") + " " +
        shellQuote(path) + " " + shellQuote(out) + (view == PillowView::Composed ? " composed" : ""));
    std::vector<PillowFrame> frames;
    if (r.exitCode != 0) {
        ADD_FAILURE() << "Pillow could not decode " << path << ": " << r.output;
        return frames;
    }
    const std::vector<uint8_t> bytes = readFileBytes(out);
    size_t at = 0;
    while (at < bytes.size()) {
        const auto newline = std::find(bytes.begin() + long(at), bytes.end(), '\n');
        const std::string header(bytes.begin() + long(at), newline);
        PillowFrame f;
        char mode[16] = {};
        size_t paletteBytes = 0, pixelBytes = 0;
        at = size_t(newline - bytes.begin()) + 1;
        if (std::sscanf(header.c_str(), "%d %d %15s %zu %zu %d", &f.width, &f.height, mode,
                        &paletteBytes, &pixelBytes, &f.durationMs) != 6 ||
            at + paletteBytes + pixelBytes > bytes.size()) {
            ADD_FAILURE() << "unexpected decoder output for " << path << ": " << header;
            return frames;
        }
        f.mode = mode;
        f.palette.assign(bytes.begin() + long(at), bytes.begin() + long(at + paletteBytes));
        at += paletteBytes;
        f.pixels.assign(bytes.begin() + long(at), bytes.begin() + long(at + pixelBytes));
        at += pixelBytes;
        frames.push_back(std::move(f));
    }
    return frames;
}

DecodedImage decodeWithPillow(const std::string& path, int frame) {
    const std::vector<PillowFrame> frames = dumpWithPillow(path, PillowView::Composed);
    DecodedImage image;
    if (size_t(frame) >= frames.size()) {
        ADD_FAILURE() << path << " has no frame " << frame;
        return image;
    }
    const PillowFrame& f = frames[size_t(frame)];
    const size_t count = size_t(f.width) * size_t(f.height);
    if (f.pixels.size() != 3 * count) {
        ADD_FAILURE() << "decoder output of " << path << " has the wrong size";
        return image;
    }
    image.width = f.width;
    image.height = f.height;
    image.mode = f.mode;
    image.pixels.resize(count);
    for (size_t i = 0; i < count; ++i)
        image.pixels[i] = {f.pixels[3 * i], f.pixels[3 * i + 1], f.pixels[3 * i + 2]};
    return image;
}

std::vector<Color> pixelsOf(const Bitmap& bitmap) {
    std::vector<Color> out;
    out.reserve(size_t(bitmap.width()) * size_t(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            out.push_back(bitmap.pixel(x, y));
    return out;
}

Bitmap makeTestPattern(int width, int height, PixelFormat format, uint32_t seed) {
    Bitmap b(width, height, format);
    std::mt19937 rng(seed);
    if (isPaletteFormat(format)) {
        const int entries = 1 << bitsPerPixel(format);
        std::vector<RGBQuad> table(static_cast<size_t>(entries));
        for (auto& q : table)
            q = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
        b.setColorTable(table);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                b.setIndex(x, y, uint8_t(rng() % unsigned(entries)));
    } else {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                b.setPixel(x, y, {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    }
    return b;
}

}  // namespace fk::test
