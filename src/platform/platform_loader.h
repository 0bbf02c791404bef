#pragma once

#include <memory>
#include <string>

#include "platform/desktop.h"
#include "platform/platform_host.h"
#include "platform/screen_grabber.h"

namespace fk {

// The backend the program runs on, as the loader chose it.
struct Platform {
    std::unique_ptr<ScreenGrabber> grabber;
    std::unique_ptr<Desktop> desktop;
    // What the program must tell the user at start about this choice (none: nothing).
    std::string startNote;
};

// The one place that chooses the backend, once, at start: on a GNOME or KDE Wayland session the
// desktop's portals; on another Wayland session with the toolkit on Wayland, the Wayland backend;
// else X11 when its display can be opened; else none (every grab reports why, no global keys).
// Each backend the build holds is announced to the loader by a definition of its own
// (FOTOKRAN_HAVE_PORTAL, FOTOKRAN_HAVE_WAYLAND, FOTOKRAN_HAVE_X11). `host` serves what a backend
// keeps between runs and asks the user.
Platform loadPlatform(const PlatformHost& host = {});

}  // namespace fk
