#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fk {

// The one place where the program's files meet the system: descriptors with an owner, whole
// reads and writes, and checks that a name still leads to the file that is open.

// A descriptor that is closed when its owner goes; moved, never copied.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release();
    // Closes the descriptor now (a failure there is no news) and takes `fd` instead.
    void reset(int fd = -1);
    // Closes the descriptor now; returns 0, or the errno of a close that failed (a network disk
    // may report a failed write only here).
    int close();

private:
    int m_fd = -1;
};

// How far a whole read or write got: `done` bytes, and 0 or the errno that stopped it.
struct IoResult {
    size_t done = 0;
    int error = 0;
};

// Writes all `size` bytes, at the file position or at `offset`, going on after interruptions
// and short counts; a write that takes nothing counts as a full disk (ENOSPC).
IoResult writeAll(int fd, const void* data, size_t size);
IoResult writeAllAt(int fd, const void* data, size_t size, uint64_t offset);
// Reads `size` bytes, or fewer where the file ends, at the file position or at `offset`.
IoResult readAll(int fd, void* data, size_t size);
IoResult readAllAt(int fd, void* data, size_t size, uint64_t offset);

// The failures of files as the program reports them, naming `path` and giving the system's
// reason: "Cannot create file "%s". %s", "Cannot open file "%s". %s", "Cannot read file "%s". %s",
// "Cannot write file "%s". %s".
[[noreturn]] void throwCreateError(const std::string& path, int err);
[[noreturn]] void throwOpenError(const std::string& path, int err);
[[noreturn]] void throwReadError(const std::string& path, int err);
[[noreturn]] void throwWriteError(const std::string& path, int err);

// Whether the two are the same file (device and inode).
bool sameFile(const struct stat& a, const struct stat& b);
// Whether `name` in the folder `folderFd` (AT_FDCWD: `name` is a path), not followed when it is a
// link, is the file that `file` describes.
bool namesFile(int folderFd, const std::string& name, const struct stat& file);
// Whether `path` still names the file open as `fd`.
bool namesOpenFile(const std::string& path, int fd);
// Deletes `path` when it still names the file open as `fd`; the file stays open.
void unlinkIfNamesOpenFile(const std::string& path, int fd);
// Throws unless `path` still names the temporary file open as `fd` and it holds at least
// `size` bytes ("The temporary file "%s" has disappeared", "... has been cut short").
void checkTemporaryFile(int fd, const std::string& path, uint64_t size);

}  // namespace fk
