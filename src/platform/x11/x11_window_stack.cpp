#include "platform/x11/x11_window_stack.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <cstring>

#include "platform/errors.h"
#include "platform/x11/x11_handles.h"

namespace fk {

namespace {

// An xcb reply, or none when the request failed (a window that has gone).
template <typename Reply, typename Cookie>
MallocPtr<Reply> replyOf(Reply* (*read)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                         xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    MallocPtr<Reply> reply(read(c, cookie, &error));
    std::free(error);
    return reply;
}

}  // namespace

// Asks where each window is and whether it shows; the answers are read later, in the same round
// trip as whatever else was asked meanwhile. Room for every answer is made before asking, so that
// nothing fails between asking and reading; answers never read are thrown away.
class X11WindowStackReader::Query {
public:
    Query(xcb_connection_t* c, std::vector<uint32_t> windows)
        : m_c(c),
          m_windows(std::move(windows)),
          m_attributeCookies(m_windows.size()),
          m_geometryCookies(m_windows.size()),
          m_attributes(m_windows.size()),
          m_geometries(m_windows.size()) {
        for (size_t i = 0; i < m_windows.size(); ++i) {
            m_attributeCookies[i] = xcb_get_window_attributes(c, m_windows[i]);
            m_geometryCookies[i] = xcb_get_geometry(c, m_windows[i]);
        }
    }
    ~Query() {
        for (; m_read < m_windows.size(); ++m_read) {
            xcb_discard_reply(m_c, m_attributeCookies[m_read].sequence);
            xcb_discard_reply(m_c, m_geometryCookies[m_read].sequence);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::vector<uint32_t>& windows() const { return m_windows; }

    std::vector<WindowStack::TopLevel> read() {
        for (; m_read < m_windows.size(); ++m_read) {
            m_attributes[m_read] =
                replyOf(xcb_get_window_attributes_reply, m_c, m_attributeCookies[m_read]);
            m_geometries[m_read] = replyOf(xcb_get_geometry_reply, m_c, m_geometryCookies[m_read]);
        }
        std::vector<WindowStack::TopLevel> stack;
        stack.reserve(m_windows.size());
        for (size_t i = 0; i < m_windows.size(); ++i) {
            if (!m_attributes[i] || !m_geometries[i])
                continue;  // gone meanwhile
            const xcb_get_geometry_reply_t& g = *m_geometries[i];
            const xcb_get_window_attributes_reply_t& a = *m_attributes[i];
            WindowStack::TopLevel t;
            t.window = Window(m_windows[i]);
            t.rect = {g.x, g.y, g.width + 2 * g.border_width, g.height + 2 * g.border_width};
            t.depth = g.depth;
            t.visual = VisualID(a.visual);
            t.drawn =
                a.map_state == XCB_MAP_STATE_VIEWABLE && a._class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
            stack.push_back(t);
        }
        return stack;
    }

private:
    xcb_connection_t* m_c;
    std::vector<uint32_t> m_windows;
    std::vector<xcb_get_window_attributes_cookie_t> m_attributeCookies;
    std::vector<xcb_get_geometry_cookie_t> m_geometryCookies;
    std::vector<MallocPtr<xcb_get_window_attributes_reply_t>> m_attributes;
    std::vector<MallocPtr<xcb_get_geometry_reply_t>> m_geometries;
    size_t m_read = 0;
};

X11WindowStackReader::X11WindowStackReader(Display* dpy, X11WindowTree& tree)
    : m_dpy(dpy), m_tree(tree), m_rootPixmapId(XInternAtom(dpy, "_XROOTPMAP_ID", False)) {}

WindowStack X11WindowStackReader::read(const std::vector<Window>& held) {
    xcb_connection_t* c = XGetXCBConnection(m_dpy);
    const auto root = xcb_window_t(m_tree.root());
    std::vector<xcb_query_tree_cookie_t> parentCookies(held.size());
    std::vector<MallocPtr<xcb_query_tree_reply_t>> parents(held.size());
    const auto treeCookie = xcb_query_tree(c, root);
    const auto wallpaperCookie =
        xcb_get_property(c, 0, root, xcb_atom_t(m_rootPixmapId), XCB_ATOM_PIXMAP, 0, 1);
    for (size_t i = 0; i < held.size(); ++i)
        parentCookies[i] = xcb_query_tree(c, xcb_window_t(held[i]));
    Query guess(c, m_lastChildren);
    const MallocPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, treeCookie, nullptr));
    const MallocPtr<xcb_get_property_reply_t> property(
        xcb_get_property_reply(c, wallpaperCookie, nullptr));
    for (size_t i = 0; i < held.size(); ++i)
        parents[i] = replyOf(xcb_query_tree_reply, c, parentCookies[i]);
    if (!tree)
        throw EGrabError("The display refused to list its windows");

    WindowStack stack;
    if (property && property->format == 32 && property->type == XCB_ATOM_PIXMAP &&
        xcb_get_property_value_length(property.get()) == 4) {
        uint32_t id = 0;
        std::memcpy(&id, xcb_get_property_value(property.get()), 4);
        stack.wallpaper = Pixmap(id);
    }
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    const std::vector<uint32_t> children(first, first + xcb_query_tree_children_length(tree.get()));
    const std::set<uint32_t> topLevel(children.begin(), children.end());
    for (size_t i = 0; i < held.size(); ++i) {
        const auto w = uint32_t(held[i]);
        if (topLevel.count(w))
            stack.holders.insert(w);
        else if (!parents[i] || parents[i]->parent == XCB_NONE || parents[i]->parent == root)
            continue;  // gone, or made a top-level window since the list was read
        else if (topLevel.count(parents[i]->parent))
            stack.holders.insert(parents[i]->parent);
        else if (const Window top = m_tree.topLevelOf(parents[i]->parent))
            stack.holders.insert(top);
    }
    if (stack.holders.empty())
        return stack;
    if (children == guess.windows()) {
        stack.windows = guess.read();
    } else {
        guess.read();
        m_lastChildren = children;
        Query fresh(c, children);
        stack.windows = fresh.read();
    }
    return stack;
}

}  // namespace fk
