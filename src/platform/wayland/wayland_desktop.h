#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/desktop.h"

namespace fk {

// Makes the global keys a desktop offers (a portal, say); nothing where it offers none.
using HotKeysFactory = std::function<std::unique_ptr<HotKeys>()>;

// The desktop of a Wayland session: no client grabs keys there, nothing keeps a window out of the
// task bar, and window opacity is the compositor's (sway sets it when asked through its IPC).
class WaylandDesktop final : public Desktop {
public:
    // The keys come from the first factory that gives some; without any, every key is refused
    // and the program tells the user which commands to bind instead.
    WaylandDesktop(DesktopFamily family, std::vector<HotKeysFactory> hotKeys);

    DesktopCapabilities capabilities() const override;
    std::unique_ptr<HotKeys> createGlobalHotKeys() override;
    void setTaskbarEntry(WindowHandle, TaskbarEntry) override {}
    // Has the toolkit send what it holds for the compositor now.
    void flush() override;
    void sync() override { flush(); }
    void setWindowOpacity(double opacity) override;

private:
    DesktopFamily m_family;
    std::vector<HotKeysFactory> m_hotKeys;
    double m_ruleOpacity = 1.0;  // what sway's rule for windows shown later sets
};

}  // namespace fk
