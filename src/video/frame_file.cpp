#include "video/frame_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "base/exceptions.h"
#include "base/safe_file.h"
#include "base/stream.h"
#include "graphics/bitmap.h"
#include "graphics/rgb_rows.h"

namespace fk {

namespace {

// One record of the file, read by position so that readers on other threads do not meet.
class RecordReader final : public Stream {
public:
    RecordReader(int fd, const std::string& path, uint64_t start, uint64_t size)
        : m_fd(fd), m_path(path), m_start(start), m_size(size) {}

    size_t read(void* buffer, size_t n) override {
        n = size_t(std::min<uint64_t>(n, m_size - std::min(m_pos, m_size)));
        const IoResult got = readAllAt(m_fd, buffer, n, m_start + m_pos);
        if (got.error != 0)
            throwReadError(m_path, got.error);
        m_pos += got.done;
        return got.done;
    }
    void write(const void*, size_t) override { throw EWriteError("Stream write error"); }
    uint64_t position() const override { return m_pos; }
    void seek(uint64_t position) override { m_pos = position; }
    uint64_t size() const override { return m_size; }

private:
    int m_fd;
    const std::string& m_path;
    uint64_t m_start;
    uint64_t m_size;
    uint64_t m_pos = 0;
};

}  // namespace

FrameFile::FrameFile(const std::string& path) {
    TemporaryFile file = createTemporaryFile(path);
    m_path = file.path;
    // Frames are read back through the same open file, never through the name again.
    m_read.reset(::fcntl(file.fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!m_read) {
        const int err = errno;
        file.fd.reset();
        ::unlink(m_path.c_str());
        throwOpenError(m_path, err);
    }
    m_out = std::make_unique<FileStream>(std::move(file.fd), m_path);
}

FrameFile::~FrameFile() {
    remove();
}

void FrameFile::checkWhole() const {
    checkTemporaryFile(m_read.get(), m_path, m_end);
}

void FrameFile::append(const Bitmap& frame) {
    checkWhole();
    frame.saveToStream(*m_out);
    m_out->flush();
    const uint64_t end = m_out->size();
    m_records.push_back({m_end, end - m_end, frame.width(), frame.height()});
    m_end = end;
    m_largestWidth = std::max(m_largestWidth, frame.width());
    m_largestHeight = std::max(m_largestHeight, frame.height());
}

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Black beyond `width` x `height` in a 24-bit bitmap.
void blackenBeyond(Bitmap& into, int width, int height) {
    for (int y = 0; y < into.height(); ++y) {
        const int from = y < height ? width : 0;
        std::fill(into.scanLine(y) + 3 * size_t(from), into.scanLine(y) + 3 * size_t(into.width()),
                  uint8_t(0));
    }
}

// The bitmap at `width` x `height` (no smaller than it is), black beyond its own size.
void padTo(Bitmap& frame, int width, int height) {
    if (frame.width() == width && frame.height() == height)
        return;
    frame.setPixelFormat(PixelFormat::Bits24);
    Bitmap padded(width, height, PixelFormat::Bits24);
    for (int y = 0; y < frame.height(); ++y)
        std::copy_n(frame.scanLine(y), 3 * size_t(frame.width()), padded.scanLine(y));
    frame = std::move(padded);
}

// A record of 32-bit rows as the screen gives them is read straight into 24-bit rows of at least
// `width` x `height`, the form the colour reduction turns it into first: no screen-sized 32-bit
// copy is made. Returns false for any other kind of record.
bool readScreenRecord(RecordReader& record, Bitmap& into, int largestWidth, int largestHeight) {
    uint8_t header[54];
    if (record.read(header, sizeof header) != sizeof header)
        return false;
    const int32_t width = int32_t(le32(header + 18));
    const int32_t height = int32_t(le32(header + 22));
    const uint16_t bits = uint16_t(header[28] | (header[29] << 8));
    if (header[0] != 'B' || header[1] != 'M' || le32(header + 10) != sizeof header ||
        le32(header + 14) != 40 || bits != 32 || le32(header + 30) != 0 || width <= 0 ||
        height <= 0 || int64_t(width) * height > kMaxBitmapPixels ||
        sizeof header + uint64_t(width) * uint64_t(height) * 4 > record.size())
        return false;
    into.prepare(std::max(width, largestWidth), std::max(height, largestHeight),
                 PixelFormat::Bits24);
    if (into.width() != width || into.height() != height)
        blackenBeyond(into, width, height);
    constexpr int kRowsAtOnce = 32;
    const size_t rowBytes = size_t(width) * 4;
    std::vector<uint8_t> rows(rowBytes * kRowsAtOnce);
    // Stored bottom row first, as the bitmap keeps them.
    for (int y = 0; y < height; y += kRowsAtOnce) {
        const int n = std::min(kRowsAtOnce, height - y);
        record.readExact(rows.data(), rowBytes * size_t(n));
        for (int r = 0; r < n; ++r) {
            copyDroppingUnused(into.scanLine(height - 1 - (y + r)),
                               rows.data() + rowBytes * size_t(r), width);
        }
    }
    return true;
}

}  // namespace

void FrameFile::readFrame(int index, Bitmap& into) const {
    const Record& at = m_records.at(size_t(index));
    RecordReader record(m_read.get(), m_path, at.offset, at.size);
    try {
        if (readScreenRecord(record, into, m_largestWidth, m_largestHeight))
            return;
        record.seek(0);
        into = Bitmap::loadFromStream(record);
        padTo(into, std::max(into.width(), m_largestWidth),
              std::max(into.height(), m_largestHeight));
    } catch (const Exception& e) {
        throw EReadError(formatMessage("Cannot read frame %s of the temporary file \"%s\". %s",
                                       {std::to_string(index + 1), m_path, e.what()}));
    }
}

void FrameFile::remove() {
    if (!m_read && !m_out)
        return;
    const bool ours = namesOpenFile(m_path, m_read.get());
    // Written data does not matter any more: a write error at close is no news.
    m_out.reset();
    m_read.reset();
    if (ours)
        ::unlink(m_path.c_str());
}

void FrameFile::unlinkName() {
    unlinkIfNamesOpenFile(m_path, m_read.get());
}

}  // namespace fk
