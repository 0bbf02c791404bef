#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "graphics/bitmap.h"
#include "platform/capabilities.h"

namespace fk {

// A rectangle in screen (root window) coordinates.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

using WindowHandle = uint64_t;

// What a picture of "the screen" covers: the primary monitor, or the whole desktop (every
// monitor, the X screen's whole framebuffer).
enum class GrabArea { PrimaryMonitor, WholeDesktop };

// The mouse cursor as the display shows it: position in screen coordinates, hot spot, and
// premultiplied ARGB pixels (alpha in the top byte), rows top first.
struct CursorImage {
    int x = 0;
    int y = 0;
    int hotX = 0;
    int hotY = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// What the shots need of the display. The real one speaks to X11; tests use a fake.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;

    // What the grabs can do on this display; a grabber that tells nothing can do nothing special.
    virtual GrabCapabilities capabilities() const { return {}; }

    // The rectangle of the grab area (the primary monitor unless told otherwise); its origin
    // need not be (0, 0).
    virtual ScreenRect screenRect() = 0;
    // Copies the grab area one to one into `into`, sized to it, in PixelFormat::Device.
    virtual void grabScreen(Bitmap& into) = 0;
    // What screenRect and grabScreen cover from now on. A grabber without
    // capabilities().wholeDesktop keeps to the primary monitor.
    virtual void setGrabArea(GrabArea area) { (void)area; }
    // The window in front with its window-manager frame; none when there is no such window.
    virtual std::optional<WindowHandle> foregroundWindow() = 0;
    // Copies the whole window (frame included) into `into` and returns its rectangle.
    // Throws EGrabError when the window has gone.
    virtual ScreenRect grabWindow(WindowHandle window, Bitmap& into) = 0;
    // The top-level windows that show, topmost first, each with the rectangle grabWindow takes
    // of it (frame included); the program's windows that are being left out are not among
    // them. Empty where windows cannot be told apart.
    virtual std::vector<ScreenRect> windowsOnScreen() { return {}; }
    // The cursor now; none when there is no cursor image to draw.
    virtual std::optional<CursorImage> cursor() = 0;
    // While on, the given top-level windows are left out of screen grabs without being hidden
    // (OwnWindows::LeftOut), or screen grabs wait until the display shows none of the program's
    // windows, which the caller hides for each grab (OwnWindows::HiddenForGrab).
    virtual void setExcludedWindows(const std::vector<WindowHandle>& windows) = 0;
    // Where the display draws the cursor itself (capabilities().cursorByDisplay): whether the
    // grabs from now on have it.
    virtual void setCursorInGrabs(bool on) { (void)on; }
};

}  // namespace fk
