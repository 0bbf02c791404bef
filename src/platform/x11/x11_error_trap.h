#pragma once

#include <X11/Xlib.h>

namespace fk {

// Xlib's default error handler ends the process; ours records the error for the trap in force.
void installX11ErrorHandler();

// Collects the X errors of the requests made while it lives. failed() waits for the server to
// answer them all and tells whether any of them failed.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* dpy);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    bool failed();
    int errorCode() const { return m_error; }

private:
    friend int recordX11Error(Display*, XErrorEvent*);
    Display* m_dpy;
    X11ErrorTrap* m_outer;
    int m_error = 0;
};

}  // namespace fk
