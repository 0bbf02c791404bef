#include "platform/x11/x11_error_trap.h"

#include <cstdio>
#include <iostream>

namespace fk {

namespace {
// The innermost trap in force; traps nest. Everything runs on the one thread that owns the display.
X11ErrorTrap* g_current = nullptr;
}  // namespace

std::string describeX11Error(Display* dpy, const X11Error& error) {
    char text[256] = {};
    XGetErrorText(dpy, error.code, text, sizeof text);
    char where[96];
    std::snprintf(where, sizeof where, ", request %d.%d, resource 0x%lx", error.request,
                  error.minor, error.resource);
    return std::string(text) + where;
}

int recordX11Error(Display* dpy, XErrorEvent* event) {
    const X11Error error{event->serial, event->error_code, event->request_code, event->minor_code,
                         event->resourceid};
    for (X11ErrorTrap* trap = g_current; trap; trap = trap->m_outer) {
        if (trap->m_dpy != dpy || event->serial < trap->m_first)
            continue;
        // Xlib calls this from C code: nothing may be thrown through it.
        try {
            trap->m_errors.push_back(error);
        } catch (...) {
            trap->m_lost = true;
        }
        return 0;
    }
    try {
        std::cerr << "fotokran: X error outside a checked request: " << describeX11Error(dpy, error)
                  << std::endl;
    } catch (...) {
    }
    return 0;
}

void installX11ErrorHandler() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    XSetErrorHandler(&recordX11Error);
}

X11ErrorTrap::X11ErrorTrap(Display* dpy)
    : m_dpy(dpy), m_outer(g_current), m_first(NextRequest(dpy)) {
    g_current = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    catchUp();
    g_current = m_outer;
}

void X11ErrorTrap::catchUp() {
    // Errors come in the order of the requests: once a later answer has been read, there is
    // nothing to wait for.
    if (LastKnownRequestProcessed(m_dpy) + 1 < NextRequest(m_dpy))
        XSync(m_dpy, False);
}

bool X11ErrorTrap::failed() {
    catchUp();
    return !m_errors.empty() || m_lost;
}

}  // namespace fk
