#include "platform/x11/x11_window_in_front.h"

#include <X11/Xatom.h>

#include <array>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_handles.h"

namespace fk {

X11WindowInFront::X11WindowInFront(Display* dpy, X11WindowTree& tree)
    : m_dpy(dpy),
      m_tree(tree),
      m_netActiveWindow(XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False)),
      m_netSupportingWmCheck(XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False)),
      m_wmState(XInternAtom(dpy, "WM_STATE", False)),
      m_gtkFrameExtents(XInternAtom(dpy, "_GTK_FRAME_EXTENTS", False)) {}

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
    // A window that draws its own decorations paints its shadow inside its margins: they are
    // the desktop's, not the window's. A window framed by the manager is taken with its frame.
    const Window client = clientOf(w);
    if (const auto margins = shadowMargins(client)) {
        const auto [left, right, top, bottom] = *margins;
        const ScreenRect outer = outerRectOf(client);
        const ScreenRect inner{outer.x + left, outer.y + top, outer.width - left - right,
                               outer.height - top - bottom};
        if (inner.width > 0 && inner.height > 0)
            return inner;
    }
    return outerRectOf(w);
}

ScreenRect X11WindowInFront::outerRectOf(Window w) {
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

std::vector<ScreenRect> X11WindowInFront::shownWindows(const std::set<Window>& leftOut) {
    std::vector<Window> children;
    {
        X11ErrorTrap trap(m_dpy);
        Window rootReturn = 0, parent = 0, *list = nullptr;
        unsigned count = 0;
        const Status status =
            XQueryTree(m_dpy, m_tree.root(), &rootReturn, &parent, &list, &count);
        const XPtr<Window> childList(list);
        if (!status || trap.failed())
            return {};
        children.assign(list, list + count);  // bottom to top
    }
    std::vector<ScreenRect> shown;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (leftOut.count(*it))
            continue;
        XWindowAttributes attrs;
        X11ErrorTrap trap(m_dpy);
        if (!XGetWindowAttributes(m_dpy, *it, &attrs) || trap.failed() ||
            attrs.map_state != IsViewable || attrs.c_class != InputOutput)
            continue;
        try {
            shown.push_back(rectOf(*it));
        } catch (const EGrabError&) {
            // gone meanwhile
        }
    }
    return shown;
}

Window X11WindowInFront::clientOf(Window top) {
    // The application's window is the one the manager marked with WM_STATE: the frame itself
    // without a manager, else a window inside it (nested a level or two by some managers).
    std::vector<Window> level{top};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window w : level) {
            if (hasProperty(w, m_wmState))
                return w;
            X11ErrorTrap trap(m_dpy);
            Window rootReturn = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            const Status status = XQueryTree(m_dpy, w, &rootReturn, &parent, &children, &count);
            const XPtr<Window> childList(children);
            if (status && !trap.failed())
                next.insert(next.end(), children, children + count);
        }
        level = std::move(next);
    }
    return top;
}

bool X11WindowInFront::hasProperty(Window w, Atom property) {
    X11ErrorTrap trap(m_dpy);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(m_dpy, w, property, 0, 0, False, AnyPropertyType,
                                          &actualType, &format, &count, &after, &raw);
    const XPtr<unsigned char> data(raw);
    return status == Success && !trap.failed() && actualType != None;
}

std::optional<std::array<int, 4>> X11WindowInFront::shadowMargins(Window client) {
    X11ErrorTrap trap(m_dpy);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    const int status = XGetWindowProperty(m_dpy, client, m_gtkFrameExtents, 0, 4, False,
                                          XA_CARDINAL, &actualType, &format, &count, &after, &raw);
    const XPtr<unsigned char> data(raw);
    if (status != Success || trap.failed() || !data || format != 32 || count != 4)
        return std::nullopt;
    // Xlib hands 32-bit items out as longs.
    std::array<long, 4> values{};
    std::memcpy(values.data(), data.get(), sizeof values);
    std::array<int, 4> margins{};
    for (size_t i = 0; i < margins.size(); ++i) {
        if (values[i] < 0 || values[i] > 0xFFFF)
            return std::nullopt;
        margins[i] = int(values[i]);
    }
    return margins;
}

}  // namespace fk
