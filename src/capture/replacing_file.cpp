#include "capture/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/exceptions.h"
#include "base/stream.h"

namespace fk {

std::string temporaryNameFor(const std::string& path) {
    return path + "." + std::to_string(::getpid()) + ".part";
}

void moveIntoPlace(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temporary.c_str());
        throw EFCreateError(
            formatMessage("Cannot create file \"%s\". %s", {path, std::strerror(err)}));
    }
}

ReplacingFile::ReplacingFile(std::string path)
    : m_path(std::move(path)), m_temporary(temporaryNameFor(m_path)) {
    const int fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw EFCreateError(
            formatMessage("Cannot create file \"%s\". %s", {m_path, std::strerror(errno)}));
    ::close(fd);
    m_stream = std::make_unique<FileStream>(m_temporary, FileStream::Mode::Create);
}

ReplacingFile::~ReplacingFile() {
    if (!m_stream)
        return;
    m_stream.reset();
    ::unlink(m_temporary.c_str());
}

void ReplacingFile::rethrowNamingTheFile() const {
    try {
        throw;
    } catch (const EStreamError& e) {
        std::string message = e.what();
        for (size_t at; (at = message.find(m_temporary)) != std::string::npos;)
            message.replace(at, m_temporary.size(), m_path);
        if (dynamic_cast<const EWriteError*>(&e))
            throw EWriteError(message);
        throw EStreamError(message);
    }
}

void ReplacingFile::commit() {
    try {
        m_stream->close();
    } catch (...) {
        m_stream.reset();
        ::unlink(m_temporary.c_str());
        throw;
    }
    m_stream.reset();
    moveIntoPlace(m_temporary, m_path);
}

}  // namespace fk
