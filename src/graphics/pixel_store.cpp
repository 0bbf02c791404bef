#include "graphics/pixel_store.h"

#include <utility>

namespace fk {

PixelStore& PixelStore::operator=(const PixelStore& other) {
    if (this != &other) {
        const uint8_t* from = other.data();
        m_heap.assign(from, from + other.size());
        m_adopted.reset();
        m_adoptedSize = 0;
    }
    return *this;
}

PixelStore::PixelStore(PixelStore&& other) noexcept
    : m_heap(std::move(other.m_heap)),
      m_adopted(std::move(other.m_adopted)),
      m_adoptedSize(std::exchange(other.m_adoptedSize, 0)) {
    other.m_heap.clear();
}

PixelStore& PixelStore::operator=(PixelStore&& other) noexcept {
    if (this != &other) {
        m_heap = std::move(other.m_heap);
        other.m_heap.clear();
        m_adopted = std::move(other.m_adopted);
        m_adoptedSize = std::exchange(other.m_adoptedSize, 0);
    }
    return *this;
}

void PixelStore::assign(size_t size, uint8_t value) {
    m_adopted.reset();
    m_adoptedSize = 0;
    m_heap.assign(size, value);
}

void PixelStore::adopt(std::unique_ptr<PixelMemory> memory, size_t size) {
    m_heap = {};
    m_adopted = std::move(memory);
    m_adoptedSize = m_adopted ? size : 0;
}

}  // namespace fk
