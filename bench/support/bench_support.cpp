#include "support/bench_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fk::bench {

std::string benchPicture(const std::string& name) {
    const char* dir = std::getenv("FOTOKRAN_BENCH_DATA");
    return std::string(dir && *dir ? dir : FOTOKRAN_DEFAULT_BENCH_DATA) + "/" + name;
}

Bitmap loadBenchPicture(const std::string& name) {
    return Bitmap::loadFromFile(benchPicture(name));
}

double medianMs(const std::function<void()>& work, int runs) {
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::pair<double, double> medianPairMs(const std::function<void()>& ours,
                                       const std::function<void()>& anchor, int runs) {
    auto time = [](const std::function<void()>& work) {
        auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    ours();
    anchor();
    std::vector<double> oursMs, anchorMs;
    for (int i = 0; i < runs; ++i) {
        oursMs.push_back(time(ours));
        anchorMs.push_back(time(anchor));
    }
    std::sort(oursMs.begin(), oursMs.end());
    std::sort(anchorMs.begin(), anchorMs.end());
    return {oursMs[oursMs.size() / 2], anchorMs[anchorMs.size() / 2]};
}

void reportRatio(const std::string& what, double oursMs, const std::string& anchor, double anchorMs,
                 double goal, const char* unit) {
    double ratio = oursMs / anchorMs;
    std::printf("%-48s %9.2f %s   %-28s %9.2f %s   ratio %5.2fx   goal <= %.2fx   %s\n",
                what.c_str(), oursMs, unit, anchor.c_str(), anchorMs, unit, ratio, goal,
                ratio <= goal ? "met" : "MISSED");
    std::fflush(stdout);
}

void plainWrite(const std::string& path, const void* data, size_t bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        ssize_t n = ::write(fd, p, bytes);
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        p += n;
        bytes -= size_t(n);
    }
    ::close(fd);
}

std::string scratchFile(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / "fotokran-bench";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

}  // namespace fk::bench
