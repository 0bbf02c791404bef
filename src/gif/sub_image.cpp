#include "gif/sub_image.h"

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_stream_writer.h"

namespace fk {

TGIFSubImage::TGIFSubImage(TGIFImage& image)
    : TGIFItem(&image), m_anchor(std::make_shared<TGIFSubImage*>(this)) {}

TGIFSubImage::~TGIFSubImage() {
    // The extensions still see this frame while they go.
    m_extensions.Clear();
    *m_anchor = nullptr;
}

std::unique_ptr<TGIFSubImage> TGIFSubImage::CreateFor(TGIFImage& image) {
    return std::make_unique<TGIFSubImage>(image);
}

int TGIFSubImage::RequiredVersion() const {
    return m_extensions.empty() ? 1 : 2;
}

void TGIFSubImage::SaveToStream(Stream& stream) {
    TGIFImage* doc = image();
    GifStreamWriter writer(stream, doc != nullptr ? doc->encoderKind() : ekLZW);
    GifLayout layout = doc != nullptr ? GifLayout::of(*doc) : GifLayout{};
    // A frame outside the document still counts its own map.
    layout.maxColorDepth = std::max(layout.maxColorDepth, m_colorMap.ColorDepth());
    writer.writeFrame(*this, layout);
}

void TGIFSubImage::setBounds(int left, int top, int width, int height) {
    // The descriptor and the logical screen hold 16-bit values.
    if (left < 0 || top < 0 || width < 0 || height < 0 || left + width > kMaxSide ||
        top + height > kMaxSide)
        throw GIFException(gif_text::kInvalidDimensions);

    const bool resized = width != m_width || height != m_height;
    m_left = uint16_t(left);
    m_top = uint16_t(top);
    m_width = uint16_t(width);
    m_height = uint16_t(height);
    if (resized) {
        dropCaches();
        m_encoded.reset();
        m_data.assign(size_t(width) * size_t(height), 0);
    }

    TGIFImage* doc = image();
    if (doc == nullptr)
        return;
    bool warned = false;
    if (doc->width() < left + width) {
        if (doc->width() > 0) {
            ReportWarning(this, gsWarning, gif_text::kWidthTooSmall);
            warned = true;
        }
        doc->growScreen(left + width, 0);
    }
    if (doc->height() < top + height) {
        if (doc->height() > 0) {
            ReportWarning(this, gsWarning, gif_text::kHeightTooSmall);
            warned = true;
        }
        doc->growScreen(0, top + height);
    }
    if (warned)
        ReportWarning(this, gsWarning, gif_text::kExceedsScreen);
}

void TGIFSubImage::setInterlaced(bool on) {
    m_packed = on ? uint8_t(m_packed | 0x40) : uint8_t(m_packed & ~0x40);
}

uint8_t TGIFSubImage::updatePacked() {
    if (!m_colorMap.empty())
        m_packed = uint8_t(0x80 | (m_colorMap.ColorDepth() - 1));
    else
        m_packed &= 0x58;  // interlace and the reserved bits stay
    return m_packed;
}

void TGIFSubImage::Clear() {
    m_extensions.Clear();
    m_colorMap.Clear();
    m_data.clear();
    m_data.shrink_to_fit();
    m_encoded.reset();
    m_width = 0;
    m_height = 0;
    m_transparent = false;
    dropCaches();
}

void TGIFSubImage::CopyFrame(const TGIFSubImage& source) {
    if (&source == this)
        return;
    Clear();
    // An empty frame is still copied whole: its extensions are written like any other's.
    m_left = source.m_left;
    m_top = source.m_top;
    m_width = source.m_width;
    m_height = source.m_height;
    m_packed = source.m_packed;
    m_transparent = source.m_transparent;
    m_data = source.m_data;
    m_colorMap.Assign(source.m_colorMap);

    // Extensions are copied through their file form, so each copy is a new object of its class.
    MemoryStream buffer;
    source.m_extensions.SaveToStream(buffer);
    buffer.seek(0);
    m_extensions.LoadFromStream(buffer);

    if (source.m_bitmap)
        m_bitmap = *source.m_bitmap;
}

}  // namespace fk
