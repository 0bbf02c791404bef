#pragma once

#include <X11/Xlib.h>

#include "platform/screen_grabber.h"

namespace fk {

// The primary monitor's rectangle in root coordinates: the display's primary monitor, else its
// first one, else (a display that tells no monitors) the whole root window. Which way it is asked
// for is settled by the build: with XRandR where the library is there.
ScreenRect primaryMonitor(Display* dpy, int screen);

}  // namespace fk
