#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "gif/color_map.h"
#include "gif/encoded_image_data.h"
#include "gif/gif_extensions.h"
#include "gif/gif_item.h"
#include "graphics/bitmap.h"

namespace fk {

class TGIFGraphicControlExtension;

// One frame: its image descriptor, an optional local colour map, one colour index per pixel
// (rows top to bottom, no padding) and its extension blocks.
class TGIFSubImage final : public TGIFItem {
public:
    static constexpr int kMaxSide = 0xFFFF;

    explicit TGIFSubImage(TGIFImage& image);
    ~TGIFSubImage() override;
    static std::unique_ptr<TGIFSubImage> CreateFor(TGIFImage& image);

    // 2 (GIF89a) when the frame carries extensions.
    int RequiredVersion() const override;
    // The frame as it appears in a file of its document: extensions, descriptor, colour table,
    // image data.
    void SaveToStream(Stream& stream) override;

    int left() const { return m_left; }
    int top() const { return m_top; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Stores all four; a new size reallocates the pixels zero-filled. The document's logical
    // screen grows to hold the frame, with warnings when it was set before.
    void setBounds(int left, int top, int width, int height);
    void setLeft(int left) { setBounds(left, m_top, m_width, m_height); }
    void setTop(int top) { setBounds(m_left, top, m_width, m_height); }
    void setWidth(int width) { setBounds(m_left, m_top, width, m_height); }
    void setHeight(int height) { setBounds(m_left, m_top, m_width, height); }

    // The descriptor's packed fields as last stored or recomputed.
    uint8_t packed() const { return m_packed; }
    bool interlaced() const { return (m_packed & 0x40) != 0; }
    // Takes effect only while the frame has no local colour map.
    void setInterlaced(bool on);
    // Recomputes the packed fields as they are written.
    uint8_t updatePacked();

    bool empty() const { return m_data.empty() || m_width == 0 || m_height == 0; }
    // Writing through the pointer changes the pixels: the image data made beside them is
    // dropped.
    uint8_t* data() {
        m_encoded.reset();
        return m_data.data();
    }
    const uint8_t* data() const { return m_data.data(); }
    size_t dataSize() const { return m_data.size(); }
    uint8_t pixel(int x, int y) const { return m_data[size_t(y) * m_width + size_t(x)]; }

    TGIFLocalColorMap& colorMap() { return m_colorMap; }
    const TGIFLocalColorMap& colorMap() const { return m_colorMap; }
    TGIFExtensionList& extensions() { return m_extensions; }
    const TGIFExtensionList& extensions() const { return m_extensions; }

    bool transparent() const { return m_transparent; }
    // The first graphic control extension made for this frame, while it lives.
    TGIFGraphicControlExtension* graphicControlExtension() const { return m_graphicControl; }

    // The image data made beside the colour reduction, when it was coded for these code bits and
    // this colour count; nothing otherwise. Any change of the pixels drops it.
    const EncodedImageData* encodedImageData(int codeBits, int colorCount) const {
        return m_encoded && m_encoded->codedFor(codeBits, colorCount) ? &*m_encoded : nullptr;
    }

    // The display copy of the bitmap the frame was made from, until PackForSave drops it.
    const Bitmap* bitmap() const { return m_bitmap ? &*m_bitmap : nullptr; }
    void dropCaches() { m_bitmap.reset(); }

    // Destroys the extensions, empties the colour map, frees the pixels and sets the size to 0x0.
    void Clear();
    // Replaces the frame's content by the bitmap's; see frame_from_bitmap.cpp.
    void FrameFromBitmap(Bitmap& bitmap);
    // Replaces the frame's content by a deep copy of another frame.
    void CopyFrame(const TGIFSubImage& source);

    TGIFAnchor<TGIFSubImage> anchor() const { return m_anchor; }

private:
    friend class TGIFGraphicControlExtension;
    friend class TGIFImage;

    void reportProgress(TProgressStage stage, int percent) const;
    void importTrueColorRows(const Bitmap& rows);

    TGIFAnchor<TGIFSubImage> m_anchor;
    uint8_t m_separator = 0x2C;
    uint16_t m_left = 0;
    uint16_t m_top = 0;
    uint16_t m_width = 0;
    uint16_t m_height = 0;
    uint8_t m_packed = 0;  // local table flag, interlace, sort, reserved, table size
    TGIFLocalColorMap m_colorMap{this};
    std::vector<uint8_t> m_data;
    std::optional<EncodedImageData> m_encoded;
    TGIFExtensionList m_extensions{*this};
    std::optional<Bitmap> m_bitmap;
    bool m_transparent = false;
    TGIFGraphicControlExtension* m_graphicControl = nullptr;
};

}  // namespace fk
