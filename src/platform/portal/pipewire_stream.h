#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "graphics/bitmap.h"
#include "platform/screen_grabber.h"

namespace fk {

// One PipeWire video stream of a screen, received on PipeWire's own thread. The newest frame is
// held back from the producer until a newer one arrives, so a grab reads it where it lies; its
// memory is mapped only while a grab reads it, so an open stream costs no frame of memory.
// Only shared-memory buffers are asked for: there may be no GPU to share DMA buffers with.
class PipeWireStream {
public:
    // Connects through the remote the desktop opened for us (the descriptor is taken over) to the
    // stream's node. Throws EGrabError when PipeWire refuses.
    PipeWireStream(int remoteFd, uint32_t node);
    ~PipeWireStream();
    PipeWireStream(const PipeWireStream&) = delete;
    PipeWireStream& operator=(const PipeWireStream&) = delete;

    // The producer has ended the stream, or the connection broke.
    bool ended() const;
    // Copies the newest frame into `into`; waits up to `waitMs` for a first frame. False when
    // none came or the stream has ended.
    bool copyNewest(Bitmap& into, int waitMs);
    // Waits up to `waitMs` for a frame the producer made at `monotonicNs` (CLOCK_MONOTONIC) or
    // later, told by the frame's timestamp, or by when it came where the producer gives none;
    // false when none came.
    bool waitForFrameSince(int64_t monotonicNs, int waitMs);
    // The cursor as the producer last described it, its position within the frame.
    std::optional<CursorImage> cursor() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace fk
