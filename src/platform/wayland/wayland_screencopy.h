#pragma once

#include "graphics/bitmap.h"
#include "platform/screen_grabber.h"
#include "platform/wayland/wayland_buffers.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_pixels.h"

struct zwlr_screencopy_frame_v1;

namespace fk {

enum class CursorInGrab { Left, Drawn };

// Copies of an output's next frame through the wlroots screen-copy protocol, into shared memory.
class WaylandScreencopy {
public:
    // The connection must offer the protocol.
    explicit WaylandScreencopy(WaylandConnection& connection);

    // The next frame of the whole output, written by the compositor straight into the rows of
    // `into` (Device format), which keeps the buffer for the next grab of the same size.
    void grabOutput(const WaylandOutput& output, CursorInGrab cursor, Bitmap& into);
    // The next frame of `area` (the output's logical coordinates, within it), copied into `into`
    // with its top left at (dx, dy) of it.
    void grabArea(const WaylandOutput& output, const ScreenRect& area, CursorInGrab cursor,
                  Bitmap& into, int dx, int dy);

private:
    struct Frame;
    // Waits until the frame has said which shared-memory buffer it takes.
    FrameLayout offerOf(Frame& frame);
    // Copies the frame into the buffer and waits until it is there.
    void copyInto(Frame& frame, const ShmBuffer& buffer, FrameLayout& layout);

    WaylandConnection& m_connection;
    WaylandBufferPool m_pool;
    bool m_yInverted = false;  // as the last frame came: the next one is laid out alike
};

}  // namespace fk
