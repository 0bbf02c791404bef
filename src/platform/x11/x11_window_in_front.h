#pragma once

#include <X11/Xlib.h>

#include <array>
#include <optional>
#include <set>
#include <vector>

#include "platform/screen_grabber.h"
#include "platform/x11/x11_window_tree.h"

namespace fk {

// The window in front, as the window manager names it (the input focus where none runs), taken
// with its frame: the top-level window that holds it. A window that decorates itself is taken
// without the shadow margins it declares in _GTK_FRAME_EXTENTS.
class X11WindowInFront {
public:
    X11WindowInFront(Display* dpy, X11WindowTree& tree);

    std::optional<Window> find();
    // The window's rectangle in root coordinates, border included. Throws EGrabError when the
    // window has gone.
    ScreenRect rectOf(Window w);
    // The top-level windows that show, topmost first, with their rectangles as rectOf gives
    // them; those in `leftOut` are skipped, and so are windows that go meanwhile.
    std::vector<ScreenRect> shownWindows(const std::set<Window>& leftOut);

private:
    ScreenRect outerRectOf(Window w);
    Window clientOf(Window top);
    bool hasProperty(Window w, Atom property);
    // Left, right, top, bottom; none when the window declares no valid margins.
    std::optional<std::array<int, 4>> shadowMargins(Window client);

    Display* m_dpy;
    X11WindowTree& m_tree;
    Atom m_netActiveWindow;
    Atom m_netSupportingWmCheck;
    Atom m_wmState;
    Atom m_gtkFrameExtents;
};

}  // namespace fk
