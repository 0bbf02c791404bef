#include "gif/frame_sequence.h"

#include <algorithm>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"

namespace fk {

EncodedFrame EncodeFrame(TGIFSubImage& frame) {
    if (!frame.empty() && frame.colorMap().empty())
        throw GIFException(gif_text::kColorTableEmpty);
    EncodedFrame encoded;
    encoded.colorDepth = frame.colorMap().ColorDepth();
    encoded.version = frame.RequiredVersion();
    encoded.right = frame.left() + frame.width();
    encoded.bottom = frame.top() + frame.height();
    GifLayout layout;
    layout.version = encoded.version;
    layout.maxColorDepth = encoded.colorDepth;
    layout.maxLocalColorDepth = encoded.colorDepth;
    MemoryStream bytes;
    GifStreamWriter(bytes, ekLZW).writeFrame(frame, layout);
    encoded.bytes = bytes.takeBytes();
    return encoded;
}

void FrameSequenceHeader::add(const EncodedFrame& frame) {
    m_layout.version = std::max(m_layout.version, frame.version);
    m_layout.maxColorDepth = std::max(m_layout.maxColorDepth, frame.colorDepth);
    m_layout.maxLocalColorDepth = m_layout.maxColorDepth;
    m_right = std::max(m_right, frame.right);
    m_bottom = std::max(m_bottom, frame.bottom);
    ++m_frames;
}

std::vector<uint8_t> FrameSequenceHeader::bytes() const {
    TGIFImage screen;
    screen.growScreen(m_right, m_bottom);
    MemoryStream header;
    GifStreamWriter(header, ekLZW).writeHeader(screen.header(), m_layout);
    if (header.size() != kSize)
        throw GIFException(gif_text::kUnsupportedVersion);
    return header.takeBytes();
}

}  // namespace fk
