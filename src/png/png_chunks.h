#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/color.h"

namespace fk {

class Stream;
class TPNGObject;

// One chunk of a PNG image. A chunk's four-letter type is its class name without the leading
// "TChunk"; each chunk writes itself framed by its length, type and CRC.
class TChunk {
public:
    explicit TChunk(TPNGObject& owner) : m_owner(&owner) {}
    virtual ~TChunk() = default;
    TChunk(const TChunk&) = delete;
    TChunk& operator=(const TChunk&) = delete;

    virtual const char* ClassName() const { return "TChunk"; }
    // The chunk type; empty for a class whose name gives none, such as the base class.
    std::string GetName() const { return chunkNameFromClass(ClassName()); }
    static std::string chunkNameFromClass(std::string_view className);

    // An empty chunk of the same class belonging to `owner`.
    virtual std::unique_ptr<TChunk> Create(TPNGObject& owner) const;
    // Copies the content of a chunk of the same class; other classes raise EPngError.
    virtual void Assign(const TChunk& source);
    virtual void SaveToStream(Stream& out);

    TPNGObject& Owner() const { return *m_owner; }
    const std::vector<uint8_t>& Data() const { return m_data; }
    size_t DataSize() const { return m_data.size(); }

protected:
    std::vector<uint8_t>& MutableData() { return m_data; }
    void RequireSameClass(const TChunk& source) const;

private:
    TPNGObject* m_owner;
    std::vector<uint8_t> m_data;
};

// Frames `n` data bytes as one chunk: length, type, data, CRC.
void WriteChunk(Stream& out, std::string_view name, const uint8_t* data, size_t n);

// The image header, which also holds the picture's pixel rows until the image data is written.
class TChunkIHDR final : public TChunk {
public:
    using TChunk::TChunk;
    const char* ClassName() const override { return "TChunkIHDR"; }
    std::unique_ptr<TChunk> Create(TPNGObject& owner) const override;
    void Assign(const TChunk& source) override;
    void SaveToStream(Stream& out) override;

    // Takes the pixel rows: 1-, 4- or 8-bit palette rows with a full colour table (palette
    // image), or 24-bit blue, green, red rows, or 32-bit ones whose fourth byte is not written
    // (truecolour image). Width, height, colour type and
    // bit depth follow from them. Other formats raise EPngError.
    void SetImageData(Bitmap image);
    const Bitmap& ImageData() const { return m_image; }

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    uint8_t BitDepth() const { return m_bitDepth; }
    uint8_t ColorType() const { return m_colorType; }
    uint8_t CompressionMethod() const { return m_compressionMethod; }
    uint8_t FilterMethod() const { return m_filterMethod; }
    uint8_t InterlaceMethod() const { return m_interlaceMethod; }

    // Bytes of one scanline without its filter-type byte, and the distance in bytes to the same
    // byte of the pixel on the left.
    size_t RowBytes() const;
    size_t PixelStep() const;

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint8_t m_bitDepth = 0;
    uint8_t m_colorType = 0;
    uint8_t m_compressionMethod = 0;
    uint8_t m_filterMethod = 0;
    uint8_t m_interlaceMethod = 0;
    Bitmap m_image;
};

class TChunkPLTE final : public TChunk {
public:
    using TChunk::TChunk;
    const char* ClassName() const override { return "TChunkPLTE"; }
    std::unique_ptr<TChunk> Create(TPNGObject& owner) const override;
    void Assign(const TChunk& source) override;
    void SaveToStream(Stream& out) override;

    int Count() const { return int(m_entries.size()); }
    // Raises EPngError for an index outside 0 to Count() - 1.
    Color Item(int index) const;
    void SetEntries(std::vector<Color> entries);

private:
    std::vector<Color> m_entries;
};

// The image data: filters the header's rows, deflates them and writes one or more chunks.
class TChunkIDAT final : public TChunk {
public:
    using TChunk::TChunk;
    const char* ClassName() const override { return "TChunkIDAT"; }
    std::unique_ptr<TChunk> Create(TPNGObject& owner) const override;
    void SaveToStream(Stream& out) override;
};

class TChunkIEND final : public TChunk {
public:
    using TChunk::TChunk;
    const char* ClassName() const override { return "TChunkIEND"; }
    std::unique_ptr<TChunk> Create(TPNGObject& owner) const override;
};

}  // namespace fk
