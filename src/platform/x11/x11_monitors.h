#pragma once

#include <X11/Xlib.h>

#include "platform/screen_grabber.h"

namespace fk {

// The primary monitor's rectangle in root coordinates: the display's primary monitor, else its
// first one, as XRandR tells them, else (a display without XRandR, or one that tells no monitors)
// the whole root window.
ScreenRect primaryMonitor(Display* dpy, int screen);
// The whole X screen: every monitor, and whatever of the framebuffer no monitor shows.
ScreenRect wholeScreen(Display* dpy, int screen);

}  // namespace fk
