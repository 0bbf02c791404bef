#include "gif/gif_stream_writer.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/lzw_encoder.h"

namespace fk {

namespace {

constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

}  // namespace

GifLayout GifLayout::of(const TGIFImage& image) {
    GifLayout layout;
    layout.maxColorDepth = image.header().colorMap().ColorDepth();
    for (int i = 0; i < image.frameCount(); ++i) {
        const TGIFSubImage& frame = image.frame(i);
        const int depth = frame.colorMap().ColorDepth();
        layout.maxColorDepth = std::max(layout.maxColorDepth, depth);
        layout.maxLocalColorDepth = std::max(layout.maxLocalColorDepth, depth);
        layout.version = std::max(layout.version, frame.RequiredVersion());
    }
    return layout;
}

void GifStreamWriter::writeColorTable(const TGIFColorMap& map) {
    const int entries = map.count();
    if (entries == 0)
        return;
    m_out.bytes(map.data(), size_t(entries) * 3);
    m_out.zeros(size_t((1 << map.ColorDepth()) - entries) * 3);  // black padding
}

void GifStreamWriter::writeHeader(TGIFHeader& header, const GifLayout& layout) {
    if (layout.version < 1 || layout.version > 2)
        throw GIFException(gif_text::kUnsupportedVersion);

    const TGIFColorMap& global = header.colorMap();
    const bool hasGlobal = !global.empty();
    const int resolution = (layout.maxColorDepth - 1) & 7;
    const int tableSize = hasGlobal ? global.ColorDepth() - 1 : (layout.maxLocalColorDepth - 1) & 7;
    header.m_packed = uint8_t((hasGlobal ? 0x80 : 0) | (resolution << 4) | tableSize);

    m_out.bytes("GIF", 3);
    m_out.bytes(layout.version == 2 ? "89a" : "87a", 3);
    m_out.u16le(header.m_width);  // logical screen width
    m_out.u16le(header.m_height);
    m_out.u8(header.m_packed);
    m_out.u8(header.m_background);
    m_out.u8(header.m_pixelRatio);
    writeColorTable(global);
    m_out.flush();
}

void GifStreamWriter::writeFrame(TGIFSubImage& frame, const GifLayout& layout) {
    frame.extensions().saveTo(m_out);
    if (frame.empty()) {
        m_out.flush();
        return;
    }

    const TGIFColorMap& local = frame.colorMap();
    const uint8_t packed = frame.updatePacked();
    m_out.u8(kImageSeparator);
    m_out.u16le(uint16_t(frame.left()));
    m_out.u16le(uint16_t(frame.top()));
    m_out.u16le(uint16_t(frame.width()));
    m_out.u16le(uint16_t(frame.height()));
    m_out.u8(packed);  // local table flag, interlace, sort, reserved, table size
    writeColorTable(local);
    m_out.flush();

    const int codeBits = local.empty() ? layout.maxColorDepth : local.ColorDepth();
    const int colorCount = local.empty() ? 1 << layout.maxColorDepth : local.count();
    if (m_encoder == ekLZW && (packed & 0x40) == 0) {
        // Made beside the colour reduction from these very pixels, in row order.
        if (const EncodedImageData* data = frame.encodedImageData(codeBits, colorCount)) {
            m_stream.write(data->bytes.data(), data->bytes.size());
            return;
        }
    }
    std::unique_ptr<TGIFEncoder> encoder;
    if (m_encoder == ekRLE)
        encoder = std::make_unique<TRLEEncoder>();
    else
        encoder = std::make_unique<TLZWEncoder>();
    encoder->EncodeFrameData(m_stream, codeBits, colorCount, std::as_const(frame).data(),
                             (packed & 0x40) != 0, frame.height(), frame.width());
}

void GifStreamWriter::writeTrailer() {
    m_out.u8(kTrailer);
    m_out.flush();
}

}  // namespace fk
