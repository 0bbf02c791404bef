#include <X11/extensions/Xrandr.h>

#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_handles.h"
#include "platform/x11/x11_monitors.h"

namespace fk {

namespace {

struct MonitorsDeleter {
    void operator()(XRRMonitorInfo* monitors) const {
        if (monitors)
            XRRFreeMonitors(monitors);
    }
};

}  // namespace

ScreenRect wholeScreen(Display* dpy, int screen) {
    return {0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen)};
}

ScreenRect primaryMonitor(Display* dpy, int screen) {
    const ScreenRect whole = wholeScreen(dpy, screen);
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(dpy, &eventBase, &errorBase))
        return whole;
    int count = 0;
    X11ErrorTrap trap(dpy);
    std::unique_ptr<XRRMonitorInfo, MonitorsDeleter> monitors(
        XRRGetMonitors(dpy, RootWindow(dpy, screen), True, &count));
    if (!monitors || trap.failed())
        return whole;
    ScreenRect found = whole;
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors.get()[i];
        if (m.primary || i == 0)
            found = {m.x, m.y, m.width, m.height};
        if (m.primary)
            break;
    }
    if (found.width <= 0 || found.height <= 0)
        return whole;
    return found;
}

}  // namespace fk
