#include "base/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/exceptions.h"
#include "base/file.h"
#include "base/safe_file.h"

namespace fk {

namespace {

constexpr size_t kFileBufferSize = 64 * 1024;

}  // namespace

void Stream::readExact(void* buffer, size_t n) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        size_t got = read(p, n);
        if (got == 0)
            throw EReadError("Stream read error");
        p += got;
        n -= got;
    }
}

size_t MemoryStream::read(void* buffer, size_t n) {
    if (m_pos >= m_data.size())
        return 0;
    n = std::min(n, m_data.size() - m_pos);
    std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

void MemoryStream::write(const void* buffer, size_t n) {
    if (n == 0)
        return;
    if (m_pos + n > m_data.size())
        m_data.resize(m_pos + n);
    std::memcpy(m_data.data() + m_pos, buffer, n);
    m_pos += n;
}

void MemoryStream::seek(uint64_t position) {
    if (position > m_data.size())
        m_data.resize(position);
    m_pos = position;
}

std::vector<uint8_t> MemoryStream::takeBytes() {
    m_pos = 0;
    return std::exchange(m_data, {});
}

void MemoryStream::clear() {
    m_data.clear();
    m_pos = 0;
}

FileStream::FileStream(const std::string& path, Mode mode) : m_path(path) {
    if (mode == Mode::Replace) {
        struct stat st {};
        const bool device =
            ::lstat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
        if (device && openDevice())
            return;
        m_replacement = std::make_unique<ReplacementFile>(path);
        return;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Create:
        case Mode::Replace:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case Mode::OpenRead:
            flags |= O_RDONLY;
            break;
        case Mode::OpenReadWrite:
            flags |= O_RDWR;
            break;
    }
    m_file.reset(::open(path.c_str(), flags, 0666));
    if (!m_file) {
        if (mode == Mode::Create)
            throwCreateError(path, errno);
        throwOpenError(path, errno);
    }
    struct stat st {};
    if (::fstat(m_file.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        m_file.reset();
        throwCreateError(path, EISDIR);
    }
}

FileStream::FileStream(FileDescriptor fd, std::string path)
    : m_path(std::move(path)), m_file(std::move(fd)) {}

// A device is opened without following a link and without waiting; when something else has
// been put under the name since it was looked at, false tells the caller to replace that instead.
bool FileStream::openDevice() {
    m_file.reset(::open(m_path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!m_file) {
        if (errno == ELOOP)
            return false;
        throwCreateError(m_path, errno);
    }
    const int fd = m_file.get();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) &&
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        return true;
    m_file.reset();
    return false;
}

FileStream::~FileStream() {
    if (m_replacement)
        return;  // not complete: the replacement goes
    if (m_file) {
        try {
            flushBuffer();
        } catch (...) {
            // Destruction after an error already in flight: that error is the one to report.
        }
    }
}

int FileStream::fd() const {
    return m_replacement ? m_replacement->fd() : m_file.get();
}

void FileStream::flushBuffer() {
    const IoResult written = writeAll(fd(), m_buffer.data(), m_buffer.size());
    if (written.error != 0) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + ptrdiff_t(written.done));
        throwWriteError(m_path, written.error);
    }
    m_buffer.clear();
}

size_t FileStream::read(void* buffer, size_t n) {
    flushBuffer();
    const IoResult got = readAll(fd(), buffer, n);
    m_pos += got.done;
    if (got.error != 0)
        throwReadError(m_path, got.error);
    return got.done;
}

void FileStream::write(const void* buffer, size_t n) {
    if (n == 0)
        return;
    if (m_buffer.capacity() < kFileBufferSize)
        m_buffer.reserve(kFileBufferSize);
    const auto* p = static_cast<const uint8_t*>(buffer);
    if (m_buffer.size() + n <= kFileBufferSize) {
        m_buffer.insert(m_buffer.end(), p, p + n);
        m_pos += n;
        return;
    }
    flushBuffer();
    if (n < kFileBufferSize) {
        m_buffer.insert(m_buffer.end(), p, p + n);
        m_pos += n;
        return;
    }
    const IoResult written = writeAll(fd(), p, n);
    m_pos += written.done;
    if (written.error != 0)
        throwWriteError(m_path, written.error);
}

uint64_t FileStream::position() const {
    return m_pos;
}

void FileStream::seek(uint64_t position) {
    flushBuffer();
    if (::lseek(fd(), off_t(position), SEEK_SET) < 0)
        throw EStreamError(
            formatMessage("Cannot seek in file \"%s\". %s", {m_path, std::strerror(errno)}));
    m_pos = position;
}

uint64_t FileStream::size() const {
    struct stat st {};
    if (::fstat(fd(), &st) != 0)
        return m_pos;
    return std::max<uint64_t>(uint64_t(st.st_size), m_pos);
}

void FileStream::close() {
    if (fd() < 0)
        return;
    try {
        flushBuffer();
    } catch (...) {
        m_file.reset();
        m_replacement.reset();
        throw;
    }
    if (m_replacement) {
        std::unique_ptr<ReplacementFile> file = std::move(m_replacement);
        file->commit(false);
        return;
    }
    if (const int err = m_file.close())
        throwWriteError(m_path, err);
}

void ByteWriter::bytes(const void* data, size_t n) {
    if (n == 0)
        return;
    if (n <= sizeof(m_buffer) - m_used) {
        std::memcpy(m_buffer + m_used, data, n);
        m_used += n;
        return;
    }
    flush();
    m_out.write(data, n);
}

void ByteWriter::zeros(size_t n) {
    while (n > 0) {
        if (m_used == sizeof(m_buffer))
            flush();
        size_t k = std::min(n, sizeof(m_buffer) - m_used);
        std::memset(m_buffer + m_used, 0, k);
        m_used += k;
        n -= k;
    }
}

void ByteWriter::flush() {
    if (m_used == 0)
        return;
    size_t n = std::exchange(m_used, 0);
    m_out.write(m_buffer, n);
}

}  // namespace fk
