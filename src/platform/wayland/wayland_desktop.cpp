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
    // A rule for the windows mapped later, and the windows that show now: sway forgets a window's
    // opacity when it is hidden, and a window shown anew is not there yet when this runs. Rules
    // add up; the last that matches wins, so one is added per change only. The rule goes first:
    // sway drops the rest of a command list once a part matches no window.
    char command[128];
    const long pid = long(getpid());
    if (opacity == m_ruleOpacity)
        std::snprintf(command, sizeof command, "[pid=%ld] opacity %.3f", pid, opacity);
    else
        std::snprintf(command, sizeof command,
                      "for_window [pid=%ld] opacity %.3f; [pid=%ld] opacity %.3f", pid, opacity,
                      pid, opacity);
    m_ruleOpacity = opacity;
    try {
        SwayIpc(*socket).request(SwayIpc::RunCommand, command);
    } catch (const EGrabError&) {
        // The compositor has gone or does not answer: the windows keep their opacity.
    }
}

}  // namespace fk
