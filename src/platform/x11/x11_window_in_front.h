#pragma once

#include <X11/Xlib.h>

#include <optional>

#include "platform/screen_grabber.h"
#include "platform/x11/x11_window_tree.h"

namespace fk {

// The window in front, as the window manager names it (the input focus where none runs), taken
// with its frame: the top-level window that holds it.
class X11WindowInFront {
public:
    X11WindowInFront(Display* dpy, X11WindowTree& tree);

    std::optional<Window> find();
    // The window's rectangle in root coordinates, border included. Throws EGrabError when the
    // window has gone.
    ScreenRect rectOf(Window w);

private:
    Display* m_dpy;
    X11WindowTree& m_tree;
    Atom m_netActiveWindow;
    Atom m_netSupportingWmCheck;
};

}  // namespace fk
