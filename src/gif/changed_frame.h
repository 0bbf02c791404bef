#pragma once

#include <cstdint>
#include <vector>

#include "gif/frame_sequence.h"
#include "graphics/bitmap.h"

namespace fk {

class TGIFImage;

// The fourth byte of a pixel of a ChangedRect that equals the pixel shown before it.
inline constexpr uint8_t kUnchangedPixel = 1;

// A rectangle of a screen that has changed since the picture shown before: 32-bit pixels blue,
// green, red and a fourth byte that is kUnchangedPixel where the pixel is the same as before
// (and may be left transparent), 0 elsewhere; rows top first, without padding. An empty
// rectangle changes nothing.
struct ChangedRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
};

// What a changed frame says besides its pixels.
struct ChangedFrameTiming {
    int64_t delay = 0;         // hundredths of a second until the next frame
    bool loopForever = false;  // the first frame of an animation loops it
};

// The frames that show `rect` over what the frames before them left, for `timing.delay`: the
// rectangle reduced with the palette and dithering of `settings`, its unchanged pixels written as
// the transparent index, disposal "do not dispose", a local colour table holding only the colours
// used. A delay beyond the 16-bit field, or an empty rectangle, adds frames of one transparent
// pixel that carry the time. `scratch` is reused memory.
EncodedFrame EncodeChangedFrame(const TGIFImage& settings, const ChangedRect& rect,
                                const ChangedFrameTiming& timing, Bitmap& scratch);

}  // namespace fk
