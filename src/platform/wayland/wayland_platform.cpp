#include "platform/wayland/wayland_platform.h"

#include "platform/errors.h"
#include "platform/null/null_grabber.h"
#include "platform/wayland/wayland_grabber.h"
#include "platform/wayland/wayland_session.h"
#include "platform/wayland/window_shots_from.h"

namespace fk {

namespace {

// The first grabber of the list that works; the reasons of those that did not, otherwise.
std::unique_ptr<ScreenGrabber> firstThatWorks(const std::vector<WaylandGrabberFactory>& list,
                                              std::string& reasons) {
    for (const WaylandGrabberFactory& f : list) {
        try {
            if (std::unique_ptr<ScreenGrabber> g = f.make())
                return g;
            reasons += (reasons.empty() ? "" : "; ") + f.name + ": not offered here";
        } catch (const EGrabError& e) {
            reasons += (reasons.empty() ? "" : "; ") + f.name + ": " + e.what();
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<ScreenGrabber> makeScreencopyGrabber() {
    return WaylandGrabber::create();
}

Platform loadWaylandPlatform(const WaylandChoices& choices) {
    Platform p;
    p.desktop = std::make_unique<WaylandDesktop>(waylandDesktopFamily(), choices.hotKeys);
    std::string reasons;
    p.grabber = firstThatWorks(choices.screen, reasons);
    if (!p.grabber) {
        p.grabber = std::make_unique<NoDisplayGrabber>(
            "This Wayland desktop offers the program no way to take pictures (" + reasons + ")");
        return p;
    }
    if (p.grabber->capabilities().windowInFront == WindowInFront::Unsupported) {
        std::string ignored;
        if (std::unique_ptr<ScreenGrabber> windows = firstThatWorks(choices.windows, ignored))
            p.grabber = std::make_unique<WindowShotsFrom>(std::move(p.grabber), std::move(windows));
    }
    return p;
}

}  // namespace fk
