#pragma once

#include "base/stream.h"
#include "gif/gif_base.h"

namespace fk {

class TGIFHeader;
class TGIFImage;
class TGIFSubImage;

// What the header and the frames' image data depend on across the whole document.
struct GifLayout {
    int version = 0;             // 1 writes "87a", 2 writes "89a"
    int maxColorDepth = 0;       // over the global map and every local map
    int maxLocalColorDepth = 0;  // over the local maps alone

    static GifLayout of(const TGIFImage& image);
};

// Writes a GIF file in steps: the header, then each frame, then the trailer. A caller that knows
// the layout in advance can write frames as they are made, one in memory at a time; the bytes
// are those the whole document would give.
class GifStreamWriter {
public:
    GifStreamWriter(Stream& out, TGIFEncoderKind encoder)
        : m_stream(out), m_out(out), m_encoder(encoder) {}

    // Signature, logical screen descriptor (its packed fields recomputed) and global table.
    void writeHeader(TGIFHeader& header, const GifLayout& layout);
    // The frame's extensions; then, unless it is empty, its descriptor (packed fields
    // recomputed), local table and image data.
    void writeFrame(TGIFSubImage& frame, const GifLayout& layout);
    void writeTrailer();

private:
    void writeColorTable(const class TGIFColorMap& map);

    Stream& m_stream;
    ByteWriter m_out;
    TGIFEncoderKind m_encoder;
};

}  // namespace fk
