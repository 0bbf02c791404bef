#include "gif/gif_sequence_writer.h"

#include "gif/gif_stream_writer.h"

namespace fk {

namespace {

std::vector<uint8_t> trailerBytes() {
    MemoryStream trailer;
    GifStreamWriter(trailer, ekLZW).writeTrailer();
    return trailer.takeBytes();
}

}  // namespace

GifSequenceWriter::GifSequenceWriter(SequenceSink& sink) : m_sink(sink), m_trailer(trailerBytes()) {
    const uint8_t placeholder[FrameSequenceHeader::kSize] = {};
    m_sink.writeAt(0, placeholder, sizeof placeholder);
    m_end = sizeof placeholder;
}

void GifSequenceWriter::append(const EncodedFrame& frame) {
    const uint64_t end = m_end + frame.bytes.size();
    m_sink.writeAt(m_end, frame.bytes.data(), frame.bytes.size());
    m_sink.keepRoom(end, m_trailer.size());
    m_end = end;
    m_header.add(frame);
}

uint64_t GifSequenceWriter::complete() {
    m_sink.writeAt(m_end, m_trailer.data(), m_trailer.size());
    const std::vector<uint8_t> header = m_header.bytes();
    m_sink.writeAt(0, header.data(), header.size());
    return m_end + m_trailer.size();
}

void StreamSequenceSink::writeAt(uint64_t offset, const uint8_t* data, size_t size) {
    const uint64_t at = m_start + offset;
    const uint64_t end = m_out.position();
    if (at != end)
        m_out.seek(at);
    m_out.write(data, size);
    if (m_out.position() < end)
        m_out.seek(end);
}

}  // namespace fk
