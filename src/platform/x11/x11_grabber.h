#pragma once

#include <memory>
#include <string>

#include "platform/screen_grabber.h"

namespace fk {

// Grabs from an X11 display: the primary monitor (or the whole X screen) with MIT-SHM where the server has it, the window
// in front with its window-manager frame, the cursor through XFIXES, and — while windows are to be
// left out — the places of those windows composed from the other windows through Composite.
class X11Grabber final : public ScreenGrabber {
public:
    // Opens the display named (the DISPLAY variable when empty); throws EGrabError when it cannot.
    explicit X11Grabber(const std::string& displayName = {});
    ~X11Grabber() override;

    ScreenRect screenRect() override;
    void grabScreen(Bitmap& into) override;
    void setGrabArea(GrabArea area) override;
    std::vector<ScreenRect> windowsOnScreen() override;
    std::optional<WindowHandle> foregroundWindow() override;
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override;
    std::optional<CursorImage> cursor() override;
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override;
    // As found on the display: grabs fall back to plain requests without MIT-SHM, windows are
    // left out only with Composite, and the cursor needs XFIXES.
    GrabCapabilities capabilities() const override;

    // For tests and benchmarks: grab without MIT-SHM even where the server has it.
    void setShmEnabled(bool enabled);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace fk
