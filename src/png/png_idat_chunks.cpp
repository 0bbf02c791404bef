#include "png/png_idat_chunks.h"

#include <algorithm>
#include <cstring>

#include "base/stream.h"
#include "png/png_crc.h"

namespace fk::png {

IdatChunks::IdatChunks(Stream& out, size_t limit, size_t expected)
    : m_out(out), m_limit(limit), m_capacity(std::min(limit, std::max<size_t>(expected, 1))) {
    m_buffer.resize(kHead + m_capacity + kTail);
    std::memcpy(m_buffer.data() + 4, "IDAT", 4);
}

void IdatChunks::makeRoom() {
    if (room() > 0)
        return;
    if (m_capacity < m_limit) {
        // The estimate was too small after all: widen the buffer to the full limit.
        m_capacity = m_limit;
        m_buffer.resize(kHead + m_capacity + kTail);
        return;
    }
    emit();
    m_used = 0;
}

void IdatChunks::append(const uint8_t* data, size_t n) {
    while (n > 0) {
        makeRoom();
        const size_t piece = std::min(n, room());
        std::memcpy(space(), data, piece);
        advance(piece);
        data += piece;
        n -= piece;
    }
}

void IdatChunks::finish() {
    if (m_used > 0)
        emit();
    m_used = 0;
}

void IdatChunks::emit() {
    uint8_t* p = m_buffer.data();
    putU32be(p, uint32_t(m_used));
    putU32be(p + kHead + m_used, crc(p + 4, 4 + m_used));
    m_out.write(p, kHead + m_used + kTail);
}

}  // namespace fk::png
