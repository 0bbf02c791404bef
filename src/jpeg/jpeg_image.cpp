#include "jpeg/jpeg_image.h"

#include "jpeg/jpeg_compress.h"

namespace fk {

TJPEGImage::TJPEGImage(const TJPEGDefaults& defaults)
    : m_data(std::make_shared<TJPEGData>()),
      m_quality(defaults.quality),
      m_grayscale(defaults.grayscale),
      m_progressive(defaults.progressive) {}

void TJPEGImage::newData() {
    m_data = std::make_shared<TJPEGData>();
}

void TJPEGImage::Assign(const Bitmap& source) {
    Assign(Bitmap(source));
}

void TJPEGImage::Assign(Bitmap&& source) {
    newData();
    m_bitmap = std::make_unique<Bitmap>(std::move(source));
}

void TJPEGImage::Assign(const TJPEGImage& source) {
    if (&source == this)
        return;
    m_data = source.m_data;
    m_bitmap = source.m_bitmap ? std::make_unique<Bitmap>(*source.m_bitmap) : nullptr;
}

int TJPEGImage::width() const {
    return m_bitmap ? m_bitmap->width() : m_data->width;
}
int TJPEGImage::height() const {
    return m_bitmap ? m_bitmap->height() : m_data->height;
}

void TJPEGImage::setWidth(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}
void TJPEGImage::setHeight(int) {
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::Compress() {
    if (m_data->bytes)
        newData();
    if (!m_bitmap || m_bitmap->empty()) {
        m_data->bytes.emplace();
        return;
    }
    // The record takes the bytes only when they are complete, so that after a failure the next
    // save tries again instead of writing part of a file.
    std::vector<uint8_t> bytes =
        jpeg::compressBitmap(*m_bitmap, {m_quality, m_grayscale, m_progressive});
    m_data->width = m_bitmap->width();
    m_data->height = m_bitmap->height();
    m_data->grayscale = m_grayscale;
    m_data->bytes = std::move(bytes);
}

void TJPEGImage::SaveToStream(Stream& out) {
    if (!m_data->bytes)
        Compress();
    const std::vector<uint8_t>& bytes = *m_data->bytes;
    out.write(bytes.data(), bytes.size());
}

void TJPEGImage::SaveToFile(const std::string& path) {
    saveStreamToFile(path, [this](Stream& out) { SaveToStream(out); });
}

}  // namespace fk
