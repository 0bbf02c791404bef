#include "platform/wayland/wayland_desktop.h"

#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <cstdio>

#include "platform/errors.h"
#include "platform/null/null_hot_keys.h"
#include "platform/wayland/sway_ipc.h"

namespace fk {

WaylandDesktop::WaylandDesktop(DesktopFamily family, std::vector<HotKeysFactory> hotKeys)
    : m_family(family), m_hotKeys(std::move(hotKeys)) {}

DesktopCapabilities WaylandDesktop::capabilities() const {
    return {.globalHotKeys = false,
            .taskbarEntry = false,
            .family = m_family,
            .opacity = m_family == DesktopFamily::Sway ? WindowOpacity::Desktop
                                                       : WindowOpacity::Unsupported};
}

std::unique_ptr<HotKeys> WaylandDesktop::createGlobalHotKeys() {
    for (const HotKeysFactory& make : m_hotKeys)
        if (std::unique_ptr<HotKeys> keys = make())
            return keys;
    return std::make_unique<NoHotKeys>();
}

void WaylandDesktop::flush() {
    // The toolkit's Wayland connection writes its requests out when the event loop wakes; this
    // wakes it in place, without dispatching any event.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        emit dispatcher->awake();
}

void WaylandDesktop::setWindowOpacity(double opacity) {
    const std::optional<std::string> socket = SwayIpc::sessionSocket();
    if (!socket)
        return;
    char command[64];
    std::snprintf(command, sizeof command, "[pid=%ld] opacity %.3f", long(getpid()), opacity);
    try {
        SwayIpc(*socket).request(SwayIpc::RunCommand, command);
    } catch (const EGrabError&) {
        // The compositor has gone or does not answer: the windows keep their opacity.
    }
}

}  // namespace fk
