#include "platform/x11/x11_error_trap.h"

namespace fk {

namespace {
// The trap in force; traps nest. Everything runs on the one thread that owns the display.
X11ErrorTrap* g_current = nullptr;
}  // namespace

int recordX11Error(Display* dpy, XErrorEvent* event) {
    for (X11ErrorTrap* trap = g_current; trap; trap = trap->m_outer) {
        if (trap->m_dpy == dpy) {
            if (trap->m_error == 0)
                trap->m_error = event->error_code;
            return 0;
        }
    }
    return 0;  // an error outside any trap: ignored rather than ending the program
}

void installX11ErrorHandler() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    XSetErrorHandler(&recordX11Error);
}

X11ErrorTrap::X11ErrorTrap(Display* dpy) : m_dpy(dpy), m_outer(g_current) {
    XSync(m_dpy, False);  // errors of earlier requests are not ours
    g_current = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(m_dpy, False);
    g_current = m_outer;
}

bool X11ErrorTrap::failed() {
    XSync(m_dpy, False);
    return m_error != 0;
}

}  // namespace fk
