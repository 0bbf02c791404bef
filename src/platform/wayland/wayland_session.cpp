#include "platform/wayland/wayland_session.h"

#include <QGuiApplication>
#include <cstdlib>
#include <string>

namespace fk {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

WaylandSession waylandSession() {
    if (env("WAYLAND_DISPLAY").empty() && env("XDG_SESSION_TYPE") != "wayland")
        return WaylandSession::None;
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith("wayland"))
        return WaylandSession::Native;
    if (platform == "xcb")
        return WaylandSession::ForcedX11;
    return WaylandSession::None;  // off screen, or a platform that shows nothing
}

DesktopFamily waylandDesktopFamily() {
    if (!env("SWAYSOCK").empty())
        return DesktopFamily::Sway;
    const std::string desktop = env("XDG_CURRENT_DESKTOP");
    if (desktop.find("GNOME") != std::string::npos)
        return DesktopFamily::Gnome;
    if (desktop.find("KDE") != std::string::npos)
        return DesktopFamily::Kde;
    return DesktopFamily::OtherWayland;
}

}  // namespace fk
