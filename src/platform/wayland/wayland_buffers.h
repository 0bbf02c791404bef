#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "graphics/pixel_store.h"

struct wl_buffer;
struct wl_shm;

namespace fk {

// A shared-memory buffer the compositor can copy a frame into, mapped here.
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    uint8_t* data = nullptr;
    size_t size = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint32_t format = 0;  // wl_shm format code

    bool fits(int w, int h, int s, uint32_t f) const {
        return width == w && height == h && stride == s && format == f;
    }
};

// Makes shared-memory buffers and lends them to bitmaps as their pixel memory, so that the
// compositor copies a frame straight into a bitmap's rows. A bitmap that lets its buffer go, on
// whatever thread, hands it back, and the next grab of the same shape takes it again: repeated
// grabs make no new buffer and touch no new page. The compositor's objects are only made and
// destroyed on the thread that grabs.
class WaylandBufferPool {
public:
    explicit WaylandBufferPool(wl_shm* shm);
    ~WaylandBufferPool();
    WaylandBufferPool(const WaylandBufferPool&) = delete;
    WaylandBufferPool& operator=(const WaylandBufferPool&) = delete;

    // A buffer of this shape: one handed back, or a new one. Throws EGrabError when the system
    // gives no shared memory.
    ShmBuffer take(int width, int height, int stride, uint32_t format);
    // The buffer as memory for a bitmap; it comes back here when the bitmap lets it go.
    std::unique_ptr<PixelMemory> lend(const ShmBuffer& buffer);
    // The buffer under memory lent by this pool, or null for any other memory.
    const ShmBuffer* bufferOf(const PixelMemory* memory) const;
    // A buffer kept here for copies that no bitmap adopts (parts of the screen).
    const ShmBuffer& scratch(int width, int height, int stride, uint32_t format);

private:
    struct Returns;
    class Lent;
    void destroy(const ShmBuffer& buffer);

    wl_shm* m_shm;
    std::shared_ptr<Returns> m_returns;  // shared with the memory lent out
    std::optional<ShmBuffer> m_scratch;
};

}  // namespace fk
