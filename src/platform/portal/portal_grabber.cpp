#include "platform/portal/portal_grabber.h"

#include "platform/portal/frame_pixels.h"

namespace fk {

namespace {

// A first start may wait for the user to answer the desktop's question.
constexpr int kAnswerWaitMs = 3 * 60 * 1000;
constexpr int kFirstFrameWaitMs = 3000;
constexpr int kScreenshotWaitMs = 60 * 1000;
constexpr int kPickWaitMs = 5 * 60 * 1000;
// The frame after the program's windows were hidden; none comes when none of them showed, or
// when the desktop had faded them out sooner.
constexpr int kFrameWithoutUsMs = 1000;
// A desktop fades a window out as it closes: GNOME Shell in 150 ms.
constexpr int64_t kFadeOutNs = 150 * 1000 * 1000;
constexpr WindowHandle kPickedWindow = 1;

}  // namespace

PortalGrabber::PortalGrabber(PortalDesktop desktop, RestoreToken token)
    : m_desktop(desktop),
      m_cast(std::make_unique<ScreenCast>(std::move(token))),
      m_kwinGranted(desktop == PortalDesktop::Kde && kwinScreenshotOffered()) {
    // Where KWin takes the pictures, the screen is shared only once it turns out not to grant them.
    if (!m_kwinGranted)
        m_cast->start();
}

PortalGrabber::~PortalGrabber() = default;

GrabCapabilities PortalGrabber::capabilities() const {
    GrabCapabilities c;
    c.sharedMemory = m_cast->state() == ScreenCast::State::Streaming;
    c.cursorImage = c.sharedMemory && m_cast->cursorApart();
    c.windowFrames = m_kwinGranted;
    c.cursorByDisplay = m_kwinGranted;
    c.ownWindows = OwnWindows::HiddenForGrab;
    c.windowInFront = m_kwinGranted ? WindowInFront::Active : WindowInFront::PickedByUser;
    return c;
}

ScreenRect PortalGrabber::keep(const QImage& picture, Bitmap& into) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    copyFrame(
        {rgb.constBits(), rgb.width(), rgb.height(), size_t(rgb.bytesPerLine()), FrameLayout::BGRx},
        into);
    m_lastFromStream = false;
    return {0, 0, rgb.width(), rgb.height()};
}

bool PortalGrabber::grabFromStream(Bitmap& into) {
    if (m_cast->state() == ScreenCast::State::Ended)
        m_cast->start();  // the user stopped sharing; the kept permission starts it again
    if (m_cast->state() == ScreenCast::State::Starting)
        m_cast->waitUntilStreaming(kAnswerWaitMs);
    PipeWireStream* stream = m_cast->stream();
    if (!stream)
        return false;
    // Every frame the compositor made before it handled the hiding shows the windows the caller
    // just hid, and so do those made while it fades them out.
    if (m_excluding)
        stream->waitForFrameSince(m_compositor.roundTrip(kFrameWithoutUsMs) + kFadeOutNs,
                                  kFrameWithoutUsMs);
    if (!stream->copyNewest(into, kFirstFrameWaitMs))
        return false;
    const ScreenRect monitor = m_cast->rect();
    m_lastRect = {monitor.x, monitor.y, into.width(), into.height()};
    m_lastFromStream = true;
    return true;
}

bool PortalGrabber::grabFromKWin(KWinShot what, Bitmap& into) {
    if (!m_kwinGranted)
        return false;
    try {
        m_lastRect = keep(
            kwinScreenshot(what, m_cursorInGrabs ? CursorInShot::Drawn : CursorInShot::Left), into);
        return true;
    } catch (const EKWinNotGranted&) {
        m_kwinGranted = false;
        m_cast->start();
        return false;
    }
}

void PortalGrabber::grabScreen(Bitmap& into) {
    if (grabFromKWin(KWinShot::Workspace, into) || grabFromStream(into))
        return;
    if (const std::optional<QImage> shot =
            portalScreenshot(ScreenshotPick::WholeScreen, kScreenshotWaitMs))
        m_lastRect = keep(*shot, into);
}

std::optional<WindowHandle> PortalGrabber::foregroundWindow() {
    m_picked.reset();
    Bitmap window;
    if (grabFromKWin(KWinShot::ActiveWindow, window)) {
        m_picked = std::move(window);
        return kPickedWindow;
    }
    std::optional<QImage> shot = portalScreenshot(ScreenshotPick::ByUser, kPickWaitMs);
    if (!shot)
        return std::nullopt;
    keep(*shot, window);
    m_picked = std::move(window);
    return kPickedWindow;
}

ScreenRect PortalGrabber::grabWindow(WindowHandle window, Bitmap& into) {
    if (window != kPickedWindow || !m_picked)
        throw EGrabError("The window is no longer there");
    into = std::move(*m_picked);
    m_picked.reset();
    m_lastFromStream = false;
    m_lastRect = {0, 0, into.width(), into.height()};
    return m_lastRect;
}

std::optional<CursorImage> PortalGrabber::cursor() {
    PipeWireStream* stream = m_lastFromStream ? m_cast->stream() : nullptr;
    std::optional<CursorImage> c = stream ? stream->cursor() : std::nullopt;
    if (c) {
        c->x += m_cast->rect().x;
        c->y += m_cast->rect().y;
    }
    return c;
}

void PortalGrabber::setExcludedWindows(const std::vector<WindowHandle>& windows) {
    m_excluding = !windows.empty();
}

}  // namespace fk
