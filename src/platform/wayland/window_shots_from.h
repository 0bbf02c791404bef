#pragma once

#include <memory>

#include "platform/screen_grabber.h"

namespace fk {

// Screen pictures from one grabber and window pictures from another: on a desktop whose screen
// grabber cannot tell the window in front, a second way (the desktop asking the user, say) takes
// the window shots.
class WindowShotsFrom final : public ScreenGrabber {
public:
    WindowShotsFrom(std::unique_ptr<ScreenGrabber> screen, std::unique_ptr<ScreenGrabber> windows)
        : m_screen(std::move(screen)), m_windows(std::move(windows)) {}

    GrabCapabilities capabilities() const override {
        GrabCapabilities c = m_screen->capabilities();
        const GrabCapabilities w = m_windows->capabilities();
        c.windowFrames = w.windowFrames;
        c.windowInFront = w.windowInFront;
        return c;
    }
    ScreenRect screenRect() override { return m_screen->screenRect(); }
    void grabScreen(Bitmap& into) override { m_screen->grabScreen(into); }
    std::optional<WindowHandle> foregroundWindow() override {
        return m_windows->foregroundWindow();
    }
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override {
        return m_windows->grabWindow(window, into);
    }
    std::optional<CursorImage> cursor() override { return m_screen->cursor(); }
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override {
        m_screen->setExcludedWindows(windows);
    }
    void setCursorInGrabs(bool on) override {
        m_screen->setCursorInGrabs(on);
        m_windows->setCursorInGrabs(on);
    }

private:
    std::unique_ptr<ScreenGrabber> m_screen;
    std::unique_ptr<ScreenGrabber> m_windows;
};

}  // namespace fk
