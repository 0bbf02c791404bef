#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform_loader.h"
#include "platform/wayland/wayland_desktop.h"

namespace fk {

// Makes one way of taking pictures on a Wayland session. It gives nothing, or throws EGrabError
// with its reason, where the compositor does not offer what it needs.
struct WaylandGrabberFactory {
    std::string name;  // for the reasons told when none works
    std::function<std::unique_ptr<ScreenGrabber>()> make;
};

// What a Wayland session may use, each list best first. The loader fills the lists.
struct WaylandChoices {
    std::vector<WaylandGrabberFactory> screen;   // the first that works takes every picture
    std::vector<WaylandGrabberFactory> windows;  // window shots, where the screen's grabber
                                                 // cannot tell the window in front
    std::vector<HotKeysFactory> hotKeys;         // the first that gives keys
};

// The platform of a Wayland session from the choices. With no grabber that works, every grab
// reports the reasons.
Platform loadWaylandPlatform(const WaylandChoices& choices);

// The wlroots screen-copy grabber (this folder's own).
std::unique_ptr<ScreenGrabber> makeScreencopyGrabber();

}  // namespace fk
