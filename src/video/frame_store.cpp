#include "video/frame_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/exceptions.h"
#include "base/file.h"
#include "base/safe_file.h"

namespace fk {

namespace {

constexpr char kMagic[4] = {'F', 'K', 'C', 'F'};

// The record of one frame in the file, followed by its pixels deflated.
struct RecordHeader {
    char magic[4];
    uint32_t index;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int64_t delay;
    uint64_t packedSize;
};

size_t pixelBytes(const ChangedRect& rect) {
    return rect.pixels.size();
}

}  // namespace

FrameStore::FrameStore(std::string path, size_t memoryBytes)
    : m_path(std::move(path)), m_memoryBytes(memoryBytes) {}

FrameStore::~FrameStore() {
    remove();
}

void FrameStore::put(int index, CompactFrame&& frame) {
    {
        std::lock_guard lock(m_mutex);
        const size_t bytes = pixelBytes(frame.rect);
        if (m_bytesInMemory + bytes <= m_memoryBytes) {
            m_bytesInMemory += bytes;
            m_inMemory.emplace(index, std::move(frame));
            return;
        }
    }
    spill(index, frame);
}

void FrameStore::spill(int index, const CompactFrame& frame) {
    const ChangedRect& rect = frame.rect;
    std::vector<uint8_t> record(sizeof(RecordHeader) + compressBound(uLong(pixelBytes(rect))));
    uLongf packed = uLongf(record.size() - sizeof(RecordHeader));
    if (compress2(record.data() + sizeof(RecordHeader), &packed, rect.pixels.data(),
                  uLong(pixelBytes(rect)), Z_BEST_SPEED) != Z_OK)
        throw EOutOfMemory("Out of memory");
    RecordHeader header{{kMagic[0], kMagic[1], kMagic[2], kMagic[3]},
                        uint32_t(index),
                        rect.left,
                        rect.top,
                        rect.width,
                        rect.height,
                        frame.delay,
                        packed};
    std::memcpy(record.data(), &header, sizeof header);
    record.resize(sizeof(RecordHeader) + packed);

    if (!m_file) {
        TemporaryFile file = createTemporaryFile(m_path);
        m_path = file.path;
        m_file = std::move(file.fd);
    }
    uint64_t offset;
    {
        std::lock_guard lock(m_mutex);
        // Once the encoders have read everything, the file starts again from nothing.
        if (m_onDisk.empty() && m_readsUnderway == 0 && m_end > 0) {
            if (::ftruncate(m_file.get(), 0) == 0)
                m_end = 0;
        }
        offset = m_end;
    }
    if (const int err = writeAllAt(m_file.get(), record.data(), record.size(), offset).error)
        throwWriteError(m_path, err);
    {
        std::lock_guard lock(m_mutex);
        m_end = offset + record.size();
        m_onDisk.emplace(index, Location{offset, record.size()});
    }
    const uint64_t used = diskBytes();
    if (used > m_peakDiskBytes)
        m_peakDiskBytes = used;
}

CompactFrame FrameStore::take(int index) {
    Location at;
    {
        std::lock_guard lock(m_mutex);
        auto inMemory = m_inMemory.find(index);
        if (inMemory != m_inMemory.end()) {
            CompactFrame frame = std::move(inMemory->second);
            m_inMemory.erase(inMemory);
            m_bytesInMemory -= pixelBytes(frame.rect);
            return frame;
        }
        auto onDisk = m_onDisk.find(index);
        if (onDisk == m_onDisk.end())
            throw EReadError(formatMessage("Cannot read frame %s of the temporary file \"%s\".",
                                           {std::to_string(index + 1), m_path}));
        at = onDisk->second;
        ++m_readsUnderway;
    }
    struct Done {
        FrameStore& store;
        int index;
        ~Done() {
            std::lock_guard lock(store.m_mutex);
            store.m_onDisk.erase(index);
            --store.m_readsUnderway;
        }
    } done{*this, index};
    CompactFrame frame = load(index, at);
    // What has been read takes no more room on the disk, where the file system allows.
    ::fallocate(m_file.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(at.offset),
                off_t(at.size));
    return frame;
}

CompactFrame FrameStore::load(int index, const Location& at) const {
    try {
        if (at.size < sizeof(RecordHeader))
            throw EReadError("The record is too short");
        std::vector<uint8_t> record(at.size);
        const IoResult got = readAllAt(m_file.get(), record.data(), record.size(), at.offset);
        if (got.error != 0)
            throw EReadError(std::strerror(got.error));
        if (got.done < record.size())
            throw EReadError("The record ends early");
        RecordHeader header;
        std::memcpy(&header, record.data(), sizeof header);
        const uint64_t raw = uint64_t(header.width) * uint64_t(header.height) * 4;
        if (std::memcmp(header.magic, kMagic, 4) != 0 || header.index != uint32_t(index) ||
            header.width < 0 || header.height < 0 || raw > uint64_t(kMaxBitmapPixels) * 4 ||
            header.packedSize != at.size - sizeof header)
            throw EReadError("The record is damaged");
        CompactFrame frame;
        frame.delay = header.delay;
        frame.rect.left = header.left;
        frame.rect.top = header.top;
        frame.rect.width = header.width;
        frame.rect.height = header.height;
        frame.rect.pixels.resize(size_t(raw));
        uLongf size = uLongf(raw);
        if (uncompress(frame.rect.pixels.data(), &size, record.data() + sizeof header,
                       uLong(header.packedSize)) != Z_OK ||
            size != raw)
            throw EReadError("The record is damaged");
        return frame;
    } catch (const Exception& e) {
        throw EReadError(formatMessage("Cannot read frame %s of the temporary file \"%s\". %s",
                                       {std::to_string(index + 1), m_path, e.what()}));
    }
}

void FrameStore::checkWhole() const {
    if (!m_file)
        return;
    uint64_t end;
    {
        std::lock_guard lock(m_mutex);
        end = m_end;
    }
    checkTemporaryFile(m_file.get(), m_path, end);
}

uint64_t FrameStore::diskBytes() const {
    struct stat st {};
    if (!m_file || ::fstat(m_file.get(), &st) != 0)
        return 0;
    return uint64_t(st.st_blocks) * 512;
}

void FrameStore::unlinkName() {
    unlinkIfNamesOpenFile(m_path, m_file.get());
}

void FrameStore::remove() {
    if (!m_file)
        return;
    const bool ours = namesOpenFile(m_path, m_file.get());
    m_file.reset();
    if (ours)
        ::unlink(m_path.c_str());
}

}  // namespace fk
