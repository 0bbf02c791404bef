#include "platform/x11/x11_desktop.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/x11/x11_hot_keys.h"

namespace fk {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_connection_t* conn(void* c) {
    return static_cast<xcb_connection_t*>(c);
}

}  // namespace

std::unique_ptr<X11Desktop> X11Desktop::create() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen)
        return nullptr;
    return std::unique_ptr<X11Desktop>(new X11Desktop(c, screen->root));
}

DesktopCapabilities X11Desktop::capabilities() const {
    return {.globalHotKeys = true, .taskbarEntry = true};
}

std::unique_ptr<HotKeys> X11Desktop::createGlobalHotKeys() {
    return std::make_unique<X11HotKeys>(m_connection, m_root);
}

void X11Desktop::setTaskbarEntry(WindowHandle window, TaskbarEntry entry) {
    const bool skip = entry == TaskbarEntry::Hidden;
    xcb_connection_t* c = conn(m_connection);
    const xcb_window_t id = xcb_window_t(window);
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE)
        return;

    // Before the map the property itself is the request; the other states in it stay.
    std::vector<xcb_atom_t> atoms;
    if (const Reply<xcb_get_property_reply_t> reply{xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr)}) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            atoms.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
        }
    }
    std::erase(atoms, skipTaskbar);
    if (skip)
        atoms.push_back(skipTaskbar);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        uint32_t(atoms.size()), atoms.data());

    // A mapped window is changed through the window manager.
    bool mapped = false;
    if (const Reply<xcb_get_window_attributes_reply_t> attrs{
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr)})
        mapped = attrs->map_state != XCB_MAP_STATE_UNMAPPED;
    if (mapped) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = state;
        event.data.data32[0] = skip ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
        event.data.data32[1] = skipTaskbar;
        event.data.data32[3] = 1;  // from a normal application
        xcb_send_event(c, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}

void X11Desktop::flush() {
    xcb_flush(conn(m_connection));
}

void X11Desktop::sync() {
    xcb_connection_t* c = conn(m_connection);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace fk
