#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/gif_stream_writer.h"

namespace fk {

class TGIFSubImage;

// One frame as it goes into a file, made without knowing the other frames: its extensions,
// descriptor, local colour table and image data, and what the file's header needs of it.
struct EncodedFrame {
    std::vector<uint8_t> bytes;
    int colorDepth = 0;
    int version = 0;
    int right = 0;
    int bottom = 0;
};

// The frame as the file of any document holding it writes it. The frame must have a colour table
// of its own (or be empty): the code size of a frame without one would depend on other frames.
EncodedFrame EncodeFrame(TGIFSubImage& frame);

// The header of a file whose frames are written one after another as they are made, with no
// global colour table: it depends on every frame, so it is written last over the place kept for
// it at the start.
class FrameSequenceHeader {
public:
    // Signature and logical screen descriptor.
    static constexpr size_t kSize = 13;

    void add(const EncodedFrame& frame);
    int frames() const { return m_frames; }
    // The header the whole document of these frames would write.
    std::vector<uint8_t> bytes() const;

private:
    GifLayout m_layout;
    int m_right = 0;
    int m_bottom = 0;
    int m_frames = 0;
};

}  // namespace fk
