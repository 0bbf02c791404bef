#include "capture/growing_gif.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exceptions.h"
#include "capture/frame_file.h"

namespace fk {

namespace {

constexpr uint8_t kTrailer = 0x3B;

}  // namespace

GrowingGif::GrowingGif(std::string path) : m_path(path), m_file(std::move(path)) {
    const uint8_t placeholder[FrameSequenceHeader::kSize] = {};
    writeAt(placeholder, sizeof placeholder, 0);
    m_end = sizeof placeholder;
}

void GrowingGif::throwWriteError(int err) const {
    throw EWriteError(formatMessage("Cannot write file \"%s\". %s", {m_path, std::strerror(err)}));
}

void GrowingGif::writeAt(const uint8_t* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(m_file.fd(), data, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throwWriteError(n < 0 ? errno : ENOSPC);
        data += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
}

void GrowingGif::append(const EncodedFrame& frame) {
    const uint64_t end = m_end + frame.bytes.size();
    try {
        writeAt(frame.bytes.data(), frame.bytes.size(), m_end);
        // The trailer must still fit when the disk is full.
        if (::fallocate(m_file.fd(), FALLOC_FL_KEEP_SIZE, off_t(end), 1) != 0 &&
            errno != EOPNOTSUPP)
            throwWriteError(errno);
    } catch (...) {
        if (::ftruncate(m_file.fd(), off_t(m_end)) != 0) {
            // The frame's bytes stay after the end; the trailer is written over them.
        }
        throw;
    }
    m_end = end;
    m_header.add(frame);
}

void GrowingGif::checkPresent() const {
    if (!namesOpenFile(m_file.temporaryPath(), m_file.fd()))
        throw EWriteError(formatMessage("The video file \"%s\" has disappeared", {m_path}));
}

void GrowingGif::complete() {
    checkPresent();
    writeAt(&kTrailer, 1, m_end);
    const std::vector<uint8_t> header = m_header.bytes();
    writeAt(header.data(), header.size(), 0);
    if (::ftruncate(m_file.fd(), off_t(m_end + 1)) != 0)
        throwWriteError(errno);
    m_file.commit(false);
}

void GrowingGif::unlinkName() {
    unlinkIfNamesOpenFile(m_file.temporaryPath(), m_file.fd());
}

}  // namespace fk
