#pragma once

#include <optional>
#include <string>
#include <vector>

#include "graphics/bitmap.h"
#include "platform/screen_grabber.h"

namespace fk {

// The screen held still at one moment, for a region to be chosen from it: one grab of the whole
// desktop, the cursor of that moment (when it is to be drawn) and the windows that showed. A
// region's picture is cut from it, never grabbed again.
struct FrozenScreen {
    Bitmap picture;
    ScreenRect area;                    // where the picture lies on the screen
    std::optional<CursorImage> cursor;  // none when no cursor is to be drawn
    std::vector<ScreenRect> windows;    // topmost first
};

// "X,Y,W,H" in pixels, width and height above 0; none for any other text.
std::optional<ScreenRect> parseRegion(const std::string& text);
std::string regionText(const ScreenRect& region);

// The part of `region` inside `area`; empty (0 × 0) when they do not meet.
ScreenRect intersect(const ScreenRect& region, const ScreenRect& area);

// The pixels of `region` (in the coordinates `area` gives `picture`), which must lie inside it.
Bitmap cropBitmap(const Bitmap& picture, const ScreenRect& area, const ScreenRect& region);

// The topmost window that holds the point, clipped to the area; none over no window.
std::optional<ScreenRect> windowAt(const FrozenScreen& frozen, int x, int y);

}  // namespace fk
