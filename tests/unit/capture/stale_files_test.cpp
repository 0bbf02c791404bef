#include "capture/stale_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/file.h"
#include "support/test_support.h"

namespace fk {
namespace {

namespace fs = std::filesystem;

// Sets when a file (or a link itself) was last changed, `hours` before `now`.
void age(const std::string& path, std::chrono::system_clock::time_point now, int hours) {
    const time_t when = std::chrono::system_clock::to_time_t(now - std::chrono::hours(hours));
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// At start the program removes what a run that ended abruptly left in a folder, however young:
// only names of its own making, only files of this user, only those no running copy holds
// locked, and only in the folder itself. Links, other users' files and other names stay.
TEST(StaleTemporaryFiles, OnlyOurOwnTemporaryFilesOfCopiesNoLongerRunningGo) {
    test::TempDir dir;
    const auto now = std::chrono::system_clock::now();
    const auto file = [&](const std::string& name, int hours) {
        test::writeFileBytes(dir.file(name), {1, 2, 3});
        age(dir.file(name), now, hours);
    };
    // Removed.
    file(".shot_000.bmp.Ab12Cd.part", 25);
    file(".config.ini.xY9zQ0.part", 24 * 30);
    file("video_7.gif.tmp", 25);
    file("video_8.gif.Xa3kP0.tmp", 25);
    file("video_-3.tmp", 25);
    file(".shot_008.bmp.Ab12Cd.part", 0);
    // Kept: a copy running elsewhere holds this one.
    file(".shot_001.bmp.Ab12Cd.part", 48);
    const FileDescriptor live(::open(dir.file(".shot_001.bmp.Ab12Cd.part").c_str(), O_RDWR));
    ASSERT_EQ(::flock(live.get(), LOCK_EX), 0);
    file("shot_002.bmp", 48);
    file("notes.part", 48);
    file(".shot_003.bmp.part", 48);
    file("video_9.gif.tmp.bak", 48);
    file("video_x.gif.tmp", 48);
    file("elsewhere.txt", 48);
    fs::create_symlink(dir.file("elsewhere.txt"), dir.file(".shot_004.bmp.Ab12Cd.part"));
    age(dir.file(".shot_004.bmp.Ab12Cd.part"), now, 48);
    file("kept.bin", 48);
    fs::create_hard_link(dir.file("kept.bin"), dir.file(".shot_005.bmp.Ab12Cd.part"));
    fs::create_directory(dir.file(".shot_006.bmp.Ab12Cd.part"));
    age(dir.file(".shot_006.bmp.Ab12Cd.part"), now, 48);
    fs::create_directory(dir.file("sub"));
    file("sub/video_1.gif.tmp", 48);
    std::vector<std::string> kept = {".shot_001.bmp.Ab12Cd.part",
                                     ".shot_003.bmp.part",
                                     ".shot_004.bmp.Ab12Cd.part",
                                     ".shot_005.bmp.Ab12Cd.part",
                                     ".shot_006.bmp.Ab12Cd.part",
                                     "elsewhere.txt",
                                     "kept.bin",
                                     "notes.part",
                                     "shot_002.bmp",
                                     "sub",
                                     "video_9.gif.tmp.bak",
                                     "video_x.gif.tmp"};
    if (::geteuid() == 0) {
        file(".shot_007.bmp.Ab12Cd.part", 48);
        ASSERT_EQ(::chown(dir.file(".shot_007.bmp.Ab12Cd.part").c_str(), 65534, 65534), 0);
        kept.push_back(".shot_007.bmp.Ab12Cd.part");
        std::sort(kept.begin(), kept.end());
    }

    EXPECT_EQ(removeStaleTemporaryFiles(dir.path(), now), 6);
    EXPECT_EQ(test::fileNames(dir.path()), kept);
    EXPECT_EQ(test::fileNames(dir.file("sub")), std::vector<std::string>{"video_1.gif.tmp"});
    EXPECT_EQ(test::readFileBytes(dir.file("elsewhere.txt")).size(), 3u);
    EXPECT_EQ(removeStaleTemporaryFiles(dir.file("missing"), now), 0);
}

}  // namespace
}  // namespace fk
