#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

// A failure inside libjpeg: "JPEG error #%d" with the library's message code.
class EJPEG : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// The compressed form of a picture. Image objects assigned from one another share one record.
struct TJPEGData {
    std::optional<std::vector<uint8_t>> bytes;  // the complete file; none until compressed
    int width = 0;
    int height = 0;
    bool grayscale = false;
};

// The options a new image object starts with.
struct TJPEGDefaults {
    uint8_t quality = 90;
    bool grayscale = false;
    bool progressive = false;
};

// A picture to be saved as a JFIF file through libjpeg. Nothing is compressed until the first
// save; later saves write the same bytes again.
class TJPEGImage {
public:
    explicit TJPEGImage(const TJPEGDefaults& defaults = {});
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    // Takes a private copy of the bitmap (or the bitmap itself, when handed over) and drops any
    // compressed form.
    void Assign(const Bitmap& source);
    void Assign(Bitmap&& source);
    // Shares the other image's compressed form and copies its bitmap, if it has one.
    void Assign(const TJPEGImage& source);

    // Plain stores: they do not touch a compressed form that already exists.
    uint8_t quality() const { return m_quality; }
    void setQuality(uint8_t quality) { m_quality = quality; }
    bool grayscale() const { return m_grayscale; }
    void setGrayscale(bool grayscale) { m_grayscale = grayscale; }
    bool progressive() const { return m_progressive; }
    void setProgressive(bool progressive) { m_progressive = progressive; }

    // The bitmap's size when there is one, else the size the compressed form records.
    int width() const;
    int height() const;
    // The size follows the picture: "Cannot change the size of a JPEG image".
    [[noreturn]] void setWidth(int width);
    [[noreturn]] void setHeight(int height);

    // Compresses the bitmap now. Compressed bytes already there go to a fresh record, so that
    // other images sharing the old one keep theirs. No bitmap, or an empty one, gives empty
    // compressed bytes. Raises EJPEG and then leaves the record without bytes.
    void Compress();
    // Writes the compressed bytes, compressing first when there are none, in one write.
    void SaveToStream(Stream& out);
    // Creates (or truncates) the file before compressing, then saves into it. A file that a failed
    // write cut short is left empty rather than holding part of a picture.
    void SaveToFile(const std::string& path);

    const TJPEGData& data() const { return *m_data; }

private:
    void newData();

    std::shared_ptr<TJPEGData> m_data;
    std::unique_ptr<Bitmap> m_bitmap;
    uint8_t m_quality;
    bool m_grayscale;
    bool m_progressive;
};

}  // namespace fk
