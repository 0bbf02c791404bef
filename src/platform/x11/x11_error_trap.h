#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace fk {

// Xlib's default error handler ends the process. Ours hands each error to the trap in force for
// the request that caused it, and reports an error of a request made outside every trap on
// standard error.
void installX11ErrorHandler();

struct X11Error {
    unsigned long serial = 0;  // of the request that failed
    int code = 0;
    int request = 0;  // major and minor opcode
    int minor = 0;
    unsigned long resource = 0;
};

// "BadWindow (invalid Window parameter), request 3.0, resource 0x400005".
std::string describeX11Error(Display* dpy, const X11Error& error);

// Collects the X errors of the requests made while it lives. failed() waits for the server to
// answer those requests, unless their answers are in already, and tells whether any failed.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* dpy);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    bool failed();
    int errorCode() const { return m_errors.empty() ? (m_lost ? BadAlloc : 0) : m_errors[0].code; }
    // Every error so far, in the order of the requests; complete after failed().
    const std::vector<X11Error>& errors() const { return m_errors; }
    // The serial the next request will carry: errors carry the serial of the request they answer.
    unsigned long nextSerial() const { return NextRequest(m_dpy); }

private:
    friend int recordX11Error(Display*, XErrorEvent*);
    void catchUp();

    Display* m_dpy;
    X11ErrorTrap* m_outer;
    unsigned long m_first;  // the serial of the first request made in its time
    std::vector<X11Error> m_errors;
    bool m_lost = false;  // an error that could not be recorded
};

}  // namespace fk
