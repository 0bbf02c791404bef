#include "base/file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/exceptions.h"

namespace fk {

namespace {

// Runs `step` (a read or write of what is left, at what offset) until all is done, the file ends
// or an error other than an interruption stops it.
template <typename Step>
IoResult whole(size_t size, int atEnd, Step step) {
    IoResult result;
    while (result.done < size) {
        const ssize_t n = step(result.done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            result.error = n < 0 ? errno : atEnd;
            break;
        }
        result.done += size_t(n);
    }
    return result;
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int FileDescriptor::release() {
    return std::exchange(m_fd, -1);
}

void FileDescriptor::reset(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int FileDescriptor::close() {
    if (m_fd < 0)
        return 0;
    return ::close(release()) == 0 ? 0 : errno;
}

IoResult writeAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    return whole(size, ENOSPC, [&](size_t done) { return ::write(fd, p + done, size - done); });
}

IoResult writeAllAt(int fd, const void* data, size_t size, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    return whole(size, ENOSPC, [&](size_t done) {
        return ::pwrite(fd, p + done, size - done, off_t(offset + done));
    });
}

IoResult readAll(int fd, void* data, size_t size) {
    auto* p = static_cast<uint8_t*>(data);
    return whole(size, 0, [&](size_t done) { return ::read(fd, p + done, size - done); });
}

IoResult readAllAt(int fd, void* data, size_t size, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(data);
    return whole(size, 0, [&](size_t done) {
        return ::pread(fd, p + done, size - done, off_t(offset + done));
    });
}

void throwCreateError(const std::string& path, int err) {
    throw EFCreateError(formatMessage("Cannot create file \"%s\". %s", {path, std::strerror(err)}));
}

void throwOpenError(const std::string& path, int err) {
    throw EFOpenError(formatMessage("Cannot open file \"%s\". %s", {path, std::strerror(err)}));
}

void throwReadError(const std::string& path, int err) {
    throw EReadError(formatMessage("Cannot read file \"%s\". %s", {path, std::strerror(err)}));
}

void throwWriteError(const std::string& path, int err) {
    throw EWriteError(formatMessage("Cannot write file \"%s\". %s", {path, std::strerror(err)}));
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool namesFile(int folderFd, const std::string& name, const struct stat& file) {
    struct stat named {};
    return ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           sameFile(named, file);
}

bool namesOpenFile(const std::string& path, int fd) {
    struct stat own {};
    return fd >= 0 && ::fstat(fd, &own) == 0 && namesFile(AT_FDCWD, path, own);
}

void unlinkIfNamesOpenFile(const std::string& path, int fd) {
    if (namesOpenFile(path, fd))
        ::unlink(path.c_str());
}

void checkTemporaryFile(int fd, const std::string& path, uint64_t size) {
    struct stat own {};
    if (!namesOpenFile(path, fd) || ::fstat(fd, &own) != 0)
        throw EReadError(formatMessage("The temporary file \"%s\" has disappeared", {path}));
    if (uint64_t(own.st_size) < size)
        throw EReadError(formatMessage("The temporary file \"%s\" has been cut short", {path}));
}

}  // namespace fk
