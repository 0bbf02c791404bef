#include "gif/lzw_encoder.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_messages.h"

namespace fk {

namespace {

// The last code the string table hands out; 4095 is never used.
constexpr uint32_t kLastCode = 4094;

}  // namespace

THashTable::THashTable() : m_slots(new uint32_t[kSlots]) {
    Clear();
}

void THashTable::Clear() {
    std::fill_n(m_slots.get(), kSlots, kEmpty);
}

bool THashTable::StoreCode(uint32_t key, uint32_t code) {
    int slot = KeyHash(key);
    for (int probes = 0; probes < kMaxProbes; ++probes) {
        if ((m_slots[slot] >> 12) == (kEmpty >> 12)) {
            m_slots[slot] = (key << 12) | (code & 0xFFF);
            return true;
        }
        slot = NextProbe(slot);
    }
    return false;
}

size_t TGIFStream::read(void*, size_t) {
    throw GIFException(gif_text::kInvalidStreamOperation);
}

void TGIFStream::write(const void*, size_t) {
    throw GIFException(gif_text::kInvalidStreamOperation);
}

uint64_t TGIFStream::position() const {
    throw GIFException(gif_text::kInvalidStreamOperation);
}

void TGIFStream::seek(uint64_t) {
    throw GIFException(gif_text::kInvalidStreamOperation);
}

uint64_t TGIFStream::size() const {
    throw GIFException(gif_text::kInvalidStreamOperation);
}

void TGIFWriter::write(const void* buffer, size_t n) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (n > 0) {
        size_t k = std::min(n, sizeof(m_buffer) - m_fill);
        std::memcpy(m_buffer + m_fill, p, k);
        m_fill += k;
        p += k;
        n -= k;
        if (m_fill == sizeof(m_buffer))
            FlushBlock();
    }
}

void TGIFWriter::FlushBlock() {
    m_buffer[0] = uint8_t(m_fill - 1);
    size_t n = m_fill;
    m_fill = 1;
    m_target.write(m_buffer, n);
}

void TGIFEncoder::colorNotInTable() {
    throw GIFException(gif_text::kColorNotInTable);
}

template <typename Row>
void TGIFEncoder::walkPixels(Row&& row) const {
    if (!m_interlace) {
        row(m_pixels, size_t(m_width) * size_t(m_height));
        return;
    }
    static constexpr int kFirstRow[4] = {0, 4, 2, 1};
    static constexpr int kRowStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int r = kFirstRow[pass]; r < m_height; r += kRowStep[pass])
            row(m_pixels + size_t(r) * size_t(m_width), size_t(m_width));
}

void TGIFEncoder::EncodeFrameData(Stream& stream, int codeBits, int colorCount,
                                  const uint8_t* pixels, bool interlace, int height, int width) {
    // Pixels are bytes, so eight bits always suffice; a 1-bit map still needs code size 2.
    m_codeSize = std::clamp(codeBits, 2, 8);
    m_colorCount = colorCount;
    m_pixels = pixels;
    m_interlace = interlace;
    m_height = height;
    m_width = width;

    const uint8_t codeSizeByte = uint8_t(m_codeSize);
    stream.write(&codeSizeByte, 1);

    m_initialCodeWidth = m_codeSize + 1;
    m_codeWidth = m_initialCodeWidth;
    m_largestCode = (1u << m_codeWidth) - 1;
    m_clearCode = 1u << m_codeSize;
    m_endCode = m_clearCode + 1;
    m_accumulator = 0;
    m_pendingBits = 0;
    m_clearPending = false;

    TGIFWriter writer(stream);
    m_writer = &writer;
    try {
        if (pixels != nullptr && height > 0 && width > 0)
            EncodePixels();
        EmitCode(m_endCode);
    } catch (...) {
        // What was coded so far still reaches the stream; the error that stopped us is the one
        // to report.
        m_writer = nullptr;
        try {
            writer.finish();
        } catch (...) {
        }
        throw;
    }
    m_writer = nullptr;
    writer.finish();

    const uint8_t terminator = 0;
    stream.write(&terminator, 1);
}

void TGIFEncoder::EmitCode(uint32_t code) {
    putBits(code);
    if (code == m_endCode) {
        while (m_pendingBits > 0) {
            m_writer->putByte(uint8_t(m_accumulator));
            m_accumulator >>= 8;
            m_pendingBits -= 8;
        }
        m_pendingBits = 0;
        m_accumulator = 0;
    }
}

void TGIFEncoder::Restart() {
    m_clearPending = true;
    EmitCode(m_clearCode);
}

void TLZWEncoder::adjustWidth() {
    if (m_clearPending) {
        m_codeWidth = m_initialCodeWidth;
        m_largestCode = (1u << m_initialCodeWidth) - 1;
        m_clearPending = false;
    } else {
        ++m_codeWidth;
        // Codes stop at 4094, so the width never has to pass 12 bits.
        m_largestCode = m_codeWidth == 12 ? 4096 : (1u << m_codeWidth) - 1;
    }
}

void TLZWEncoder::EmitCode(uint32_t code) {
    TGIFEncoder::EmitCode(code);
    // A code sent while the next free code has just passed the largest still goes out at the old
    // width; the width grows after it, in step with the decoder.
    if (m_nextCode > m_largestCode || m_clearPending)
        adjustWidth();
}

void TLZWEncoder::Restart() {
    TGIFEncoder::Restart();
    m_table->Clear();
    m_nextCode = m_clearCode + 2;
}

void TLZWEncoder::EncodePixels() {
    m_table = std::make_unique<THashTable>();
    Restart();

    THashTable& table = *m_table;
    const uint32_t colorCount = uint32_t(std::max(m_colorCount, 0));
    bool first = true;
    uint32_t prefix = 0;
    walkPixels([&](const uint8_t* p, size_t n) {
        size_t i = 0;
        if (first) {
            prefix = p[0];
            if (prefix >= colorCount)
                colorNotInTable();
            first = false;
            i = 1;
        }
        for (; i < n; ++i) {
            const uint32_t c = p[i];
            if (c >= colorCount)
                colorNotInTable();
            const uint32_t key = (prefix << 8) | c;
            const int found = table.FindCode(key);
            if (found >= 0) {
                prefix = uint32_t(found);
                continue;
            }
            EmitCode(prefix);
            prefix = c;
            if (m_nextCode > kLastCode) {
                Restart();
            } else {
                table.StoreCode(key, m_nextCode);
                ++m_nextCode;
            }
        }
    });
    EmitCode(prefix);
    m_table.reset();
}

void TRLEEncoder::EncodePixels() {
    // After a clear the decoder adds one string per code but the first; stopping three short of
    // the next power of two keeps it at the initial width, with a margin for lenient decoders.
    const int perClear = std::max(1, (1 << m_codeSize) - 3);
    const uint32_t colorCount = uint32_t(std::max(m_colorCount, 0));
    int sinceClear = perClear;
    walkPixels([&](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const uint32_t c = p[i];
            if (c >= colorCount)
                colorNotInTable();
            if (sinceClear == perClear) {
                Restart();
                sinceClear = 0;
            }
            EmitCode(c);
            ++sinceClear;
        }
    });
}

}  // namespace fk
