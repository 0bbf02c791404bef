#include "app/x11_desktop.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

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

}  // namespace

void setSkipTaskbar(QWidget* window, bool skip) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    const xcb_window_t id = xcb_window_t(window->winId());
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
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = state;
        event.data.data32[0] = skip ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
        event.data.data32[1] = skipTaskbar;
        event.data.data32[3] = 1;  // from a normal application
        xcb_send_event(c, 0, screen->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}

void flushDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        xcb_flush(x11->connection());
}

void syncDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace fk
