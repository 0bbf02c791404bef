#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace fk {

// Questions about windows that may vanish at any moment: a window that has gone gives the answer
// for no window, never an X error.
class X11WindowTree {
public:
    X11WindowTree(Display* dpy, Window root) : m_dpy(dpy), m_root(root) {}

    Window root() const { return m_root; }
    bool exists(Window w);
    bool isViewable(Window w);
    // A property holding one window or pixmap id; 0 when it is not there.
    Window idProperty(Window on, Atom property, Atom type = XA_WINDOW);
    // The top-level window that holds `w`: its ancestor directly under the root (a window
    // manager's frame, or the window itself without one); 0 when it has gone.
    Window topLevelOf(Window w);

private:
    Display* m_dpy;
    Window m_root;
};

}  // namespace fk
