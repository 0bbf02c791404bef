#include "png/png_image.h"

#include <cstring>
#include <new>
#include <utility>

#include "base/stream.h"

namespace fk {

namespace {

// The header's pixel store for a bitmap: palette rows as they are, with the colour table filled
// up to the full 2^depth entries (missing entries black); every deeper format as 24-bit rows.
template <class Source>
Bitmap imageDataOf(Source&& bitmap) {
    switch (bitmap.pixelFormat()) {
        case PixelFormat::Bits1:
        case PixelFormat::Bits4:
        case PixelFormat::Bits8: {
            Bitmap store = bitmap;
            std::vector<RGBQuad> table = bitmap.colorTable();
            table.resize(size_t(1) << bitmap.bitsPerPixel());
            store.setColorTable(std::move(table));
            return store;
        }
        // 32-bit rows stay as they are: their fourth byte is dropped while the rows are filtered.
        case PixelFormat::Bits24:
        case PixelFormat::Device:
        case PixelFormat::Bits32:
            return std::forward<Source>(bitmap);
        case PixelFormat::Bits15:
        case PixelFormat::Bits16: {
            Bitmap store = bitmap;
            store.setPixelFormat(PixelFormat::Bits24);
            return store;
        }
    }
    throw EPngError("Unknown bitmap pixel format.");
}

[[noreturn]] void throwOutOfMemory(const char* what) {
    throw EOutOfMemory(formatMessage("Out of memory while %s.", {what}));
}

}  // namespace

TChunk* TPNGList::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[size_t(index)].get();
}

TChunk& TPNGList::Add(std::unique_ptr<TChunk> chunk) {
    m_items.push_back(std::move(chunk));
    return *m_items.back();
}

TPNGObject& TPNGObject::operator=(const TPNGObject& other) {
    if (this != &other)
        Assign(other);
    return *this;
}

TChunkIHDR& TPNGObject::Header() const {
    auto* header = dynamic_cast<TChunkIHDR*>(m_chunks.Item(0));
    if (!header)
        throw EPNGHeaderNotPresent(kMsgHeaderNotPresent);
    return *header;
}

void TPNGObject::Assign(const Bitmap& bitmap) {
    assignFrom(bitmap);
}

void TPNGObject::Assign(Bitmap&& bitmap) {
    assignFrom(std::move(bitmap));
}

template <class Source>
void TPNGObject::assignFrom(Source&& bitmap) {
    if (bitmap.empty())
        throw EPngError(
            formatMessage("Cannot make a PNG image of %d x %d pixels; it needs at least one pixel "
                          "in each direction.",
                          {std::to_string(bitmap.width()), std::to_string(bitmap.height())}));
    try {
        // Built aside, so that a failure leaves the image as it was.
        TPNGList chunks;
        auto header = std::make_unique<TChunkIHDR>(*this);
        header->SetImageData(imageDataOf(std::forward<Source>(bitmap)));
        std::unique_ptr<TChunkPLTE> palette;
        if (header->ColorType() == png::kColorTypePalette) {
            std::vector<Color> entries;
            for (const RGBQuad& q : header->ImageData().colorTable())
                entries.push_back({q.red, q.green, q.blue});
            palette = std::make_unique<TChunkPLTE>(*this);
            palette->SetEntries(std::move(entries));
        }
        chunks.Add(std::move(header));
        if (palette)
            chunks.Add(std::move(palette));
        chunks.Add(std::make_unique<TChunkIDAT>(*this));
        chunks.Add(std::make_unique<TChunkIEND>(*this));
        m_chunks = std::move(chunks);
    } catch (const std::bad_alloc&) {
        throwOutOfMemory("converting the bitmap");
    }
}

void TPNGObject::Assign(const TPNGObject& source) {
    if (this == &source)
        return;
    TPNGList chunks;
    for (int i = 0; i < source.m_chunks.Count(); ++i) {
        const TChunk& chunk = *source.m_chunks.Item(i);
        chunks.Add(chunk.Create(*this)).Assign(chunk);
    }
    m_chunks = std::move(chunks);
    m_filterSet = source.m_filterSet;
    m_deflateLevel = source.m_deflateLevel;
    m_idatLimit = source.m_idatLimit;
    m_threadCount = source.m_threadCount;
    m_pieceBytes = source.m_pieceBytes;
}

void TPNGObject::SaveToStream(Stream& out) {
    try {
        out.write(png::kSignature.data(), png::kSignature.size());
        for (int i = 0; i < m_chunks.Count(); ++i)
            m_chunks.Item(i)->SaveToStream(out);
    } catch (const std::bad_alloc&) {
        throwOutOfMemory("writing the PNG image");
    }
}

void TPNGObject::SaveToFile(const std::string& path) {
    saveStreamToFile(path, [this](Stream& out) { SaveToStream(out); });
}

}  // namespace fk
