#pragma once

#include <functional>

#include "platform/desktop.h"
#include "platform/screen_grabber.h"

namespace fk {

// Leaves the program's windows out of screen grabs where the display draws every window into
// every grab (OwnWindows::HiddenForGrab): while windows are to be left out, each screen grab
// hides them, has the display take the picture once it shows none of them, and shows them again,
// also when the grab fails. Window shots take the window as it is.
class HidingGrabber final : public ScreenGrabber {
public:
    // `hide` hides the program's windows that show and returns what shows them again.
    HidingGrabber(ScreenGrabber& inner, Desktop& desktop,
                  std::function<std::function<void()>()> hide)
        : m_inner(inner), m_desktop(desktop), m_hide(std::move(hide)) {}

    GrabCapabilities capabilities() const override { return m_inner.capabilities(); }
    ScreenRect screenRect() override { return m_inner.screenRect(); }
    void grabScreen(Bitmap& into) override;
    std::optional<WindowHandle> foregroundWindow() override { return m_inner.foregroundWindow(); }
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override {
        return m_inner.grabWindow(window, into);
    }
    std::optional<CursorImage> cursor() override { return m_inner.cursor(); }
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override {
        m_excluding = !windows.empty();
        m_inner.setExcludedWindows(windows);
    }
    void setCursorInGrabs(bool on) override { m_inner.setCursorInGrabs(on); }

private:
    ScreenGrabber& m_inner;
    Desktop& m_desktop;
    std::function<std::function<void()>()> m_hide;
    bool m_excluding = false;
};

}  // namespace fk
