#pragma once

#include <cstdint>

struct wl_display;

namespace fk {

// A Wayland connection of our own to the session's compositor, made at the first use and kept,
// only to learn when the compositor has read what the toolkit sent before: it reads its clients
// in the order their requests came, so once it answers a round trip here it has also handled
// the toolkit's requests written out earlier (our windows hidden).
class CompositorSync {
public:
    CompositorSync() = default;
    ~CompositorSync();
    CompositorSync(const CompositorSync&) = delete;
    CompositorSync& operator=(const CompositorSync&) = delete;

    // A round trip, at most `waitMs`; returns the CLOCK_MONOTONIC time in nanoseconds when the
    // answer came, or the time of the call when there is no compositor to ask or it did not
    // answer in time.
    int64_t roundTrip(int waitMs);

private:
    wl_display* m_display = nullptr;
    bool m_tried = false;
};

}  // namespace fk
