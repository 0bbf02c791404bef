#include "platform/platform_loader.h"

#include "platform/errors.h"

#ifdef FOTOKRAN_HAVE_X11
#include "platform/x11/x11_grabber.h"
#endif

namespace fk {

namespace {

class NoDisplayGrabber final : public ScreenGrabber {
public:
    explicit NoDisplayGrabber(std::string reason) : m_reason(std::move(reason)) {}
    ScreenRect screenRect() override { return {}; }
    void grabScreen(Bitmap&) override { throw EGrabError(m_reason); }
    std::optional<WindowHandle> foregroundWindow() override { return std::nullopt; }
    ScreenRect grabWindow(WindowHandle, Bitmap&) override { throw EGrabError(m_reason); }
    std::optional<CursorImage> cursor() override { return std::nullopt; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

private:
    std::string m_reason;
};

}  // namespace

std::unique_ptr<ScreenGrabber> createScreenGrabber() {
#ifdef FOTOKRAN_HAVE_X11
    try {
        return std::make_unique<X11Grabber>();
    } catch (const EGrabError& e) {
        return std::make_unique<NoDisplayGrabber>(e.what());
    }
#else
    return std::make_unique<NoDisplayGrabber>("This build has no X11 support");
#endif
}

}  // namespace fk
