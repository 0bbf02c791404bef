#include "base/safe_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "base/exceptions.h"

namespace fk {

namespace {

constexpr size_t kLetterCount = 6;

bool hasWriteBit(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

std::string parentOf(const std::string& path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

// The file a write really goes to: the target of a symbolic link that we (or the superuser, who
// could write our files anyway) made. A link that another user made is not followed, since it
// would let them pick which of our files is overwritten: it is replaced like any other file.
std::string resolved(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat link {};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) ||
            (link.st_uid != ::geteuid() && link.st_uid != 0))
            return current;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (n <= 0 || size_t(n) == sizeof buffer)
            return current;
        const std::filesystem::path next(std::string(buffer, size_t(n)));
        current = next.is_absolute() ? next.string()
                                     : (std::filesystem::path(parentOf(current)) / next).string();
    }
    return current;
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

std::string randomLetters() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string letters(kLetterCount, 'X');
    for (char& c : letters)
        c = kLetters[pick(random)];
    return letters;
}

// prefix + stem + "." + six random letters + suffix, the stem shortened so that the whole stays
// a valid name.
std::string lettered(const std::string& prefix, std::string stem, const std::string& suffix) {
    const size_t added = prefix.size() + 1 + kLetterCount + suffix.size();
    if (stem.size() + added > NAME_MAX)
        stem.resize(NAME_MAX > added ? NAME_MAX - added : 0);
    return prefix + stem + "." + randomLetters() + suffix;
}

[[noreturn]] void throwCreateError(const std::string& target, const std::string& reason) {
    throw EFCreateError(formatMessage("Cannot create file \"%s\". %s", {target, reason}));
}

constexpr const char* kTemporaryTakenReason =
    "Its temporary file was moved or replaced by someone else";

}  // namespace

bool isWritableLocation(const std::string& path) {
    const std::string target = resolved(path);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
        return S_ISREG(st.st_mode) && hasWriteBit(st) && ::access(target.c_str(), W_OK) == 0;
    // A new file, or a link that is to be replaced: the nearest existing folder decides.
    std::string folder = parentOf(target);
    while (::stat(folder.c_str(), &st) != 0) {
        const std::string up = parentOf(folder);
        if (up == folder)
            return false;
        folder = up;
    }
    return S_ISDIR(st.st_mode) && hasWriteBit(st) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

FileDescriptor openNewFile(int folderFd, const std::string& name) {
    FileDescriptor fd(::openat(folderFd, name.c_str(),
                               O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                               0600));
    // A file system without locks only loses the quick sweep of a dead copy's leftovers.
    if (fd)
        ::flock(fd.get(), LOCK_EX | LOCK_NB);
    return fd;
}

bool isOwnPlainFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

bool isOwnPlainFile(int folderFd, const std::string& name) {
    struct stat st {};
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && isOwnPlainFile(st);
}

TemporaryFile createTemporaryFile(const std::string& path) {
    const std::filesystem::path whole(path);
    const std::string name = whole.filename().string();
    if (name.empty() || name == "." || name == "..")
        throwCreateError(path, EISDIR);
    // Removing an earlier file of ours rather than writing into it keeps whoever still has it
    // open from seeing it change.
    if (isOwnPlainFile(AT_FDCWD, path))
        ::unlink(path.c_str());
    FileDescriptor fd = openNewFile(AT_FDCWD, path);
    if (fd)
        return {std::move(fd), path};
    const std::string prefix = whole.has_parent_path() ? whole.parent_path().string() + "/" : "";
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    const std::string extension = hasExtension ? name.substr(dot) : "";
    for (int attempt = 0; attempt < 100 && errno == EEXIST; ++attempt) {
        std::string fresh = prefix + lettered("", stem, extension);
        fd = openNewFile(AT_FDCWD, fresh);
        if (fd)
            return {std::move(fd), std::move(fresh)};
    }
    throwCreateError(path, errno);
}

ReplacementFile::ReplacementFile(std::string target) : m_target(std::move(target)) {
    const std::filesystem::path path(m_target);
    m_folderPath = path.has_parent_path() ? path.parent_path().string() : ".";
    m_name = path.filename().string();
    if (m_name.empty() || m_name == "." || m_name == "..")
        throwCreateError(m_target, EISDIR);
    // A constructor that throws leaves the folder to its member, which closes it.
    m_folder.reset(::open(m_folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder)
        throwCreateError(m_target, errno);
    struct stat st {};
    if (::fstatat(m_folder.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(st.st_mode))
        throwCreateError(m_target, EISDIR);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporaryName = lettered(".", m_name, ".part");
        m_fd = openNewFile(m_folder.get(), m_temporaryName);
        if (m_fd || errno != EEXIST)
            break;
    }
    if (!m_fd) {
        const int err = errno;
        m_temporaryName.clear();
        throwCreateError(m_target, err);
    }
    if (::fstat(m_fd.get(), &m_made) != 0) {
        const int err = errno;
        discard();
        throwCreateError(m_target, err);
    }
}

ReplacementFile::~ReplacementFile() {
    discard();
}

std::string ReplacementFile::temporaryPath() const {
    return m_temporaryName.empty() ? std::string() : m_folderPath + "/" + m_temporaryName;
}

bool ReplacementFile::temporaryIsOurs() const {
    return namesFile(m_folder.get(), m_temporaryName, m_made);
}

void ReplacementFile::discard() {
    m_fd.reset();
    // In a shared folder someone else may have put something under the temporary name.
    if (!m_temporaryName.empty() && temporaryIsOurs())
        ::unlinkat(m_folder.get(), m_temporaryName.c_str(), 0);
    m_temporaryName.clear();
}

void ReplacementFile::commit(bool sync) {
    struct stat old {};
    const bool keepMode =
        ::fstatat(m_folder.get(), m_name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
        isOwnPlainFile(old);
    const mode_t mode = keepMode ? (old.st_mode & 0777) : (0666 & ~currentUmask());
    if (::fchmod(m_fd.get(), mode) != 0 || (sync && ::fsync(m_fd.get()) != 0)) {
        const int err = errno;
        discard();
        throwWriteError(m_target, err);
    }
    if (const int err = m_fd.close()) {
        discard();
        throwWriteError(m_target, err);
    }
    if (!temporaryIsOurs()) {
        discard();
        throwCreateError(m_target, kTemporaryTakenReason);
    }
    if (::renameat(m_folder.get(), m_temporaryName.c_str(), m_folder.get(), m_name.c_str()) != 0) {
        const int err = errno;
        discard();
        throwCreateError(m_target, err);
    }
    m_temporaryName.clear();
    // Whatever was renamed has the target's name now; if someone slipped their own file under
    // the temporary name just before, that is no picture of ours.
    if (!namesFile(m_folder.get(), m_name, m_made))
        throwCreateError(m_target, kTemporaryTakenReason);
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
        if (writeAll(file.fd(), bytes.data(), bytes.size()).error != 0)
            throw EWriteError(errorMessage);
        file.commit(true);
    } catch (const Exception&) {
        throw EWriteError(errorMessage);
    }
}

}  // namespace fk
