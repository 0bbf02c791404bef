#include "png/png_chunks.h"

#include <typeinfo>

#include "base/stream.h"
#include "png/png_constants.h"
#include "png/png_crc.h"
#include "png/png_errors.h"
#include "png/png_image.h"

namespace fk {

std::string TChunk::chunkNameFromClass(std::string_view className) {
    constexpr std::string_view prefix = "TChunk";
    if (className.size() != prefix.size() + 4 || className.substr(0, prefix.size()) != prefix)
        return {};
    return std::string(className.substr(prefix.size()));
}

std::unique_ptr<TChunk> TChunk::Create(TPNGObject& owner) const {
    return std::make_unique<TChunk>(owner);
}

void TChunk::RequireSameClass(const TChunk& source) const {
    if (typeid(source) != typeid(*this))
        throw EPngError(kMsgIncompatibleChunks);
}

void TChunk::Assign(const TChunk& source) {
    RequireSameClass(source);
    m_data = source.m_data;
}

void TChunk::SaveToStream(Stream& out) {
    WriteChunk(out, GetName(), m_data.data(), m_data.size());
}

void WriteChunk(Stream& out, std::string_view name, const uint8_t* data, size_t n) {
    uint8_t type[4] = {};
    for (size_t i = 0; i < 4 && i < name.size(); ++i)
        type[i] = uint8_t(name[i]);
    const uint32_t crc =
        png::crcFinish(png::crcUpdate(png::crcUpdate(png::kCrcStart, type, 4), data, n));

    ByteWriter w(out);
    w.u32be(uint32_t(n));  // data length
    w.bytes(type, 4);
    if (n > 0)
        w.bytes(data, n);  // an empty chunk may have no data block at all
    w.u32be(crc);          // over type and data
    w.flush();
}

// ---- IHDR

std::unique_ptr<TChunk> TChunkIHDR::Create(TPNGObject& owner) const {
    return std::make_unique<TChunkIHDR>(owner);
}

void TChunkIHDR::Assign(const TChunk& source) {
    RequireSameClass(source);
    TChunk::Assign(source);
    const auto& s = static_cast<const TChunkIHDR&>(source);
    m_width = s.m_width;
    m_height = s.m_height;
    m_bitDepth = s.m_bitDepth;
    m_colorType = s.m_colorType;
    m_compressionMethod = s.m_compressionMethod;
    m_filterMethod = s.m_filterMethod;
    m_interlaceMethod = s.m_interlaceMethod;
    m_image = s.m_image;
}

void TChunkIHDR::SetImageData(Bitmap image) {
    uint8_t colorType = png::kColorTypePalette;
    uint8_t bitDepth = 8;
    switch (image.pixelFormat()) {
        case PixelFormat::Bits1:
            bitDepth = 1;
            break;
        case PixelFormat::Bits4:
            bitDepth = 4;
            break;
        case PixelFormat::Bits8:
            bitDepth = 8;
            break;
        case PixelFormat::Bits24:
        case PixelFormat::Bits32:
        case PixelFormat::Device:
            colorType = png::kColorTypeTruecolor;
            break;
        default:
            throw EPngError("The image header holds only 1-, 4-, 8-, 24- or 32-bit pixel rows.");
    }
    if (image.empty())
        throw EPngError("A PNG image needs at least one pixel in each direction.");
    m_width = image.width();
    m_height = image.height();
    m_bitDepth = bitDepth;
    m_colorType = colorType;
    m_compressionMethod = png::kCompressionDeflate;
    m_filterMethod = png::kFilterMethodAdaptive;
    m_interlaceMethod = 0;
    m_image = std::move(image);
}

size_t TChunkIHDR::RowBytes() const {
    if (m_colorType == png::kColorTypeTruecolor)
        return size_t(m_width) * 3;
    return (size_t(m_width) * m_bitDepth + 7) / 8;
}

size_t TChunkIHDR::PixelStep() const {
    return m_colorType == png::kColorTypeTruecolor ? 3 : 1;
}

void TChunkIHDR::SaveToStream(Stream& out) {
    MemoryStream data;
    ByteWriter w(data);
    w.u32be(uint32_t(m_width));
    w.u32be(uint32_t(m_height));
    w.u8(m_bitDepth);
    w.u8(m_colorType);
    w.u8(m_compressionMethod);
    w.u8(m_filterMethod);
    w.u8(Owner().Interlace());  // interlace method
    w.flush();
    MutableData() = data.takeBytes();
    TChunk::SaveToStream(out);
}

// ---- PLTE

std::unique_ptr<TChunk> TChunkPLTE::Create(TPNGObject& owner) const {
    return std::make_unique<TChunkPLTE>(owner);
}

void TChunkPLTE::Assign(const TChunk& source) {
    RequireSameClass(source);
    TChunk::Assign(source);
    m_entries = static_cast<const TChunkPLTE&>(source).m_entries;
}

Color TChunkPLTE::Item(int index) const {
    if (index < 0 || index >= Count())
        throw EPngError(kMsgNoPaletteEntry);
    return m_entries[size_t(index)];
}

void TChunkPLTE::SetEntries(std::vector<Color> entries) {
    m_entries = std::move(entries);
}

void TChunkPLTE::SaveToStream(Stream& out) {
    std::vector<uint8_t>& data = MutableData();
    data.clear();
    data.reserve(m_entries.size() * 3);
    for (const Color& c : m_entries)
        data.insert(data.end(), {c.red, c.green, c.blue});
    TChunk::SaveToStream(out);
}

// ---- IDAT and IEND (the image data is written in png_idat.cpp)

std::unique_ptr<TChunk> TChunkIDAT::Create(TPNGObject& owner) const {
    return std::make_unique<TChunkIDAT>(owner);
}

std::unique_ptr<TChunk> TChunkIEND::Create(TPNGObject& owner) const {
    return std::make_unique<TChunkIEND>(owner);
}

}  // namespace fk
