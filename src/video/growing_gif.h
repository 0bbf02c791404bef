#pragma once

#include <cstdint>
#include <string>

#include "base/safe_file.h"
#include "gif/gif_sequence_writer.h"

namespace fk {

// The file of a compact video while it is recorded: frames are appended as they are made, to a
// ReplacementFile beside the final one; the header, which depends on every frame, is written
// last, and the file takes its name only then. The file always ends with a whole frame, and the
// room for its last byte is kept, so it can still be completed after a write has failed.
class GrowingGif {
public:
    // "Cannot create file "%s". %s" when the folder takes no new file.
    explicit GrowingGif(std::string path);
    // Deletes the file unless it was completed.
    ~GrowingGif() = default;
    GrowingGif(const GrowingGif&) = delete;
    GrowingGif& operator=(const GrowingGif&) = delete;

    // Appends a frame; "Cannot write file "%s". %s" leaves the file as it was before.
    void append(const EncodedFrame& frame);
    // Frames appended so far.
    int frames() const { return m_sequence.frames(); }
    // Throws when the file has disappeared.
    void checkPresent() const;
    // Writes the trailer and the header and gives the file its name.
    void complete();
    // Deletes the unfinished file's name only.
    void unlinkName();

    const std::string& path() const { return m_path; }

private:
    // Writes at positions in the unfinished file; messages name the video.
    class FileSink final : public SequenceSink {
    public:
        FileSink(const ReplacementFile& file, const std::string& path)
            : m_file(file), m_path(path) {}
        void writeAt(uint64_t offset, const uint8_t* data, size_t size) override;
        void keepRoom(uint64_t offset, size_t size) override;

    private:
        const ReplacementFile& m_file;
        const std::string& m_path;
    };

    std::string m_path;
    ReplacementFile m_file;
    FileSink m_sink;
    GifSequenceWriter m_sequence;
};

}  // namespace fk
