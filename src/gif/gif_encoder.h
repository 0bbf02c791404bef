#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/stream.h"
#include "gif/gif_base.h"

namespace fk {

// A stream adaptor over another stream that only passes writes on.
class TGIFStream : public Stream {
public:
    explicit TGIFStream(Stream& target) : m_target(target) {}

    size_t read(void* buffer, size_t n) override;
    void write(const void* buffer, size_t n) override;
    uint64_t position() const override;
    void seek(uint64_t position) override;
    uint64_t size() const override;

protected:
    Stream& m_target;
};

// Cuts the bytes written to it into data sub-blocks (a length byte and 1 to 255 bytes).
class TGIFWriter final : public TGIFStream {
public:
    explicit TGIFWriter(Stream& target) : TGIFStream(target) {}

    void write(const void* buffer, size_t n) override;
    void putByte(uint8_t b) {
        m_buffer[m_fill++] = b;
        if (m_fill == sizeof(m_buffer))
            FlushBlock();
    }
    // Four bytes, lowest first.
    void put4(uint32_t v) {
        if (m_fill + 4 < sizeof(m_buffer)) {
            m_buffer[m_fill] = uint8_t(v);
            m_buffer[m_fill + 1] = uint8_t(v >> 8);
            m_buffer[m_fill + 2] = uint8_t(v >> 16);
            m_buffer[m_fill + 3] = uint8_t(v >> 24);
            m_fill += 4;
            return;
        }
        for (int i = 0; i < 4; ++i, v >>= 8)
            putByte(uint8_t(v));
    }
    void FlushBlock();
    // Writes out the last, partly filled sub-block.
    void finish() {
        if (m_fill > 1)
            FlushBlock();
    }

private:
    uint8_t m_buffer[256];
    size_t m_fill = 1;  // the first byte is kept for the length
};

// Writes the image data of one frame: the code size byte, the codes in sub-blocks, the terminator.
class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;

    // `pixels` holds width * height colour indexes, top row first; each must be below colorCount.
    void EncodeFrameData(Stream& stream, int codeBits, int colorCount, const uint8_t* pixels,
                         bool interlace, int height, int width);

protected:
    virtual void EmitCode(uint32_t code) {
        putBits(code);
        if (code == m_endCode)
            flushBits(true);
    }
    virtual void Restart();
    virtual void EncodePixels() = 0;

    // Writes the code size byte and sets up the coding state and the sub-block packer.
    void startFrame(Stream& stream, int codeBits, int colorCount, const uint8_t* pixels,
                    bool interlace, int height, int width);
    // The end code, the last sub-block and the terminator.
    void finishFrame();
    // After an error: what was coded so far still reaches the stream, without a terminator.
    void abandonFrame() noexcept;

    // Calls `row(first, count)` for each run of pixels in the order the decoder expects them:
    // the whole buffer at once, or row by row in the four interlace passes.
    template <typename Row>
    void walkPixels(Row&& row) const;

    [[noreturn]] static void colorNotInTable();

    // Codes are packed least significant bit first. Whole bytes leave the accumulator four at a
    // time; the rest goes with the end code, or when an error stops the frame.
    void putBits(uint32_t code) {
        m_accumulator |= uint64_t(code) << m_pendingBits;
        m_pendingBits += m_codeWidth;
        if (m_pendingBits >= 32) {
            m_writer->put4(uint32_t(m_accumulator));
            m_accumulator >>= 32;
            m_pendingBits -= 32;
        }
    }
    // Hands over the whole bytes pending; with `padLast` also the last, partial byte.
    void flushBits(bool padLast);

    int m_colorCount = 0;
    int m_codeSize = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_interlace = false;
    const uint8_t* m_pixels = nullptr;
    Stream* m_stream = nullptr;
    std::unique_ptr<TGIFWriter> m_writer;
    uint64_t m_accumulator = 0;
    int m_pendingBits = 0;
    int m_codeWidth = 0;
    int m_initialCodeWidth = 0;
    uint32_t m_largestCode = 0;
    uint32_t m_clearCode = 0;
    uint32_t m_endCode = 0;
    bool m_clearPending = false;
};

// Writes every pixel as a literal code and a clear code often enough that the code width never
// grows: no string table, and any decoder reads it.
class TRLEEncoder final : public TGIFEncoder {
protected:
    void EncodePixels() override;
};

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

}  // namespace fk
