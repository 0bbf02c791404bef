#include "platform/x11/x11_window_tree.h"

#include <cstring>

#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_handles.h"

namespace fk {

bool X11WindowTree::exists(Window w) {
    if (!w)
        return false;
    X11ErrorTrap trap(m_dpy);
    XWindowAttributes attrs;
    return XGetWindowAttributes(m_dpy, w, &attrs) && !trap.failed();
}

bool X11WindowTree::isViewable(Window w) {
    if (!w)
        return false;
    X11ErrorTrap trap(m_dpy);
    XWindowAttributes attrs;
    return XGetWindowAttributes(m_dpy, w, &attrs) && !trap.failed() &&
           attrs.map_state == IsViewable;
}

Window X11WindowTree::idProperty(Window on, Atom property, Atom type) {
    X11ErrorTrap trap(m_dpy);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(m_dpy, on, property, 0, 1, False, type, &actualType,
                                          &format, &count, &after, &raw);
    const XPtr<unsigned char> data(raw);
    if (status != Success || trap.failed() || !data || format != 32 || count != 1)
        return 0;
    // Xlib hands 32-bit items out as longs.
    unsigned long id = 0;
    std::memcpy(&id, data.get(), sizeof id);
    return Window(id);
}

Window X11WindowTree::topLevelOf(Window w) {
    for (;;) {
        X11ErrorTrap trap(m_dpy);
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        const Status status = XQueryTree(m_dpy, w, &rootReturn, &parent, &children, &count);
        const XPtr<Window> childList(children);
        if (!status || trap.failed())
            return 0;
        if (parent == m_root || parent == 0)
            return w;
        w = parent;
    }
}

}  // namespace fk
