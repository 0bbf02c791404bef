#include "gif/gif_encoder.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_messages.h"

namespace fk {

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

void TGIFEncoder::startFrame(Stream& stream, int codeBits, int colorCount, const uint8_t* pixels,
                             bool interlace, int height, int width) {
    // Pixels are bytes, so eight bits always suffice; a 1-bit map still needs code size 2.
    m_codeSize = std::clamp(codeBits, 2, 8);
    m_colorCount = colorCount;
    m_pixels = pixels;
    m_interlace = interlace;
    m_height = height;
    m_width = width;
    m_stream = &stream;

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
    m_writer = std::make_unique<TGIFWriter>(stream);
}

void TGIFEncoder::finishFrame() {
    EmitCode(m_endCode);
    m_writer->finish();
    m_writer.reset();
    const uint8_t terminator = 0;
    m_stream->write(&terminator, 1);
}

void TGIFEncoder::abandonFrame() noexcept {
    // The error that stopped us is the one to report.
    if (!m_writer)
        return;
    try {
        flushBits(false);
        m_writer->finish();
    } catch (...) {
    }
    m_writer.reset();
}

void TGIFEncoder::EncodeFrameData(Stream& stream, int codeBits, int colorCount,
                                  const uint8_t* pixels, bool interlace, int height, int width) {
    startFrame(stream, codeBits, colorCount, pixels, interlace, height, width);
    try {
        if (pixels != nullptr && height > 0 && width > 0)
            EncodePixels();
        finishFrame();
    } catch (...) {
        abandonFrame();
        throw;
    }
}

void TGIFEncoder::flushBits(bool padLast) {
    while (m_pendingBits >= 8 || (padLast && m_pendingBits > 0)) {
        m_writer->putByte(uint8_t(m_accumulator));
        m_accumulator >>= 8;
        m_pendingBits = std::max(m_pendingBits - 8, 0);
    }
}

void TGIFEncoder::Restart() {
    m_clearPending = true;
    EmitCode(m_clearCode);
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
