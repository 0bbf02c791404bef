#include "platform/x11/x11_shm_segments.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <mutex>
#include <utility>
#include <vector>

#include "platform/x11/x11_error_trap.h"

namespace fk {

// What bitmaps have handed back since the last take. Once the pool has gone, a segment handed
// back is only unmapped: closing the display has detached it on the server.
struct X11SegmentPool::Returns {
    std::mutex mutex;
    bool open = true;
    std::vector<ShmSegment> segments;
};

class X11SegmentPool::Lent final : public PixelMemory {
public:
    Lent(std::shared_ptr<Returns> returns, const ShmSegment& segment)
        : m_returns(std::move(returns)), m_segment(segment) {}
    ~Lent() override {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        if (m_returns->open) {
            try {
                m_returns->segments.push_back(m_segment);
                return;
            } catch (...) {
                // No room to remember it: it stays attached until the display closes.
            }
        }
        shmdt(m_segment.info.shmaddr);
    }
    uint8_t* data() override { return reinterpret_cast<uint8_t*>(m_segment.info.shmaddr); }
    size_t size() const override { return m_segment.size; }

    const ShmSegment& segment() const { return m_segment; }
    const Returns* returns() const { return m_returns.get(); }

private:
    std::shared_ptr<Returns> m_returns;
    ShmSegment m_segment;
};

X11SegmentPool::X11SegmentPool(Display* dpy) : m_dpy(dpy), m_returns(std::make_shared<Returns>()) {}

X11SegmentPool::~X11SegmentPool() {
    std::vector<ShmSegment> back;
    {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        m_returns->open = false;
        back.swap(m_returns->segments);
    }
    for (const ShmSegment& s : back)
        detach(s);
}

std::optional<ShmSegment> X11SegmentPool::take(size_t size) {
    std::vector<ShmSegment> back;
    {
        const std::lock_guard<std::mutex> lock(m_returns->mutex);
        back.swap(m_returns->segments);
    }
    std::optional<ShmSegment> found;
    for (const ShmSegment& s : back) {
        if (!found && s.size >= size)
            found = s;
        else
            detach(s);
    }
    if (found)
        return found;

    ShmSegment made;
    made.info.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (made.info.shmid < 0)
        return std::nullopt;
    void* address = shmat(made.info.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(made.info.shmid, IPC_RMID, nullptr);
        return std::nullopt;
    }
    made.info.shmaddr = static_cast<char*>(address);
    made.info.readOnly = False;
    made.size = size;
    X11ErrorTrap trap(m_dpy);
    const bool attached = XShmAttach(m_dpy, &made.info) && !trap.failed();
    // Marked for removal now: the segment goes away with the last detach, also on a crash.
    shmctl(made.info.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(address);
        return std::nullopt;
    }
    return made;
}

void X11SegmentPool::detach(const ShmSegment& segment) {
    XShmSegmentInfo info = segment.info;
    {
        X11ErrorTrap trap(m_dpy);
        XShmDetach(m_dpy, &info);
        trap.failed();  // the server detaches before the memory goes
    }
    shmdt(info.shmaddr);
}

std::unique_ptr<PixelMemory> X11SegmentPool::lend(const ShmSegment& segment) {
    try {
        return std::make_unique<Lent>(m_returns, segment);
    } catch (...) {
        detach(segment);
        throw;
    }
}

const ShmSegment* X11SegmentPool::segmentOf(const PixelMemory* memory) const {
    const auto* lent = dynamic_cast<const Lent*>(memory);
    return lent && lent->returns() == m_returns.get() ? &lent->segment() : nullptr;
}

}  // namespace fk
