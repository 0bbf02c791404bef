#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"

namespace fk {

class Bitmap;
class FileStream;

// The temporary file of a recording: the frames one after another, each a whole BMP image of
// the screen's size when it was grabbed (a screen may change its size while it is recorded). It
// lives from the start of the recording until the video has been written, and is deleted with
// this object.
class FrameFile {
public:
    // Creates the file new and private as `path`, or beside it under a fresh name when something
    // other than an earlier file of ours stands there (path() tells which); nothing that stands
    // there is opened ("Cannot create file "%s". %s").
    explicit FrameFile(const std::string& path);
    ~FrameFile();
    FrameFile(const FrameFile&) = delete;
    FrameFile& operator=(const FrameFile&) = delete;

    // Appends one frame; first checks that the file still holds every frame appended before.
    void append(const Bitmap& frame);
    int frameCount() const { return int(m_records.size()); }
    // Throws unless the path still names this file and it holds every frame appended.
    void checkWhole() const;
    // Reads frame `index` into `into`, reusing its memory; several threads may read at once.
    // Frames of 32-bit pixels come back as 24-bit bitmaps of the same colours. A frame smaller
    // than the largest appended comes back at the largest size, the rest of it black, as the
    // video's frames all lie at its top left.
    void readFrame(int index, Bitmap& into) const;
    // Closes and deletes the file now; whatever has been put in its place stays.
    void remove();
    // Deletes the file's name at once, when it still names this file, for a process that ends
    // without coming back here; the descriptors stay open, so that threads still reading go on.
    void unlinkName();
    const std::string& path() const { return m_path; }

private:
    // Where each frame's record lies, and the frame's size.
    struct Record {
        uint64_t offset = 0;
        uint64_t size = 0;
        int width = 0;
        int height = 0;
    };

    std::string m_path;
    std::unique_ptr<FileStream> m_out;
    FileDescriptor m_read;
    std::vector<Record> m_records;
    uint64_t m_end = 0;  // the bytes of every record appended
    int m_largestWidth = 0;
    int m_largestHeight = 0;
};

}  // namespace fk
