#include "video/growing_gif.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/exceptions.h"
#include "base/file.h"

namespace fk {

GrowingGif::GrowingGif(std::string path)
    : m_path(path), m_file(std::move(path)), m_sink(m_file, m_path), m_sequence(m_sink) {}

void GrowingGif::FileSink::writeAt(uint64_t offset, const uint8_t* data, size_t size) {
    if (const int err = writeAllAt(m_file.fd(), data, size, offset).error)
        throwWriteError(m_path, err);
}

void GrowingGif::FileSink::keepRoom(uint64_t offset, size_t size) {
    // What is written later must still fit when the disk is full.
    if (::fallocate(m_file.fd(), FALLOC_FL_KEEP_SIZE, off_t(offset), off_t(size)) != 0 &&
        errno != EOPNOTSUPP)
        throwWriteError(m_path, errno);
}

void GrowingGif::append(const EncodedFrame& frame) {
    const uint64_t end = m_sequence.end();
    try {
        m_sequence.append(frame);
    } catch (...) {
        if (::ftruncate(m_file.fd(), off_t(end)) != 0) {
            // The frame's bytes stay after the end; the trailer is written over them.
        }
        throw;
    }
}

void GrowingGif::checkPresent() const {
    if (!namesOpenFile(m_file.temporaryPath(), m_file.fd()))
        throw EWriteError(formatMessage("The video file \"%s\" has disappeared", {m_path}));
}

void GrowingGif::complete() {
    checkPresent();
    const uint64_t size = m_sequence.complete();
    if (::ftruncate(m_file.fd(), off_t(size)) != 0)
        throwWriteError(m_path, errno);
    m_file.commit(false);
}

void GrowingGif::unlinkName() {
    unlinkIfNamesOpenFile(m_file.temporaryPath(), m_file.fd());
}

}  // namespace fk
