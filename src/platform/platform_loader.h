#pragma once

#include <memory>

#include "platform/desktop.h"
#include "platform/platform_host.h"
#include "platform/screen_grabber.h"

namespace fk {

// The backend the program runs on, as the loader chose it.
struct Platform {
    std::unique_ptr<ScreenGrabber> grabber;
    std::unique_ptr<Desktop> desktop;
};

// The one place that chooses the backend, once, at start: on a GNOME or KDE Wayland session the
// desktop's portals, else X11 when its display can be opened, else none (every grab reports why,
// no global keys). Each backend the build holds is announced to the loader by a definition of
// its own (FOTOKRAN_HAVE_X11, FOTOKRAN_HAVE_PORTAL). `host` serves what a backend keeps between
// runs and asks the user.
Platform loadPlatform(const PlatformHost& host = {});

}  // namespace fk
