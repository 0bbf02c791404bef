#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"

namespace fk {

class ReplacementFile;

// A seekable byte stream, the one shape every encoder writes to: a file or a memory buffer.
class Stream {
public:
    virtual ~Stream() = default;

    // Reads up to n bytes; returns how many were read (0 at the end).
    virtual size_t read(void* buffer, size_t n) = 0;
    // Writes all n bytes or throws EWriteError.
    virtual void write(const void* buffer, size_t n) = 0;
    virtual uint64_t position() const = 0;
    virtual void seek(uint64_t position) = 0;
    virtual uint64_t size() const = 0;

    // Reads exactly n bytes or throws EReadError.
    void readExact(void* buffer, size_t n);
};

class MemoryStream final : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : m_data(std::move(bytes)) {}

    size_t read(void* buffer, size_t n) override;
    void write(const void* buffer, size_t n) override;
    uint64_t position() const override { return m_pos; }
    void seek(uint64_t position) override;
    uint64_t size() const override { return m_data.size(); }

    const std::vector<uint8_t>& bytes() const { return m_data; }
    std::vector<uint8_t> takeBytes();
    void clear();

private:
    std::vector<uint8_t> m_data;
    size_t m_pos = 0;
};

// A file opened through the system, with its own write buffer so that small writes stay cheap.
class FileStream final : public Stream {
public:
    enum class Mode { Create, Replace, OpenRead, OpenReadWrite };

    // Create truncates or makes the file ("Cannot create file "%s". %s"), following a link
    // that stands under the name, so it is no way to write into a folder that others share.
    // Replace writes a ReplacementFile that close() puts in the file's place, whatever stood
    // under the name; a stream destroyed before that leaves no trace. Only a device that itself
    // has the name (such as /dev/full) is written directly. The open modes need an existing file
    // ("Cannot open file "%s". %s"). Messages always name `path`.
    FileStream(const std::string& path, Mode mode);
    // Takes over a descriptor open for reading and writing; `path` names it in messages.
    FileStream(FileDescriptor fd, std::string path);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    size_t read(void* buffer, size_t n) override;
    void write(const void* buffer, size_t n) override;
    uint64_t position() const override;
    void seek(uint64_t position) override;
    uint64_t size() const override;

    // Writes out what is buffered, so that the file holds everything written so far.
    void flush() { flushBuffer(); }
    // Writes out what is buffered and closes the file (in Replace mode: puts it in place); errors
    // are thrown here, not lost.
    void close();
    const std::string& path() const { return m_path; }

private:
    bool openDevice();
    void flushBuffer();
    int fd() const;

    std::string m_path;
    std::unique_ptr<ReplacementFile> m_replacement;
    FileDescriptor m_file;  // the file, unless a replacement holds it
    uint64_t m_pos = 0;     // logical position, buffered bytes included
    std::vector<uint8_t> m_buffer;
};

// Buffers the small fixed-size writes of a serializer in front of a stream.
class ByteWriter {
public:
    explicit ByteWriter(Stream& out) : m_out(out) {}
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void u8(uint8_t v) {
        if (m_used == sizeof(m_buffer))
            flush();
        m_buffer[m_used++] = v;
    }
    void u16le(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32le(uint32_t v) {
        u16le(uint16_t(v));
        u16le(uint16_t(v >> 16));
    }
    void u16be(uint16_t v) {
        u8(uint8_t(v >> 8));
        u8(uint8_t(v));
    }
    void u32be(uint32_t v) {
        u16be(uint16_t(v >> 16));
        u16be(uint16_t(v));
    }
    void bytes(const void* data, size_t n);
    void zeros(size_t n);
    // Hands everything buffered to the stream; call before the stream is used directly again.
    void flush();
    // Position in the stream, counting what is still buffered.
    uint64_t position() const { return m_out.position() + m_used; }

private:
    Stream& m_out;
    size_t m_used = 0;
    uint8_t m_buffer[4096];
};

}  // namespace fk
