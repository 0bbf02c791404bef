#include "platform/portal/portal_platform.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
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
    // Qt's Wayland platform sets no window opacity, and these desktops offer no way to ask.
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        c.opacity = WindowOpacity::Unsupported;
    return c;
}

void PortalDesktopServices::flush() {
    m_base->flush();
    // The toolkit writes its requests out when its event loop wakes; this wakes it in place.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        emit dispatcher->awake();
}

std::unique_ptr<HotKeys> PortalDesktopServices::createGlobalHotKeys() {
    std::unique_ptr<HotKeys> keys = makePortalHotKeys(m_host);
    return keys ? std::move(keys) : m_base->createGlobalHotKeys();
}

namespace {

// The desktop family of a session the portals serve; Other when they do not.
PortalDesktop portalSession() {
    const PortalDesktop desktop = portalDesktopOf(environment("XDG_CURRENT_DESKTOP"));
    if (environment("WAYLAND_DISPLAY").empty() || desktop == PortalDesktop::Other)
        return PortalDesktop::Other;
    if (!PortalRequest::property("org.freedesktop.portal.Screenshot", "version").isValid() &&
        !PortalRequest::property("org.freedesktop.portal.ScreenCast", "version").isValid())
        return PortalDesktop::Other;
    return desktop;
}

}  // namespace

std::unique_ptr<ScreenGrabber> makePortalGrabber(const PlatformHost& host) {
    const PortalDesktop desktop = portalSession();
    if (desktop == PortalDesktop::Other)
        return nullptr;
    RestoreToken token;
    if (host.keptValue)
        token.read = [host] { return host.keptValue(kTokenKey); };
    if (host.keepValue)
        token.keep = [host](const std::string& value) { host.keepValue(kTokenKey, value); };
    return std::make_unique<PortalGrabber>(desktop, std::move(token));
}

std::unique_ptr<HotKeys> makePortalHotKeys(const PlatformHost& host) {
    const PortalDesktop desktop = portalSession();
    if (desktop == PortalDesktop::Other)
        return nullptr;
    return std::make_unique<PortalHotKeys>(desktop == PortalDesktop::Gnome, host);
}

std::optional<Platform> createPortalPlatform(const PlatformHost& host) {
    std::unique_ptr<ScreenGrabber> grabber = makePortalGrabber(host);
    if (!grabber)
        return std::nullopt;
    Platform platform;
    platform.grabber = std::move(grabber);
    platform.desktop =
        std::make_unique<PortalDesktopServices>(std::make_unique<NullDesktop>(), host);
    return platform;
}

}  // namespace fk
