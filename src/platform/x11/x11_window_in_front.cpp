#include "platform/x11/x11_window_in_front.h"

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"

namespace fk {

X11WindowInFront::X11WindowInFront(Display* dpy, X11WindowTree& tree)
    : m_dpy(dpy),
      m_tree(tree),
      m_netActiveWindow(XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False)),
      m_netSupportingWmCheck(XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False)) {}

std::optional<Window> X11WindowInFront::find() {
    const Window root = m_tree.root();
    Window active = 0;
    // A window manager that has gone can leave its properties behind: trust them only while its
    // check window still exists. A running one that names no active window means there is none
    // (the input focus then rests on a hidden window of its own).
    if (m_tree.exists(m_tree.idProperty(root, m_netSupportingWmCheck))) {
        active = m_tree.idProperty(root, m_netActiveWindow);
    } else {
        X11ErrorTrap trap(m_dpy);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_dpy, &focus, &revert);
        active = (trap.failed() || focus == PointerRoot) ? 0 : focus;
    }
    if (!active || active == root || !m_tree.exists(active))
        return std::nullopt;
    const Window top = m_tree.topLevelOf(active);
    if (!top || top == root || !m_tree.isViewable(top))
        return std::nullopt;
    return top;
}

ScreenRect X11WindowInFront::rectOf(Window w) {
    XWindowAttributes attrs;
    int rootX = 0, rootY = 0;
    {
        X11ErrorTrap trap(m_dpy);
        Window child = 0;
        if (!XGetWindowAttributes(m_dpy, w, &attrs) || trap.failed() ||
            !XTranslateCoordinates(m_dpy, w, m_tree.root(), 0, 0, &rootX, &rootY, &child) ||
            trap.failed())
            throw EGrabError("The window in front closed before it could be captured");
    }
    return {rootX - attrs.border_width, rootY - attrs.border_width,
            attrs.width + 2 * attrs.border_width, attrs.height + 2 * attrs.border_width};
}

}  // namespace fk
