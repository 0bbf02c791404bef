#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "base/file.h"
#include "video/compact_timeline.h"

namespace fk {

// The frames of a compact video on their way from the grab loop to the encoders. They are kept
// in memory up to a fixed number of bytes; beyond that each is compressed into a file (only its
// changed rectangle), so a recording that the encoders cannot keep up with fills neither memory
// nor, at the rate of the screen's changes, much of the disk. Space that the encoders have read
// is given back to the file system.
class FrameStore {
public:
    // The file is made as `path` (or beside it, see createTemporaryFile) only when a frame first
    // has to go there.
    FrameStore(std::string path, size_t memoryBytes);
    ~FrameStore();
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // Keeps frame `index`; one thread puts the frames. Writing to the file can fail as a file
    // does ("Cannot create file", "Cannot write file").
    void put(int index, CompactFrame&& frame);
    // Hands out frame `index`, which has been put, exactly once; several threads may take.
    CompactFrame take(int index);
    // Throws when the file has gone or lost frames since they were put.
    void checkWhole() const;
    // Closes and deletes the file; a file that another one has replaced stays.
    void remove();
    // Deletes the file's name only; the frames in it can still be taken.
    void unlinkName();

    // Where the file is (or will be made).
    const std::string& path() const { return m_path; }
    // What the file takes on the disk now, and the most it took.
    uint64_t diskBytes() const;
    uint64_t peakDiskBytes() const { return m_peakDiskBytes; }

private:
    struct Location {
        uint64_t offset = 0;
        uint64_t size = 0;
    };

    void spill(int index, const CompactFrame& frame);
    CompactFrame load(int index, const Location& at) const;

    std::string m_path;
    const size_t m_memoryBytes;
    mutable std::mutex m_mutex;
    std::map<int, CompactFrame> m_inMemory;
    size_t m_bytesInMemory = 0;
    std::map<int, Location> m_onDisk;
    int m_readsUnderway = 0;
    FileDescriptor m_file;
    uint64_t m_end = 0;  // where the next frame goes in the file
    std::atomic<uint64_t> m_peakDiskBytes{0};
};

}  // namespace fk
