#include "settings/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "base/exceptions.h"

namespace fk {

namespace {

bool hasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

std::string parentOf(const std::string& path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// The file a write really goes to: the target of a symbolic link.
std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::realpath(path.c_str(), buffer))
        return buffer;
    return path;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

}  // namespace

bool isWritableLocation(const std::string& path) {
    const std::string target = resolved(path);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) && hasWriteBit(st) && ::access(target.c_str(), W_OK) == 0;
    // A new file: the nearest existing folder decides.
    std::string folder = parentOf(target);
    while (::stat(folder.c_str(), &st) != 0) {
        const std::string up = parentOf(folder);
        if (up == folder)
            return false;
        folder = up;
    }
    return S_ISDIR(st.st_mode) && hasWriteBit(st) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void writeFileSafely(const std::string& path, std::string_view bytes,
                     const std::string& errorMessage) {
    const std::string target = resolved(path);
    if (!isWritableLocation(target))
        throw EWriteError(errorMessage);
    const std::string folder = parentOf(target);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !isWritableLocation(target))
        throw EWriteError(errorMessage);

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw EWriteError(errorMessage);
    mode_t mode = 0666;
    if (existed) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    const bool ok = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw EWriteError(errorMessage);
    }
}

}  // namespace fk
