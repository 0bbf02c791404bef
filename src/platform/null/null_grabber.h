#pragma once

#include <string>

#include "platform/screen_grabber.h"

namespace fk {

// Where there is no display to take pictures of: every grab reports why.
class NoDisplayGrabber final : public ScreenGrabber {
public:
    explicit NoDisplayGrabber(std::string reason) : m_reason(std::move(reason)) {}
    ScreenRect screenRect() override { return {}; }
    void grabScreen(Bitmap&) override;
    std::optional<WindowHandle> foregroundWindow() override { return std::nullopt; }
    ScreenRect grabWindow(WindowHandle, Bitmap&) override;
    std::optional<CursorImage> cursor() override { return std::nullopt; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

private:
    std::string m_reason;
};

}  // namespace fk
