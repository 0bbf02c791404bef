#include "platform/platform_loader.h"

#include <string>

#include "platform/errors.h"
#include "platform/null/null_desktop.h"
#include "platform/null/null_grabber.h"

#ifdef FOTOKRAN_HAVE_PORTAL
#include "platform/portal/portal_platform.h"
#endif
#ifdef FOTOKRAN_HAVE_WAYLAND
#include "platform/wayland/wayland_platform.h"
#include "platform/wayland/wayland_session.h"
#endif
#ifdef FOTOKRAN_HAVE_X11
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_grabber.h"
#endif

namespace fk {

namespace {

[[maybe_unused]] const char* const kXwaylandRefusal =
    "Fotokran runs on X11 (Xwayland) in a Wayland session, where no screen picture can be taken: "
    "X11 programs see neither the screen nor the other windows there. Start it without "
    "QT_QPA_PLATFORM=xcb (Qt's Wayland platform, Debian package qt6-wayland, must be installed)";

#ifdef FOTOKRAN_HAVE_WAYLAND
// What a Wayland session may use, best first. Other Wayland backends add theirs here:
//  - screen: after the wlroots screen copy, the ScreenCast portal (a PipeWire stream), then the
//    Screenshot portal;
//  - windows: window shots where the screen's grabber cannot tell the window in front (the
//    Screenshot portal, the user picking the window);
//  - hotKeys: the GlobalShortcuts portal. Without any, the user is told which commands to bind.
WaylandChoices waylandChoices() {
    WaylandChoices c;
    c.screen.push_back({"wlroots screen copy", &makeScreencopyGrabber});
    return c;
}
#endif

}  // namespace

Platform loadPlatform([[maybe_unused]] const PlatformHost& host) {
    std::string noDisplay = "This build has no X11 support";
#ifdef FOTOKRAN_HAVE_PORTAL
    // GNOME and KDE let no client read the screen, X11 ones under Xwayland included.
    if (std::optional<Platform> portal = createPortalPlatform(host))
        return std::move(*portal);
#endif
    std::string startNote;
#ifdef FOTOKRAN_HAVE_WAYLAND
    switch (waylandSession()) {
        case WaylandSession::Native:
            return loadWaylandPlatform(waylandChoices());
        case WaylandSession::ForcedX11:
            startNote = kXwaylandRefusal;
            break;
        case WaylandSession::None:
            break;
    }
#endif
#ifdef FOTOKRAN_HAVE_X11
    try {
        Platform x11{std::make_unique<X11Grabber>(), X11Desktop::create(), startNote};
        // The toolkit may run off screen on an X11 display: then it has no desktop to speak to.
        if (!x11.desktop)
            x11.desktop = std::make_unique<NullDesktop>();
        // Under Xwayland the keys and the task bar work through X11, but grabs would be black.
        if (!startNote.empty())
            x11.grabber = std::make_unique<NoDisplayGrabber>(startNote);
        return x11;
    } catch (const EGrabError& e) {
        noDisplay = e.what();
    }
#endif
    return {std::make_unique<NoDisplayGrabber>(startNote.empty() ? noDisplay : startNote),
            std::make_unique<NullDesktop>(), startNote};
}

}  // namespace fk
