#include "capture/png_copy.h"

#include "base/stream.h"
#include "graphics/bitmap.h"
#include "png/png_image.h"

namespace fk {

namespace {

// Stored, unfiltered: the copy is read once and thrown away, its time counts more than its size.
// zlib's fastest compressing level takes four times the 50 ms it may take on a 1080p photo.
constexpr uint8_t kCopyDeflateLevel = 0;

std::vector<uint8_t> encode(const Bitmap& picture) {
    TPNGObject png;
    png.SetDeflateLevel(kCopyDeflateLevel);
    png.SetFilterSet({pfNone});
    png.Assign(picture);
    MemoryStream out;
    png.SaveToStream(out);
    return out.takeBytes();
}

std::vector<uint8_t> readWhole(const std::string& path) {
    FileStream file(path, FileStream::Mode::OpenRead);
    std::vector<uint8_t> bytes(size_t(file.size()));
    file.readExact(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace

PngCopy::PngCopy(const Bitmap& picture, PictureFormat savedAs) {
    if (savedAs != PictureFormat::Png)
        m_encoded = std::async(std::launch::async, [copy = picture] { return encode(copy); });
}

PngCopy::~PngCopy() {
    if (m_encoded.valid())
        m_encoded.wait();
}

PngBytes PngCopy::take(const std::string& savedPath) {
    if (m_encoded.valid())
        return m_encoded.share();
    std::promise<std::vector<uint8_t>> file;
    try {
        file.set_value(readWhole(savedPath));
    } catch (...) {
        file.set_exception(std::current_exception());
    }
    return file.get_future().share();
}

}  // namespace fk
