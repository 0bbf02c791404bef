#include "platform/portal/frame_pixels.h"

#include "graphics/rgb_rows.h"

namespace fk {

namespace {

// Where blue, green, red and the fourth byte lie in each layout's four bytes.
struct ByteOrder {
    int blue, green, red, fourth;
};

constexpr ByteOrder byteOrder(FrameLayout layout) {
    switch (layout) {
        case FrameLayout::BGRx:
            return {0, 1, 2, 3};
        case FrameLayout::RGBx:
            return {2, 1, 0, 3};
        case FrameLayout::xRGB:
            return {3, 2, 1, 0};
        case FrameLayout::xBGR:
            return {1, 2, 3, 0};
    }
    return {0, 1, 2, 3};
}

}  // namespace

void copyFrame(const FrameView& frame, Bitmap& into) {
    into.prepare(frame.width, frame.height, PixelFormat::Device);
    const ByteOrder o = byteOrder(frame.layout);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* in = frame.data + size_t(y) * frame.stride;
        uint8_t* out = into.scanLine(y);
        if (frame.layout == FrameLayout::BGRx) {
            copyClearingUnused(out, in, frame.width);
            continue;
        }
        for (int x = 0; x < frame.width; ++x, in += 4, out += 4) {
            out[0] = in[o.blue];
            out[1] = in[o.green];
            out[2] = in[o.red];
            out[3] = 0;
        }
    }
}

std::vector<uint32_t> framePixelsArgb(const FrameView& frame) {
    std::vector<uint32_t> cells;
    cells.reserve(size_t(frame.width) * size_t(frame.height));
    const ByteOrder o = byteOrder(frame.layout);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* in = frame.data + size_t(y) * frame.stride;
        for (int x = 0; x < frame.width; ++x, in += 4)
            cells.push_back(uint32_t(in[o.fourth]) << 24 | uint32_t(in[o.red]) << 16 |
                            uint32_t(in[o.green]) << 8 | in[o.blue]);
    }
    return cells;
}

}  // namespace fk
