#include "platform/x11/x11_monitors.h"

namespace fk {

ScreenRect primaryMonitor(Display* dpy, int screen) {
    return {0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen)};
}

}  // namespace fk
