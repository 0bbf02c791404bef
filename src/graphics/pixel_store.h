#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace fk {

// Memory for a bitmap's rows that the bitmap does not allocate itself, for example a shared-memory
// segment that the display writes a grab into. Whoever holds it frees it by destroying it, on any
// thread.
class PixelMemory {
public:
    virtual ~PixelMemory() = default;
    virtual uint8_t* data() = 0;
    virtual size_t size() const = 0;
};

// The bytes of a bitmap's rows: on the heap, or in memory handed over to it. A copy is always a
// heap copy, so two bitmaps never share pixels.
class PixelStore {
public:
    PixelStore() = default;
    PixelStore(const PixelStore& other) : m_heap(other.data(), other.data() + other.size()) {}
    PixelStore& operator=(const PixelStore& other);
    PixelStore(PixelStore&& other) noexcept;
    PixelStore& operator=(PixelStore&& other) noexcept;

    uint8_t* data() { return m_adopted ? m_adopted->data() : m_heap.data(); }
    const uint8_t* data() const { return const_cast<PixelStore*>(this)->data(); }
    size_t size() const { return m_adopted ? m_adoptedSize : m_heap.size(); }

    // `size` bytes of `value` on the heap; handed-over memory is given up.
    void assign(size_t size, uint8_t value);
    // Uses the first `size` bytes of `memory` (which must hold as many) from now on.
    void adopt(std::unique_ptr<PixelMemory> memory, size_t size);
    PixelMemory* adopted() const { return m_adopted.get(); }

private:
    std::vector<uint8_t> m_heap;
    std::unique_ptr<PixelMemory> m_adopted;
    size_t m_adoptedSize = 0;
};

}  // namespace fk
