#pragma once

#include <cstdint>
#include <vector>

#include "graphics/color.h"

namespace fk {

struct ChangedRect;

// A changed rectangle written in colours of its own: every pixel an index into `colours` (rows
// top first), `transparent` where the frame keeps what was shown.
struct FramePixels {
    std::vector<uint8_t> indexes;
    std::vector<Color> colours;
    int transparent = -1;
    // Per pixel, whether its colour is one of the rare ones that share entries: matched to the
    // nearest or dithered, it differs from the screen's by the palette's own error. Empty when
    // every colour has an entry of its own.
    std::vector<bool> loose;
};

// The adaptive palette of a compact frame. Up to a table's worth of colours, each is written as
// it is. With more, the colours that cover many pixels (the flat areas: desktop, window chrome,
// text) keep entries of their own and are written exactly; the rest share entries made from
// their own pixels and are matched to the nearest entry, with `dither` error diffusion only
// among the rare colours' pixels in runs of at least three (a gradient or a photo, not the edge
// of a letter). Unchanged pixels are transparent, or where they continue a run of their own exact
// colour, that colour: the image data then compresses better and shows the same.
// `runs` says whether unchanged pixels may do that (a frame that is written before the one whose
// screen its unchanged pixels show must keep them transparent).
enum class UnchangedRuns : uint8_t { Continue, Transparent };
FramePixels exactColours(const ChangedRect& rect, bool dither,
                         UnchangedRuns runs = UnchangedRuns::Continue);

}  // namespace fk
