#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/screen_grabber.h"

namespace fk {

// Grabs on a wlroots compositor (sway, Hyprland, river, labwc, Wayfire) through its screen-copy
// protocol into shared memory: the whole output with the cursor drawn in by the compositor when
// asked, and, where the compositor speaks i3's IPC (sway), the focused window cropped from a copy
// of its place. The program's own windows cannot be left out while they show: screen grabs wait
// until the compositor shows none of them, once the program has hidden them.
class WaylandGrabber final : public ScreenGrabber {
public:
    // Nothing when the compositor has no screen-copy protocol; throws EGrabError when there is
    // no compositor to speak to.
    static std::unique_ptr<WaylandGrabber> create();
    ~WaylandGrabber() override;

    GrabCapabilities capabilities() const override;
    // The output at the desktop's origin (else the first): its logical position, its size in
    // pixels.
    ScreenRect screenRect() override;
    void grabScreen(Bitmap& into) override;
    std::optional<WindowHandle> foregroundWindow() override;
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override;
    std::optional<CursorImage> cursor() override { return std::nullopt; }
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override;
    void setCursorInGrabs(bool on) override { m_cursor = on; }

private:
    struct Impl;
    explicit WaylandGrabber(std::unique_ptr<Impl> impl);
    // Returns once the compositor's window tree shows no window of this process, or after a
    // bound; where there is no such tree, once the compositor has handled what it was sent.
    void waitUntilOwnWindowsGone();

    std::unique_ptr<Impl> m_impl;
    bool m_cursor = false;
    bool m_excluding = false;
};

}  // namespace fk
