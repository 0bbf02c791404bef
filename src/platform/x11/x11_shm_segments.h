#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <memory>
#include <optional>

#include "graphics/pixel_store.h"

namespace fk {

// A shared-memory segment attached to the display and mapped here.
struct ShmSegment {
    XShmSegmentInfo info{};
    size_t size = 0;
};

// Makes shared-memory segments for the display and lends them to bitmaps as their pixel memory,
// so that the display writes a grab straight into a bitmap's rows. A bitmap that lets its segment
// go, on whatever thread, hands it back here, and the next grab takes it again: a shot every few
// seconds makes no new segment and touches no new page. The display itself is only used from the
// thread that calls take(), detach() and the destructor.
class X11SegmentPool {
public:
    explicit X11SegmentPool(Display* dpy);
    ~X11SegmentPool();
    X11SegmentPool(const X11SegmentPool&) = delete;
    X11SegmentPool& operator=(const X11SegmentPool&) = delete;

    // A segment of at least `size` bytes: one handed back, or a new one; none when the display
    // or the system refuses shared memory. Segments handed back that are too small are detached.
    std::optional<ShmSegment> take(size_t size);
    // Detaches a segment taken and not lent.
    void detach(const ShmSegment& segment);

    // The segment as memory for a bitmap; it comes back here when the bitmap lets it go.
    std::unique_ptr<PixelMemory> lend(const ShmSegment& segment);
    // The segment under memory lent by this pool, or null for any other memory.
    const ShmSegment* segmentOf(const PixelMemory* memory) const;

private:
    struct Returns;
    class Lent;

    Display* m_dpy;
    std::shared_ptr<Returns> m_returns;  // shared with the memory lent out
};

}  // namespace fk
