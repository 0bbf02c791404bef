#include "capture/stale_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <regex>

#include "base/file.h"
#include "base/safe_file.h"

namespace fk {

namespace {

enum class Maker { Running, Gone, Unknown };

// Whether the copy that made the file still runs: it holds a lock on it for as long as it has
// the file open, and the lock goes with the process however it ends.
Maker makerOf(int folderFd, const std::string& name, const struct stat& named) {
    const FileDescriptor file(::openat(folderFd, name.c_str(),
                                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat opened {};
    if (!file || ::fstat(file.get(), &opened) != 0 || !sameFile(opened, named))
        return Maker::Unknown;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0)
        return Maker::Gone;
    return errno == EWOULDBLOCK ? Maker::Running : Maker::Unknown;
}

}  // namespace

bool isTemporaryFileName(const std::string& name) {
    // The names ReplacementFile and createTemporaryFile make, the latter for the frames of a
    // video named by BuildVideoFileName.
    static const std::regex kReplacement(R"(\..+\.[A-Za-z0-9]{6}\.part)");
    static const std::regex kFrames(R"(video_-?[0-9]+(\.gif)?(\.[A-Za-z0-9]{6})?\.tmp)");
    return std::regex_match(name, kReplacement) || std::regex_match(name, kFrames);
}

int removeStaleTemporaryFiles(const std::string& folder,
                              std::chrono::system_clock::time_point now) {
    FileDescriptor opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened)
        return 0;
    const int fd = opened.get();
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        return 0;
    opened.release();  // the listing owns it now
    const auto oldest = std::chrono::system_clock::to_time_t(now - kStaleTemporaryAge);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat st {};
        if (!isTemporaryFileName(name) ||
            ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !isOwnPlainFile(st))
            continue;
        const Maker maker = makerOf(fd, name, st);
        if (maker == Maker::Running || (maker == Maker::Unknown && st.st_mtime >= oldest))
            continue;
        if (::unlinkat(fd, name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace fk
