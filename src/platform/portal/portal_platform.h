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
    PortalDesktopServices(std::unique_ptr<Desktop> base, PortalDesktop desktop, PlatformHost host)
        : m_base(std::move(base)), m_desktop(desktop), m_host(std::move(host)) {}

    DesktopCapabilities capabilities() const override;
    std::unique_ptr<HotKeys> createGlobalHotKeys() override;
    void setTaskbarEntry(WindowHandle window, TaskbarEntry entry) override {
        m_base->setTaskbarEntry(window, entry);
    }
    void flush() override { m_base->flush(); }
    void sync() override { m_base->sync(); }

private:
    std::unique_ptr<Desktop> m_base;
    PortalDesktop m_desktop;
    PlatformHost m_host;
};

// Pictures and keys through GNOME's and KDE's own services, for a Wayland session of one of
// them (WAYLAND_DISPLAY set) whose portal answers on the session bus; nothing otherwise. The
// screen-sharing permission is kept through `host` under the key "ScreenCastToken".
std::optional<Platform> createPortalPlatform(const PlatformHost& host);

}  // namespace fk
