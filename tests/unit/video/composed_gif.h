#pragma once

#include <string>
#include <vector>

#include "graphics/color.h"

namespace fk::test {

// One frame of an animation as a viewer shows it: the whole logical screen after the frame was
// drawn over what the frames before it left, and how long it stays.
struct ComposedFrame {
    int left = 0;  // the frame's own rectangle
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = 0;  // hundredths of a second
    int disposal = 0;
    bool transparent = false;
    std::vector<Color> screen;  // logical screen, top row first
};

struct ComposedGif {
    int width = 0;
    int height = 0;
    std::vector<ComposedFrame> frames;
    Color at(size_t frame, int x, int y) const {
        return frames[frame].screen[size_t(y) * size_t(width) + size_t(x)];
    }
};

// Read with giflib and composed here, disposal and transparency honoured. Fails the current test
// on a file giflib refuses.
ComposedGif composeWithGiflib(const std::string& path);
// Composed by Pillow itself; only the screens and the delays are filled in.
ComposedGif composeWithPillow(const std::string& path);

}  // namespace fk::test
