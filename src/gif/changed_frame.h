#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/compact_colours.h"
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

// A rectangle from its first and last columns and rows, its pixels yet to be filled.
inline ChangedRect changedRectOf(int left, int top, int right, int bottom) {
    ChangedRect rect;
    rect.left = left;
    rect.top = top;
    rect.width = right - left + 1;
    rect.height = bottom - top + 1;
    rect.pixels.resize(size_t(rect.width) * size_t(rect.height) * 4);
    return rect;
}

// How a compact video's frames take their colours. Exact: flat areas in their own colours, noise
// only where the pixels vary, and what a frame leaves off-colour repaired by the next. Reduced:
// each rectangle reduced as a still picture is, nothing repaired (the earlier method, kept so that
// the two can be compared).
enum class CompactColours : uint8_t { Exact, Reduced };

// What a changed frame says besides its pixels.
struct ChangedFrameTiming {
    int64_t delay = 0;         // hundredths of a second until the next frame
    bool loopForever = false;  // the first frame of an animation loops it
};

// Whether frames of these settings take their colours from exactColours: with the adaptive
// palettes, when the colours are to be exact.
bool takesExactColours(const TGIFImage& settings, CompactColours colours);

// The frames that show `rect` over what the frames before them left, for `timing.delay`: the
// rectangle reduced with the palette and dithering of `settings` (or in exact colours), its
// unchanged pixels written as the transparent index, disposal "do not dispose", a local colour
// table holding only the colours used. A delay beyond the 16-bit field, or an empty rectangle,
// adds frames of one transparent pixel that carry the time. `scratch` is reused memory. With
// exact colours, `written` (when given) receives the pixels as written.
EncodedFrame EncodeChangedFrame(const TGIFImage& settings, const ChangedRect& rect,
                                const ChangedFrameTiming& timing, Bitmap& scratch,
                                CompactColours colours = CompactColours::Reduced,
                                FramePixels* written = nullptr,
                                UnchangedRuns runs = UnchangedRuns::Continue);

// Sets the delay of the first frame of `frame` (its first graphic control extension).
void setLeadingDelay(EncodedFrame& frame, uint16_t delay);

}  // namespace fk
