#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bitmap.h"
#include "png/png_chunks.h"
#include "png/png_constants.h"
#include "png/png_errors.h"
#include "png/png_filter.h"

namespace fk {

class Stream;

// The owned, ordered chunks of an image.
class TPNGList {
public:
    int Count() const { return int(m_items.size()); }
    // Nothing for an index outside 0 to Count() - 1.
    TChunk* Item(int index) const;
    // The first chunk of class T, or nothing.
    template <typename T>
    T* ItemFromClass() const {
        for (const auto& c : m_items)
            if (auto* p = dynamic_cast<T*>(c.get()))
                return p;
        return nullptr;
    }
    TChunk& Add(std::unique_ptr<TChunk> chunk);
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TChunk>> m_items;
};

// A PNG picture made from a bitmap: the chunk list IHDR, PLTE (palette images), IDAT, IEND.
// Usage: Assign a bitmap, then SaveToFile or SaveToStream.
class TPNGObject {
public:
    TPNGObject() = default;
    TPNGObject(const TPNGObject& other) { Assign(other); }
    TPNGObject& operator=(const TPNGObject& other);
    // Chunks point back at their image, so an image stays where it was made.
    TPNGObject(TPNGObject&&) = delete;
    TPNGObject& operator=(TPNGObject&&) = delete;

    // Rebuilds the chunks from the bitmap: 1-, 4- and 8-bit bitmaps become palette images, all
    // deeper ones 8-bit truecolour. An empty bitmap raises EPngError and leaves the image as it
    // was.
    void Assign(const Bitmap& bitmap);
    // The same, taking the bitmap's pixels where they can serve as they are (a shot's 32-bit
    // rows), so that nothing is copied.
    void Assign(Bitmap&& bitmap);
    // Copies the options and every chunk of `source`.
    void Assign(const TPNGObject& source);
    void Clear() { m_chunks.Clear(); }

    // The signature and every chunk in order; an image without chunks writes the signature alone.
    void SaveToStream(Stream& out);
    // Creates or truncates the file and saves to it; any failure reaches the caller.
    void SaveToFile(const std::string& path);

    bool Empty() const { return m_chunks.Count() == 0; }
    // The first chunk, when it is a header; otherwise EPNGHeaderNotPresent.
    TChunkIHDR& Header() const;
    int Width() const { return Header().Width(); }
    int Height() const { return Header().Height(); }

    const TPNGList& Chunks() const { return m_chunks; }
    // Appends an empty chunk of class T to the image.
    template <typename T>
    T& AddChunk() {
        return static_cast<T&>(m_chunks.Add(std::make_unique<T>(*this)));
    }

    TFilters FilterSet() const { return m_filterSet; }
    void SetFilterSet(TFilters filters) { m_filterSet = filters; }
    uint8_t DeflateLevel() const { return m_deflateLevel; }
    // zlib's levels 0 to 9; saving refuses any other.
    void SetDeflateLevel(uint8_t level) { m_deflateLevel = level; }
    int32_t IdatLimit() const { return m_idatLimit; }
    // Limits below the default are raised to it.
    void SetIdatLimit(int32_t limit) {
        m_idatLimit = limit < png::kDefaultIdatLimit ? png::kDefaultIdatLimit : limit;
    }
    // Threads that filter and deflate the image data: 1 (the default) writes one zlib stream in
    // one pass; more cut it into pieces of PieceBytes() filtered bytes made side by side, which
    // inflate to the same bytes. 0 is one per processor core.
    int ThreadCount() const { return m_threadCount; }
    void SetThreadCount(int threads) { m_threadCount = threads; }
    size_t PieceBytes() const { return m_pieceBytes; }
    void SetPieceBytes(size_t bytes) { m_pieceBytes = bytes < 1 ? 1 : bytes; }
    // Images are never interlaced.
    uint8_t Interlace() const { return 0; }

private:
    template <class Source>
    void assignFrom(Source&& bitmap);

    TPNGList m_chunks;
    TFilters m_filterSet{pfSub};
    uint8_t m_deflateLevel = png::kDefaultDeflateLevel;
    int32_t m_idatLimit = png::kDefaultIdatLimit;
    int m_threadCount = 1;
    size_t m_pieceBytes = png::kDefaultPieceBytes;
};

}  // namespace fk
