#include "platform/portal/portal_platform.h"

#include <QString>
#include <QStringList>
#include <cstdlib>

#include "platform/null/null_desktop.h"
#include "platform/portal/portal_hot_keys.h"
#include "platform/portal/portal_request.h"

namespace fk {

namespace {

const char* const kTokenKey = "ScreenCastToken";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

PortalDesktop portalDesktopOf(const std::string& currentDesktop) {
    const QStringList names = QString::fromStdString(currentDesktop).split(':', Qt::SkipEmptyParts);
    for (const QString& n : names) {
        if (n.compare("GNOME", Qt::CaseInsensitive) == 0)
            return PortalDesktop::Gnome;
        if (n.compare("KDE", Qt::CaseInsensitive) == 0)
            return PortalDesktop::Kde;
    }
    return PortalDesktop::Other;
}

DesktopCapabilities PortalDesktopServices::capabilities() const {
    DesktopCapabilities c = m_base->capabilities();
    c.globalHotKeys = true;  // through the portal or the desktop's own shortcuts, where they bind
    return c;
}

std::unique_ptr<HotKeys> PortalDesktopServices::createGlobalHotKeys() {
    return std::make_unique<PortalHotKeys>(m_desktop == PortalDesktop::Gnome, m_host);
}

std::optional<Platform> createPortalPlatform(const PlatformHost& host) {
    const PortalDesktop desktop = portalDesktopOf(environment("XDG_CURRENT_DESKTOP"));
    if (environment("WAYLAND_DISPLAY").empty() || desktop == PortalDesktop::Other)
        return std::nullopt;
    if (!PortalRequest::property("org.freedesktop.portal.Screenshot", "version").isValid() &&
        !PortalRequest::property("org.freedesktop.portal.ScreenCast", "version").isValid())
        return std::nullopt;
    RestoreToken token;
    if (host.keptValue)
        token.read = [host] { return host.keptValue(kTokenKey); };
    if (host.keepValue)
        token.keep = [host](const std::string& value) { host.keepValue(kTokenKey, value); };
    Platform platform;
    platform.grabber = std::make_unique<PortalGrabber>(desktop, std::move(token));
    platform.desktop =
        std::make_unique<PortalDesktopServices>(std::make_unique<NullDesktop>(), desktop, host);
    return platform;
}

}  // namespace fk
