#include "platform/portal/compositor_sync.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace fk {

namespace {

int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

CompositorSync::~CompositorSync() {
    if (m_display)
        wl_display_disconnect(m_display);
}

int64_t CompositorSync::roundTrip(int waitMs) {
    const int64_t start = nowNs();
    if (!m_tried) {
        m_tried = true;
        if (std::getenv("WAYLAND_DISPLAY"))
            m_display = wl_display_connect(nullptr);
    }
    if (!m_display)
        return start;
    bool done = false;
    wl_callback* callback = wl_display_sync(m_display);
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(callback, &listener, &done);
    const int64_t deadline = start + int64_t(waitMs) * 1000000;
    bool broken = false;
    while (!broken) {
        // Nothing else is queued on this connection, so the reading never waits for others.
        while (wl_display_prepare_read(m_display) != 0)
            wl_display_dispatch_pending(m_display);
        if (done) {
            wl_display_cancel_read(m_display);
            break;
        }
        const int64_t left = deadline - nowNs();
        pollfd p{wl_display_get_fd(m_display), POLLIN, 0};
        int ready = -1;
        if (wl_display_flush(m_display) >= 0 && left > 0) {
            ready = poll(&p, 1, int(left / 1000000) + 1);
            if (ready < 0 && errno == EINTR)
                ready = 0;
        }
        if (ready <= 0) {
            wl_display_cancel_read(m_display);
            broken = ready < 0 || deadline <= nowNs();
            continue;
        }
        broken = wl_display_read_events(m_display) < 0;
    }
    wl_callback_destroy(callback);
    if (broken) {
        // A compositor that does not answer is not asked again.
        wl_display_disconnect(m_display);
        m_display = nullptr;
        return start;
    }
    return nowNs();
}

}  // namespace fk
