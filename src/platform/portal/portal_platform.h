#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/platform_host.h"
#include "platform/platform_loader.h"
#include "platform/portal/portal_grabber.h"

namespace fk {

// The desktop family a Wayland session runs, from XDG_CURRENT_DESKTOP (a list such as
// "ubuntu:GNOME"); Other when it is neither GNOME nor KDE.
PortalDesktop portalDesktopOf(const std::string& currentDesktop);

// The desktop as the portals serve it: the keys through PortalHotKeys, everything else through
// the desktop underneath (the task-bar state and the display connection's pace).
class PortalDesktopServices final : public Desktop {
public:
    PortalDesktopServices(std::unique_ptr<Desktop> base, PlatformHost host)
        : m_base(std::move(base)), m_host(std::move(host)) {}

    DesktopCapabilities capabilities() const override;
    std::unique_ptr<HotKeys> createGlobalHotKeys() override;
    void setTaskbarEntry(WindowHandle window, TaskbarEntry entry) override {
        m_base->setTaskbarEntry(window, entry);
    }
    // Also writes out what the toolkit has for the display (our windows hidden for a grab).
    void flush() override;
    void sync() override { m_base->sync(); }

private:
    std::unique_ptr<Desktop> m_base;
    PlatformHost m_host;
};

// For a Wayland session (WAYLAND_DISPLAY set) of GNOME or KDE whose portal answers on the
// session bus: pictures through the desktop's own services, the screen-sharing permission kept
// through `host` under the key "ScreenCastToken"; nothing otherwise.
std::unique_ptr<ScreenGrabber> makePortalGrabber(const PlatformHost& host);
// The keys on such a session; nothing otherwise.
std::unique_ptr<HotKeys> makePortalHotKeys(const PlatformHost& host);
// Both, over a desktop that has nothing else to offer.
std::optional<Platform> createPortalPlatform(const PlatformHost& host);

}  // namespace fk
