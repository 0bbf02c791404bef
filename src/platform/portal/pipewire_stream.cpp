#include "platform/portal/pipewire_stream.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/errors.h"
#include "platform/portal/frame_pixels.h"

namespace fk {

namespace {

constexpr int kMaxCursor = 256;

constexpr size_t cursorMetaSize(int width, int height) {
    return sizeof(spa_meta_cursor) + sizeof(spa_meta_bitmap) + size_t(width) * size_t(height) * 4;
}

std::optional<FrameLayout> layoutOf(uint32_t format) {
    switch (format) {
        case SPA_VIDEO_FORMAT_BGRx:
        case SPA_VIDEO_FORMAT_BGRA:
            return FrameLayout::BGRx;
        case SPA_VIDEO_FORMAT_RGBx:
        case SPA_VIDEO_FORMAT_RGBA:
            return FrameLayout::RGBx;
        case SPA_VIDEO_FORMAT_xRGB:
        case SPA_VIDEO_FORMAT_ARGB:
            return FrameLayout::xRGB;
        case SPA_VIDEO_FORMAT_xBGR:
        case SPA_VIDEO_FORMAT_ABGR:
            return FrameLayout::xBGR;
        default:
            return std::nullopt;
    }
}

// The memory of one buffer's picture, mapped for as long as this lives.
class MappedData {
public:
    explicit MappedData(const spa_data& d) {
        if (d.type == SPA_DATA_MemPtr && d.data) {
            m_base = static_cast<const uint8_t*>(d.data);
        } else if (d.type == SPA_DATA_MemFd && d.fd >= 0) {
            m_size = size_t(d.mapoffset) + d.maxsize;
            m_map = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, int(d.fd), 0);
            if (m_map == MAP_FAILED)
                m_map = nullptr;
            else
                m_base = static_cast<const uint8_t*>(m_map) + d.mapoffset;
        }
    }
    ~MappedData() {
        if (m_map)
            munmap(m_map, m_size);
    }
    MappedData(const MappedData&) = delete;
    MappedData& operator=(const MappedData&) = delete;
    const uint8_t* base() const { return m_base; }

private:
    void* m_map = nullptr;
    size_t m_size = 0;
    const uint8_t* m_base = nullptr;
};

}  // namespace

struct PipeWireStream::Impl {
    Impl() { pw_init(nullptr, nullptr); }
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener{};
    spa_hook streamListener{};
    // Everything below is guarded by the thread loop's lock.
    spa_video_info_raw format{};
    std::optional<FrameLayout> layout;
    pw_buffer* held = nullptr;  // the newest frame, kept from the producer
    int64_t heldMadeNs = 0;     // when the producer made it (CLOCK_MONOTONIC)
    bool ended = false;
    std::optional<CursorImage> cursor;

    void formatChanged(const spa_pod* param);
    void process();
    void readCursor(const spa_buffer& buffer);
    static int64_t madeAt(const spa_buffer& buffer);
    bool waitUntil(timespec deadline) {
        return pw_thread_loop_timed_wait_full(loop, &deadline) == 0;
    }
    timespec deadlineIn(int ms) {
        timespec t{};
        pw_thread_loop_get_time(loop, &t, int64_t(ms) * SPA_NSEC_PER_MSEC);
        return t;
    }
    void end() {
        ended = true;
        pw_thread_loop_signal(loop, false);
    }
};

void PipeWireStream::Impl::formatChanged(const spa_pod* param) {
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (!param || spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw)
        return;
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0)
        return;
    format = info;
    layout = layoutOf(info.format);
    uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
    const spa_pod* params[3];
    params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,  //
        SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(4, 2, 16), SPA_PARAM_BUFFERS_blocks,
        SPA_POD_Int(1),  //
        SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,  //
        SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Cursor), SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(int(cursorMetaSize(64, 64)), int(cursorMetaSize(1, 1)),
                                 int(cursorMetaSize(kMaxCursor, kMaxCursor)))));
    params[2] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,  //
                                   SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
                                   SPA_PARAM_META_size, SPA_POD_Int(int(sizeof(spa_meta_header)))));
    pw_stream_update_params(stream, params, 3);
}

void PipeWireStream::Impl::readCursor(const spa_buffer& buffer) {
    const spa_meta* meta = spa_buffer_find_meta(&buffer, SPA_META_Cursor);
    if (!meta || meta->size < sizeof(spa_meta_cursor))
        return;
    const auto* c = static_cast<const spa_meta_cursor*>(meta->data);
    if (!spa_meta_cursor_is_valid(c))
        return;  // nothing new about the cursor
    CursorImage image = cursor.value_or(CursorImage{});
    image.x = c->position.x;
    image.y = c->position.y;
    if (c->bitmap_offset >= sizeof(spa_meta_cursor) &&
        c->bitmap_offset + sizeof(spa_meta_bitmap) <= meta->size) {
        const auto* bitmap = SPA_PTROFF(c, c->bitmap_offset, const spa_meta_bitmap);
        const std::optional<FrameLayout> bitmapLayout = layoutOf(bitmap->format);
        const int w = int(bitmap->size.width), h = int(bitmap->size.height);
        const size_t stride = bitmap->stride > 0 ? size_t(bitmap->stride) : size_t(w) * 4;
        const size_t end = c->bitmap_offset + size_t(bitmap->offset) + stride * size_t(h);
        if (bitmap->format != 0 && bitmap->offset == 0) {
            image.width = image.height = 0;  // the cursor is hidden
            image.pixels.clear();
        } else if (bitmapLayout && bitmap->offset >= sizeof(spa_meta_bitmap) && w > 0 && h > 0 &&
                   w <= kMaxCursor && h <= kMaxCursor && end <= meta->size) {
            const FrameView view{SPA_PTROFF(bitmap, bitmap->offset, const uint8_t), w, h, stride,
                                 *bitmapLayout};
            image.pixels = framePixelsArgb(view);
            image.width = w;
            image.height = h;
            image.hotX = c->hotspot.x;
            image.hotY = c->hotspot.y;
        }
    }
    cursor = std::move(image);
}

int64_t PipeWireStream::Impl::madeAt(const spa_buffer& buffer) {
    // Mutter stamps each frame with the monotonic time it recorded it at.
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && header->pts > 0)
        return header->pts;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * SPA_NSEC_PER_SEC + now.tv_nsec;
}

void PipeWireStream::Impl::process() {
    while (pw_buffer* b = pw_stream_dequeue_buffer(stream)) {
        readCursor(*b->buffer);
        const bool picture = b->buffer->n_datas > 0 && b->buffer->datas[0].chunk &&
                             b->buffer->datas[0].chunk->size > 0 &&
                             !(b->buffer->datas[0].chunk->flags & SPA_CHUNK_FLAG_CORRUPTED);
        // A buffer that only moves the cursor goes straight back.
        if (!picture) {
            pw_stream_queue_buffer(stream, b);
            continue;
        }
        if (held)
            pw_stream_queue_buffer(stream, held);
        held = b;
        heldMadeNs = madeAt(*b->buffer);
    }
    pw_thread_loop_signal(loop, false);
}

PipeWireStream::Impl::~Impl() {
    if (loop)
        pw_thread_loop_stop(loop);
    if (stream) {
        if (held)
            pw_stream_queue_buffer(stream, held);
        pw_stream_destroy(stream);
    }
    if (core)
        pw_core_disconnect(core);
    if (context)
        pw_context_destroy(context);
    if (loop)
        pw_thread_loop_destroy(loop);
    pw_deinit();
}

PipeWireStream::PipeWireStream(int remoteFd, uint32_t node) : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    d.loop = pw_thread_loop_new("fotokran-cast", nullptr);
    if (!d.loop) {
        close(remoteFd);
        throw EGrabError("PipeWire could not start");
    }
    static const pw_core_events coreEvents = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.error = [](void* data, uint32_t id, int, int res, const char*) {
            if (id == PW_ID_CORE || res == -EPIPE)
                static_cast<Impl*>(data)->end();
        };
        return e;
    }();
    static const pw_stream_events streamEvents = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = [](void* data, pw_stream_state, pw_stream_state state, const char*) {
            if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
                static_cast<Impl*>(data)->end();
        };
        e.param_changed = [](void* data, uint32_t id, const spa_pod* param) {
            if (id == SPA_PARAM_Format)
                static_cast<Impl*>(data)->formatChanged(param);
        };
        e.process = [](void* data) { static_cast<Impl*>(data)->process(); };
        return e;
    }();
    pw_thread_loop_lock(d.loop);
    d.context = pw_context_new(pw_thread_loop_get_loop(d.loop), nullptr, 0);
    d.core = d.context ? pw_context_connect_fd(d.context, remoteFd, nullptr, 0) : nullptr;
    if (d.core) {
        pw_core_add_listener(d.core, &d.coreListener, &coreEvents, &d);
        d.stream =
            pw_stream_new(d.core, "Fotokran",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    }
    int connected = -1;
    if (d.stream) {
        pw_stream_add_listener(d.stream, &d.streamListener, &streamEvents, &d);
        uint8_t storage[1024];
        spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof(storage));
        const spa_rectangle size{1920, 1080}, minSize{1, 1}, maxSize{16384, 16384};
        const spa_fraction rate{60, 1}, minRate{0, 1}, maxRate{1000, 1};
        const spa_pod* params[1] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,  //
            SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(
                9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_RGBx,
                SPA_VIDEO_FORMAT_xRGB, SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_BGRA,
                SPA_VIDEO_FORMAT_RGBA, SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_ABGR),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &minRate, &maxRate)))};
        connected = pw_stream_connect(d.stream, PW_DIRECTION_INPUT, node,
                                      pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT), params, 1);
    }
    const bool started = connected >= 0 && pw_thread_loop_start(d.loop) >= 0;
    pw_thread_loop_unlock(d.loop);
    if (!started) {
        if (!d.core)
            close(remoteFd);  // a core that was made owns it
        throw EGrabError("PipeWire refused the desktop's screen stream");
    }
}

PipeWireStream::~PipeWireStream() = default;

bool PipeWireStream::ended() const {
    pw_thread_loop_lock(m_impl->loop);
    const bool ended = m_impl->ended;
    pw_thread_loop_unlock(m_impl->loop);
    return ended;
}

bool PipeWireStream::copyNewest(Bitmap& into, int waitMs) {
    Impl& d = *m_impl;
    pw_thread_loop_lock(d.loop);
    const timespec deadline = d.deadlineIn(waitMs);
    while (!d.held && !d.ended && d.waitUntil(deadline)) {
    }
    bool copied = false;
    if (d.held && !d.ended && d.layout) {
        const spa_data& data = d.held->buffer->datas[0];
        const int width = int(d.format.size.width), height = int(d.format.size.height);
        const size_t stride =
            data.chunk->stride > 0 ? size_t(data.chunk->stride) : size_t(width) * 4;
        const size_t offset = data.chunk->offset;
        const MappedData mapped(data);
        if (mapped.base() && width > 0 && height > 0 &&
            offset + stride * size_t(height - 1) + size_t(width) * 4 <= data.maxsize) {
            copyFrame({mapped.base() + offset, width, height, stride, *d.layout}, into);
            copied = true;
        }
    }
    pw_thread_loop_unlock(d.loop);
    return copied;
}

bool PipeWireStream::waitForFrameSince(int64_t monotonicNs, int waitMs) {
    Impl& d = *m_impl;
    pw_thread_loop_lock(d.loop);
    const timespec deadline = d.deadlineIn(waitMs);
    const auto since = [&] { return d.held && d.heldMadeNs >= monotonicNs; };
    while (!since() && !d.ended && d.waitUntil(deadline)) {
    }
    const bool newer = since() && !d.ended;
    pw_thread_loop_unlock(d.loop);
    return newer;
}

std::optional<CursorImage> PipeWireStream::cursor() const {
    pw_thread_loop_lock(m_impl->loop);
    std::optional<CursorImage> c = m_impl->cursor;
    pw_thread_loop_unlock(m_impl->loop);
    if (c && c->pixels.empty())
        return std::nullopt;
    return c;
}

}  // namespace fk
