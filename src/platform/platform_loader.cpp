#include "platform/platform_loader.h"

#include <string>

#include "platform/errors.h"
#include "platform/null/null_desktop.h"
#include "platform/null/null_grabber.h"

#ifdef FOTOKRAN_HAVE_PORTAL
#include "platform/portal/portal_platform.h"
#endif
#ifdef FOTOKRAN_HAVE_X11
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_grabber.h"
#endif

namespace fk {

Platform loadPlatform([[maybe_unused]] const PlatformHost& host) {
    std::string noDisplay = "This build has no X11 support";
#ifdef FOTOKRAN_HAVE_PORTAL
    // GNOME and KDE let no client read the screen, X11 ones under Xwayland included.
    if (std::optional<Platform> portal = createPortalPlatform(host))
        return std::move(*portal);
#endif
#ifdef FOTOKRAN_HAVE_X11
    try {
        Platform x11{std::make_unique<X11Grabber>(), X11Desktop::create()};
        // The toolkit may run off screen on an X11 display: then it has no desktop to speak to.
        if (!x11.desktop)
            x11.desktop = std::make_unique<NullDesktop>();
        return x11;
    } catch (const EGrabError& e) {
        noDisplay = e.what();
    }
#endif
    return {std::make_unique<NoDisplayGrabber>(noDisplay), std::make_unique<NullDesktop>()};
}

}  // namespace fk
