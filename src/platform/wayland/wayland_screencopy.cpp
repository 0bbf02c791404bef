#include "platform/wayland/wayland_screencopy.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/errors.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace fk {

// One frame object and what the compositor has said about it.
struct WaylandScreencopy::Frame {
    zwlr_screencopy_frame_v1* proxy = nullptr;
    FrameLayout shm;
    bool offered = false;     // a shared-memory buffer event came
    bool offersDone = false;  // every buffer kind has been named
    bool ready = false;
    bool failed = false;

    explicit Frame(zwlr_screencopy_frame_v1* p) : proxy(p) {
        zwlr_screencopy_frame_v1_add_listener(proxy, &kListener, this);
    }
    ~Frame() { zwlr_screencopy_frame_v1_destroy(proxy); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    static Frame& of(void* data) { return *static_cast<Frame*>(data); }
    static const zwlr_screencopy_frame_v1_listener kListener;
};

const zwlr_screencopy_frame_v1_listener WaylandScreencopy::Frame::kListener = {
    .buffer =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
           uint32_t stride) {
            Frame& f = of(data);
            f.shm = {format, int(width), int(height), int(stride), false};
            f.offered = true;
        },
    .flags =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
            of(data).shm.yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
        },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t,
                uint32_t) { of(data).ready = true; },
    .failed = [](void* data, zwlr_screencopy_frame_v1*) { of(data).failed = true; },
    .damage = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    .buffer_done = [](void* data, zwlr_screencopy_frame_v1*) { of(data).offersDone = true; },
};

WaylandScreencopy::WaylandScreencopy(WaylandConnection& connection)
    : m_connection(connection), m_pool(connection.shm()) {}

FrameLayout WaylandScreencopy::offerOf(Frame& frame) {
    // Before version 3 the shared-memory buffer is the only kind, and no end of the list is said.
    const bool listEnds = m_connection.screencopyVersion() >= 3;
    m_connection.dispatchUntil(
        [&] { return frame.failed || (listEnds ? frame.offersDone : frame.offered); });
    if (frame.failed)
        throw EGrabError("The Wayland compositor refused to copy the screen");
    if (!frame.offered)
        throw EGrabError("The Wayland compositor offers no shared-memory copy of the screen");
    if (!readableFormat(frame.shm.format)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08x", frame.shm.format);
        throw EGrabError(std::string("The Wayland compositor copies the screen in a pixel "
                                     "format this program cannot read (") +
                         code + ")");
    }
    if (frame.shm.width <= 0 || frame.shm.height <= 0 || frame.shm.stride < 4 * frame.shm.width)
        throw EGrabError("The Wayland compositor offers an empty copy of the screen");
    return frame.shm;
}

void WaylandScreencopy::copyInto(Frame& frame, const ShmBuffer& buffer, FrameLayout& layout) {
    zwlr_screencopy_frame_v1_copy(frame.proxy, buffer.buffer);
    m_connection.dispatchUntil([&] { return frame.ready || frame.failed; });
    if (frame.failed)
        throw EGrabError("The Wayland compositor could not copy the screen");
    layout.yInverted = frame.shm.yInverted;
}

void WaylandScreencopy::grabOutput(const WaylandOutput& output, CursorInGrab cursor, Bitmap& into) {
    Frame frame(zwlr_screencopy_manager_v1_capture_output(
        m_connection.screencopy(), cursor == CursorInGrab::Drawn ? 1 : 0, output.output));
    FrameLayout layout = offerOf(frame);
    if (size_t(layout.stride) != Bitmap::strideFor(layout.width, 32)) {
        // Rows with a gap after them cannot be a bitmap's own: the frame is copied out.
        const ShmBuffer& scratch =
            m_pool.scratch(layout.width, layout.height, layout.stride, layout.format);
        copyInto(frame, scratch, layout);
        into.prepare(layout.width, layout.height, PixelFormat::Device);
        copyFrame(scratch.data, layout, into, 0, 0);
        return;
    }
    const ShmBuffer* held = m_pool.bufferOf(into.adoptedMemory());
    const RowOrder order = m_yInverted ? RowOrder::BottomUp : RowOrder::TopDown;
    if (!held || !held->fits(layout.width, layout.height, layout.stride, layout.format) ||
        into.pixelFormat() != PixelFormat::Device || into.rowOrder() != order) {
        into = Bitmap();  // hands back a buffer it holds, for the take below
        const ShmBuffer taken =
            m_pool.take(layout.width, layout.height, layout.stride, layout.format);
        into.adoptMemory(layout.width, layout.height, PixelFormat::Device, order,
                         m_pool.lend(taken));
        held = m_pool.bufferOf(into.adoptedMemory());
    }
    copyInto(frame, *held, layout);
    toDeviceOrder(held->data, layout);
    if (layout.yInverted != m_yInverted) {
        // The layout changed under the bitmap: its rows are reordered once, and the next grab
        // adopts the buffer in the new order.
        m_yInverted = layout.yInverted;
        Bitmap copy(layout.width, layout.height, PixelFormat::Device);
        copyFrame(held->data, layout, copy, 0, 0);
        into = std::move(copy);
    }
}

void WaylandScreencopy::grabArea(const WaylandOutput& output, const ScreenRect& area,
                                 CursorInGrab cursor, Bitmap& into, int dx, int dy) {
    if (area.width <= 0 || area.height <= 0)
        return;
    Frame frame(zwlr_screencopy_manager_v1_capture_output_region(
        m_connection.screencopy(), cursor == CursorInGrab::Drawn ? 1 : 0, output.output, area.x,
        area.y, area.width, area.height));
    FrameLayout layout = offerOf(frame);
    const ShmBuffer& scratch =
        m_pool.scratch(layout.width, layout.height, layout.stride, layout.format);
    copyInto(frame, scratch, layout);
    copyFrame(scratch.data, layout, into, dx, dy);
}

}  // namespace fk
