#include "base/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

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

// The umask as the kernel reports it, so that it need not be changed to be read; other threads
// may be creating files meanwhile.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string randomLetters(size_t count) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string letters(count, 'X');
    for (char& c : letters)
        c = kLetters[pick(random)];
    return letters;
}

[[noreturn]] void throwCreateError(const std::string& target, int err) {
    throw EFCreateError(
        formatMessage("Cannot create file \"%s\". %s", {target, std::strerror(err)}));
}

[[noreturn]] void throwWriteError(const std::string& target, int err) {
    throw EWriteError(formatMessage("Cannot write file \"%s\". %s", {target, std::strerror(err)}));
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

ReplacementFile::ReplacementFile(std::string target) : m_target(std::move(target)) {
    const std::filesystem::path path(m_target);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    std::string name = path.filename().string();
    // The added ".", ".XXXXXX" and ".part" must not make the name too long for the folder.
    constexpr size_t kAdded = 13;
    if (name.size() + kAdded > NAME_MAX)
        name.resize(NAME_MAX - kAdded);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = folder + "/." + name + "." + randomLetters(6) + ".part";
        m_fd =
            ::open(m_temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            return;
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    m_temporary.clear();
    throwCreateError(m_target, err);
}

ReplacementFile::~ReplacementFile() {
    discard();
}

void ReplacementFile::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

void ReplacementFile::commit(bool sync) {
    struct stat old {};
    const mode_t mode = ::lstat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 0777)
                            : (0666 & ~currentUmask());
    if (::fchmod(m_fd, mode) != 0 || (sync && ::fsync(m_fd) != 0)) {
        const int err = errno;
        discard();
        throwWriteError(m_target, err);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        discard();
        throwWriteError(m_target, err);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const int err = errno;
        discard();
        throwCreateError(m_target, err);
    }
    m_temporary.clear();
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

    try {
        ReplacementFile file(target);
        if (!writeAll(file.fd(), bytes))
            throw EWriteError(errorMessage);
        file.commit(true);
    } catch (const Exception&) {
        throw EWriteError(errorMessage);
    }
}

}  // namespace fk
