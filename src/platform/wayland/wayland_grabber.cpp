#include "platform/wayland/wayland_grabber.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/errors.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_screencopy.h"

namespace fk {

namespace {

// The output at the desktop's origin, else the first one.
const WaylandOutput& primaryOutput(const WaylandConnection& connection) {
    const auto& outputs = connection.outputs();
    if (outputs.empty())
        throw EGrabError("The Wayland compositor shows no output");
    for (const auto& o : outputs)
        if (o->x == 0 && o->y == 0)
            return *o;
    return *outputs.front();
}

int logicalWidth(const WaylandOutput& o) {
    return o.logicalWidth > 0 ? o.logicalWidth : std::max(o.pixelWidth / o.scale, 1);
}
int logicalHeight(const WaylandOutput& o) {
    return o.logicalHeight > 0 ? o.logicalHeight : std::max(o.pixelHeight / o.scale, 1);
}

// The output that holds the middle of the rectangle, else the primary one.
const WaylandOutput& outputUnder(const WaylandConnection& connection, const ScreenRect& r) {
    const int cx = r.x + r.width / 2, cy = r.y + r.height / 2;
    for (const auto& o : connection.outputs())
        if (cx >= o->x && cx < o->x + logicalWidth(*o) && cy >= o->y &&
            cy < o->y + logicalHeight(*o))
            return *o;
    return primaryOutput(connection);
}

}  // namespace

struct WaylandGrabber::Impl {
    WaylandConnection connection;
    WaylandScreencopy screencopy{connection};
    std::optional<std::string> swaySocket = SwayIpc::sessionSocket();
    std::unique_ptr<SwayIpc> sway;  // opened at the first use, kept

    SwayIpc& ipc() {
        if (!sway)
            sway = std::make_unique<SwayIpc>(*swaySocket);
        return *sway;
    }
    std::string tree() { return ipc().request(SwayIpc::GetTree); }
};

std::unique_ptr<WaylandGrabber> WaylandGrabber::create() {
    auto impl = std::make_unique<Impl>();
    if (!impl->connection.screencopy() || !impl->connection.shm())
        return nullptr;
    return std::unique_ptr<WaylandGrabber>(new WaylandGrabber(std::move(impl)));
}

WaylandGrabber::WaylandGrabber(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WaylandGrabber::~WaylandGrabber() = default;

GrabCapabilities WaylandGrabber::capabilities() const {
    const bool sway = m_impl->swaySocket.has_value();
    return {.sharedMemory = true,
            .cursorImage = false,
            .cursorByDisplay = true,
            .windowFrames = sway,
            .ownWindows = OwnWindows::HiddenForGrab,
            .windowInFront = sway ? WindowInFront::Active : WindowInFront::Unsupported};
}

ScreenRect WaylandGrabber::screenRect() {
    const WaylandOutput& o = primaryOutput(m_impl->connection);
    return {o.x, o.y, o.pixelWidth, o.pixelHeight};
}

void WaylandGrabber::grabScreen(Bitmap& into) {
    m_impl->connection.check();
    if (m_excluding)
        waitUntilOwnWindowsGone();
    m_impl->screencopy.grabOutput(primaryOutput(m_impl->connection),
                                  m_cursor ? CursorInGrab::Drawn : CursorInGrab::Left, into);
}

std::optional<WindowHandle> WaylandGrabber::foregroundWindow() {
    if (!m_impl->swaySocket)
        return std::nullopt;
    const std::optional<SwayWindow> w = focusedWindow(m_impl->tree());
    if (!w)
        return std::nullopt;
    return WindowHandle(w->id);
}

ScreenRect WaylandGrabber::grabWindow(WindowHandle window, Bitmap& into) {
    if (!m_impl->swaySocket)
        throw EGrabError("This desktop does not say which window is in front");
    const std::optional<SwayWindow> w = windowById(m_impl->tree(), int64_t(window));
    if (!w || w->rect.width <= 0 || w->rect.height <= 0)
        throw EGrabError("The window has gone");
    const ScreenRect& r = w->rect;
    const WaylandOutput& o = outputUnder(m_impl->connection, r);
    const double scale = double(o.pixelWidth) / logicalWidth(o);
    const auto px = [scale](int v) { return int(std::lround(v * scale)); };
    into = Bitmap(px(r.width), px(r.height), PixelFormat::Device);  // black off the output
    const int left = std::max(r.x, o.x), top = std::max(r.y, o.y);
    const int right = std::min(r.x + r.width, o.x + logicalWidth(o));
    const int bottom = std::min(r.y + r.height, o.y + logicalHeight(o));
    if (right > left && bottom > top)
        m_impl->screencopy.grabArea(o, {left - o.x, top - o.y, right - left, bottom - top},
                                    m_cursor ? CursorInGrab::Drawn : CursorInGrab::Left, into,
                                    px(left - r.x), px(top - r.y));
    return {r.x, r.y, into.width(), into.height()};
}

void WaylandGrabber::setExcludedWindows(const std::vector<WindowHandle>& windows) {
    m_excluding = !windows.empty();
}

void WaylandGrabber::waitUntilOwnWindowsGone() {
    if (!m_impl->swaySocket) {
        // No window tree to look at: what the toolkit has sent is handled before this grab's
        // request, as far as the compositor reads its clients in the order they wrote.
        m_impl->connection.roundtrip();
        return;
    }
    // Window events wake the wait; the tree says when ours have gone.
    SwayIpc events(*m_impl->swaySocket);
    events.request(SwayIpc::Subscribe, R"(["window"])");
    const int64_t pid = getpid();
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(SwayIpc::kTimeoutMs);
    while (processShowsWindow(m_impl->tree(), pid)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw EGrabError("The program's windows did not leave the screen for the picture");
        events.waitForEvent(int(left.count()));
    }
}

}  // namespace fk
