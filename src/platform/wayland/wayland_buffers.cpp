#include "platform/wayland/wayland_buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/errors.h"

namespace fk {

// What bitmaps have handed back since the last take. Once the pool has gone, a buffer handed back
// is only unmapped: its compositor object went with the connection.
struct WaylandBufferPool::Returns {
    std::mutex mutex;
    bool open = true;
    std::vector<ShmBuffer> buffers;
};

class WaylandBufferPool::Lent final : public PixelMemory {
public:
    Lent(std::shared_ptr<Returns> returns, const ShmBuffer& buffer)
        : m_returns(std::move(returns)), m_buffer(buffer) {}
    ~Lent() override {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        if (m_returns->open) {
            try {
                m_returns->buffers.push_back(m_buffer);
                return;
            } catch (...) {
                // No room to remember it: only the mapping goes.
            }
        }
        munmap(m_buffer.data, m_buffer.size);
    }
    uint8_t* data() override { return m_buffer.data; }
    size_t size() const override { return m_buffer.size; }

    const ShmBuffer& buffer() const { return m_buffer; }
    const Returns* returns() const { return m_returns.get(); }

private:
    std::shared_ptr<Returns> m_returns;
    ShmBuffer m_buffer;
};

WaylandBufferPool::WaylandBufferPool(wl_shm* shm)
    : m_shm(shm), m_returns(std::make_shared<Returns>()) {}

WaylandBufferPool::~WaylandBufferPool() {
    std::vector<ShmBuffer> back;
    {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        m_returns->open = false;
        back.swap(m_returns->buffers);
    }
    for (const ShmBuffer& b : back)
        destroy(b);
    if (m_scratch)
        destroy(*m_scratch);
}

void WaylandBufferPool::destroy(const ShmBuffer& buffer) {
    wl_buffer_destroy(buffer.buffer);
    munmap(buffer.data, buffer.size);
}

ShmBuffer WaylandBufferPool::take(int width, int height, int stride, uint32_t format) {
    std::vector<ShmBuffer> back;
    {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        back.swap(m_returns->buffers);
    }
    std::optional<ShmBuffer> found;
    for (const ShmBuffer& b : back) {
        if (!found && b.fits(width, height, stride, format))
            found = b;
        else
            destroy(b);
    }
    if (found)
        return *found;

    ShmBuffer made{nullptr, nullptr, size_t(stride) * size_t(height), width, height,
                   stride,  format};
    const int fd = memfd_create("fotokran-grab", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(made.size)) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        throw EGrabError("No shared memory for a grab of " + std::to_string(made.size) +
                         " bytes: " + reason);
    }
    void* address = mmap(nullptr, made.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        const std::string reason = std::strerror(errno);
        close(fd);
        throw EGrabError("Cannot map shared memory for a grab: " + reason);
    }
    made.data = static_cast<uint8_t*>(address);
    wl_shm_pool* pool = wl_shm_create_pool(m_shm, fd, int32_t(made.size));
    made.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);  // the buffer keeps what it needs of it
    close(fd);
    return made;
}

std::unique_ptr<PixelMemory> WaylandBufferPool::lend(const ShmBuffer& buffer) {
    try {
        return std::make_unique<Lent>(m_returns, buffer);
    } catch (...) {
        destroy(buffer);
        throw;
    }
}

const ShmBuffer* WaylandBufferPool::bufferOf(const PixelMemory* memory) const {
    const auto* lent = dynamic_cast<const Lent*>(memory);
    return lent && lent->returns() == m_returns.get() ? &lent->buffer() : nullptr;
}

const ShmBuffer& WaylandBufferPool::scratch(int width, int height, int stride, uint32_t format) {
    if (m_scratch && m_scratch->fits(width, height, stride, format))
        return *m_scratch;
    if (m_scratch)
        destroy(*std::exchange(m_scratch, std::nullopt));
    m_scratch = take(width, height, stride, format);
    return *m_scratch;
}

}  // namespace fk
