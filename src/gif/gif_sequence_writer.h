#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/stream.h"
#include "gif/frame_sequence.h"

namespace fk {

// Where a GIF sequence goes: bytes written at offsets from the sequence's start.
class SequenceSink {
public:
    virtual ~SequenceSink() = default;
    // Writes all of `data` at `offset`, or throws.
    virtual void writeAt(uint64_t offset, const uint8_t* data, size_t size) = 0;
    // Keeps room for `size` bytes at `offset` that are written later, so that they still fit
    // when the disk fills meanwhile; throws when it cannot.
    virtual void keepRoom(uint64_t offset, size_t size) {
        (void)offset;
        (void)size;
    }
};

// A GIF file written frame by frame as the frames are made, with no global colour table. Its
// header depends on every frame, so its place is kept at the start and it is written there
// last, after the trailer. After each frame there is room for the trailer, so a sequence whose
// next frame could not be written can still be completed.
class GifSequenceWriter {
public:
    // Writes the placeholder of the header.
    explicit GifSequenceWriter(SequenceSink& sink);

    // Appends a frame; when the sink throws, the frame does not count.
    void append(const EncodedFrame& frame);
    int frames() const { return m_header.frames(); }
    // Where the next frame, or the trailer, goes.
    uint64_t end() const { return m_end; }
    // Writes the trailer, then the header over its place; returns the sequence's size.
    uint64_t complete();

private:
    SequenceSink& m_sink;
    const std::vector<uint8_t> m_trailer;
    uint64_t m_end = 0;
    FrameSequenceHeader m_header;
};

// A sequence written into a stream from the stream's position on; the stream stays after the
// last byte written.
class StreamSequenceSink final : public SequenceSink {
public:
    explicit StreamSequenceSink(Stream& out) : m_out(out), m_start(out.position()) {}
    void writeAt(uint64_t offset, const uint8_t* data, size_t size) override;

private:
    Stream& m_out;
    const uint64_t m_start;
};

}  // namespace fk
