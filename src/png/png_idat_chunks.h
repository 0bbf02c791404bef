#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fk {

class Stream;

namespace png {

// A 32-bit number as PNG stores it, most significant byte first.
inline void putU32be(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Cuts the compressed image data into "IDAT" chunks of exactly `limit` data bytes but the last,
// which holds the rest (never nothing). Data is written straight into the chunk buffer, which has
// room for the chunk's length, type and CRC around it; a full buffer is framed in place.
class IdatChunks {
public:
    // `expected` is what the data should come to at most: a picture whose output fits in fewer
    // bytes than the limit needs no buffer of the full limit.
    IdatChunks(Stream& out, size_t limit, size_t expected);

    uint8_t* space() { return m_buffer.data() + kHead + m_used; }
    size_t room() const { return m_capacity - m_used; }
    // `n` bytes have been written at space().
    void advance(size_t n) { m_used += n; }
    // Makes room() non-zero: widens a buffer that was made too small, or writes a full chunk.
    void makeRoom();
    void append(const uint8_t* data, size_t n);
    // Writes what the last chunk holds.
    void finish();

private:
    static constexpr size_t kHead = 8;  // length and type
    static constexpr size_t kTail = 4;  // CRC

    void emit();

    Stream& m_out;
    size_t m_limit;
    size_t m_capacity;
    size_t m_used = 0;
    std::vector<uint8_t> m_buffer;
};

}  // namespace png
}  // namespace fk
