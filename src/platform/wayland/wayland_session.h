#pragma once

#include "platform/capabilities.h"

namespace fk {

enum class WaylandSession {
    None,       // an X11 session, or no display at all
    Native,     // a Wayland session with the toolkit on its Wayland platform
    ForcedX11,  // a Wayland session with the toolkit on X11 (Xwayland), which sees no screen
};

// From WAYLAND_DISPLAY or XDG_SESSION_TYPE, and the toolkit's platform.
WaylandSession waylandSession();
// From SWAYSOCK and XDG_CURRENT_DESKTOP.
DesktopFamily waylandDesktopFamily();

}  // namespace fk
