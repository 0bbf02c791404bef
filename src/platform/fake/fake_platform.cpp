#include "platform/fake/fake_platform.h"

#include "platform/errors.h"

namespace fk {

void FakeGrabber::grabScreen(Bitmap& into) {
    if (into.width() == screen.width && into.height() == screen.height &&
        into.pixelFormat() == PixelFormat::Device)
        ++grabsIntoReadyBitmap;
    into.prepare(screen.width, screen.height, PixelFormat::Device);
    if (painter)
        painter(screenGrabs, into);
    else
        into.fill(screenColor);
    ++screenGrabs;
}

ScreenRect FakeGrabber::grabWindow(WindowHandle window, Bitmap& into) {
    ++windowGrabs;
    auto it = windows.find(window);
    if (it == windows.end() || it->second.vanished)
        throw EGrabError("The window in front closed before it could be captured");
    into = it->second.picture;
    return it->second.rect;
}

void FakeEventPump::processEventsFor(int64_t maxWaitMs) {
    ++waits;
    const int64_t deadline = m_clock.now + maxWaitMs;
    // Events due now run first; then time moves to the next event or to the deadline.
    for (;;) {
        auto it = m_events.begin();
        if (it == m_events.end() || it->first > deadline)
            break;
        if (it->first > m_clock.now) {
            waitedMs += it->first - m_clock.now;
            m_clock.now = it->first;
        }
        auto event = std::move(it->second);
        m_events.erase(it);
        event();  // may wait itself, nested
        if (m_clock.now >= deadline)
            return;
    }
    if (deadline > m_clock.now) {
        waitedMs += deadline - m_clock.now;
        m_clock.now = deadline;
    }
}

}  // namespace fk
