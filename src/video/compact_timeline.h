#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gif/changed_frame.h"
#include "graphics/bitmap.h"

namespace fk {

// One frame of a compact video: what changed, and for how long it is shown.
struct CompactFrame {
    ChangedRect rect;
    int64_t delay = 0;  // hundredths of a second
};

// The shortest delay a frame gets; browsers show anything shorter as 10 cs.
inline constexpr int64_t kShortestDelay = 2;

// Turns the screens grabbed during a recording into the frames of a compact video, each handed
// on as soon as its delay is known. A frame is shown from the moment its screen was grabbed
// until the next different screen, in hundredths of a second counted from the first grab, so
// that rounding never adds up. A grab equal to the one before adds no frame; a frame that would
// last less than kShortestDelay is merged into the next. The first frame, and the first after
// the screen changed its size or colour depth, is the whole screen; every other one is the
// bounding rectangle of the pixels that changed since the picture shown before it, or, where
// they lie in groups far apart, one rectangle per group: all but the last lasting 0.
class CompactTimeline {
public:
    explicit CompactTimeline(std::function<void(CompactFrame&&)> emit) : m_emit(std::move(emit)) {}

    // The screen grabbed at `timeMs`, at any colour depth. Its pixels are taken over: `screen`
    // comes back holding memory to grab the next screen into.
    void add(Bitmap& screen, int64_t timeMs);
    // The recording ended at `timeMs`; the last frame lasts until then.
    void finish(int64_t timeMs);
    // Hundredths of a second of the frames handed on so far.
    int64_t emittedDuration() const { return m_currentStart; }

private:
    int64_t centiseconds(int64_t timeMs) const { return (timeMs - m_firstGrabMs + 5) / 10; }
    void emitCurrent(int64_t delay);

    std::function<void(CompactFrame&&)> m_emit;
    Bitmap m_shown;    // what the frames handed on show
    Bitmap m_current;  // the screen of the frame whose end is not known yet
    // The depths the two were grabbed at, before they were made 32 bits per pixel.
    int m_shownDepth = 0;
    int m_currentDepth = 0;
    bool m_started = false;
    int64_t m_firstGrabMs = 0;
    int64_t m_currentStart = 0;  // in hundredths from the first grab
    int m_extentWidth = 0;       // the largest frame so far
    int m_extentHeight = 0;
};

// The changes of `rect` as one rectangle, or, when they lie in groups far apart whose rectangles
// cover much less than `rect`, as a rectangle for each group.
std::vector<ChangedRect> splitFarApart(ChangedRect&& rect);
// Whether two screens of 32 bits per pixel have the same size and colours.
bool sameScreen(const Bitmap& a, const Bitmap& b);
// The pixels of `after` within the bounding rectangle of those that differ from `before` (same
// size), each flagged where it is unchanged; empty when nothing differs.
ChangedRect changedPixels(const Bitmap& before, const Bitmap& after);
// The whole of `screen`, padded with black to at least `width` x `height`.
ChangedRect wholeScreen(const Bitmap& screen, int width, int height);

}  // namespace fk
