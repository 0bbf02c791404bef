#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <set>
#include <vector>

#include "platform/screen_grabber.h"
#include "platform/x11/x11_window_tree.h"

namespace fk {

// The top-level windows as they stand at one moment, and which of them hold given windows.
struct WindowStack {
    struct TopLevel {
        Window window = 0;
        ScreenRect rect;  // border included, in root coordinates
        int depth = 0;
        VisualID visual = 0;
        bool drawn = false;  // viewable and not input-only
    };
    std::vector<TopLevel> windows;  // the root's children, bottom to top
    std::set<Window> holders;       // the children that hold the given windows
    Pixmap wallpaper = 0;           // as a desktop names it in _XROOTPMAP_ID; 0 without
};

// Reads the window stack in one round trip while the root's children stay the same from one
// reading to the next (the answers for the last ones are asked for together with the list),
// in two when they change.
class X11WindowStackReader {
public:
    X11WindowStackReader(Display* dpy, X11WindowTree& tree);

    // Under a reparenting window manager the root's children are its frames: a window is held
    // by the frame it is in, found at each reading because a window is framed anew whenever it
    // is mapped again. Windows that have gone are held by nothing; so are windows that go
    // while the stack is read, which are also left out of it. Without any holder, the stack's
    // windows are not read. Throws EGrabError when the display refuses to list the windows.
    WindowStack read(const std::vector<Window>& held);

private:
    class Query;

    Display* m_dpy;
    X11WindowTree& m_tree;
    Atom m_rootPixmapId;
    std::vector<uint32_t> m_lastChildren;
};

}  // namespace fk
