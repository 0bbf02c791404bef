#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "gif/color_map.h"
#include "gif/gif_base.h"
#include "gif/gif_extensions.h"
#include "gif/gif_item.h"
#include "gif/reduction/color_reduction.h"
#include "gif/sub_image.h"
#include "graphics/bitmap.h"

namespace fk {

// The signature, the logical screen descriptor and the global colour map.
class TGIFHeader final : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* image) : TGIFItem(image) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    uint8_t packed() const { return m_packed; }
    uint8_t backgroundColorIndex() const { return m_background; }
    uint8_t pixelRatio() const { return m_pixelRatio; }
    TGIFGlobalColorMap& colorMap() { return m_colorMap; }
    const TGIFGlobalColorMap& colorMap() const { return m_colorMap; }

    // All seven descriptor bytes 0, the global map empty.
    void Clear();
    void Assign(const TGIFHeader& other);
    // Signature, logical screen descriptor and global colour table, as its document writes them.
    void SaveToStream(Stream& stream) override;

private:
    friend class TGIFImage;
    friend class GifStreamWriter;

    uint16_t m_width = 0;   // logical screen width
    uint16_t m_height = 0;  // logical screen height
    uint8_t m_packed = 0;   // global table flag, colour resolution, sort, table size
    uint8_t m_background = 0;
    uint8_t m_pixelRatio = 0;  // the pixel shape byte, always 0 here
    TGIFGlobalColorMap m_colorMap{this};
};

class TGIFImageList final : public TGIFList<TGIFSubImage> {};

// A GIF file in memory: header, frames and the settings used to turn bitmaps into frames.
class TGIFImage {
public:
    TGIFImage();
    ~TGIFImage();
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    TPaletteKind reductionKind() const { return m_reductionKind; }
    void setReductionKind(TPaletteKind kind) { m_reductionKind = kind; }
    TDitherKind ditherKind() const { return m_ditherKind; }
    void setDitherKind(TDitherKind kind) { m_ditherKind = kind; }
    int paletteBits() const { return m_paletteBits; }
    void setPaletteBits(int bits) { m_paletteBits = bits; }
    TGIFEncoderKind encoderKind() const { return m_encoderKind; }
    void setEncoderKind(TGIFEncoderKind kind) { m_encoderKind = kind; }
    // Threads that making a frame from a bitmap may use: 1 (the default) keeps all the work on
    // the caller's thread, as a caller that already runs one frame per thread wants; 2 or more
    // reduce the colours in bands and LZW-code the rows on a thread of their own while later
    // rows are reduced; 0 means one thread per processor core. The bytes written are the same
    // whatever the number. Not copied by CopyFrom.
    int threadCount() const { return m_threadCount; }
    void setThreadCount(int threads) { m_threadCount = threads; }

    // Without a handler warnings are dropped and progress is not reported.
    void setOnWarning(TGIFWarningEvent handler) { m_onWarning = std::move(handler); }
    void setOnProgress(TGIFProgressEvent handler) { m_onProgress = std::move(handler); }

    // The logical screen. Setting it smaller than a frame's extent raises "Image width too small
    // for contained frames" or "Image height too small for contained frames".
    int width() const { return m_header.width(); }
    int height() const { return m_header.height(); }
    void setWidth(int width);
    void setHeight(int height);

    TGIFHeader& header() { return m_header; }
    const TGIFHeader& header() const { return m_header; }
    TGIFImageList& images() { return m_images; }
    const TGIFImageList& images() const { return m_images; }
    int frameCount() const { return m_images.count(); }
    TGIFSubImage& frame(int index) const { return *m_images[index]; }

    // 0 without frames, 2 (GIF89a) when a frame carries extensions, else 1 (GIF87a).
    int Version() const;

    // Destroys every frame, empties the global map, sets the logical screen to 0x0.
    void Clear();

    // The whole file; "Unsupported GIF version" before writing anything when there are no frames.
    void SaveToStream(Stream& stream);
    // Creates or truncates the file and saves to it; what was written before an error stays.
    void WriteToFile(const std::string& path);

    // Replaces the document by one frame made from the bitmap, which may be converted in place.
    void AssignBitmap(Bitmap& bitmap);
    // Appends a frame made from the bitmap and returns its index.
    int AddFrame(Bitmap& bitmap);
    // Appends an existing frame, which the document then owns.
    int AddFrame(std::unique_ptr<TGIFSubImage> frame);
    // Drops the display caches; a single frame's colour map moves into the header.
    void PackForSave();
    // Makes this document an independent deep copy of `source`.
    void CopyFrom(const TGIFImage& source);

    // For the document's parts.
    TGIFAnchor<TGIFImage> anchor() const { return m_anchor; }
    void Warning(TGIFPersistent* sender, TGIFSeverity severity, const std::string& message) const;
    void Progress(TProgressStage stage, int percent, const std::string& message);
    bool reportsProgress() const { return bool(m_onProgress); }
    // Lets a frame enlarge the logical screen without the shrink checks.
    void growScreen(int width, int height);

private:
    TGIFAnchor<TGIFImage> m_anchor;
    TGIFHeader m_header;
    TGIFImageList m_images;
    TPaletteKind m_reductionKind = pkWebCube;
    TDitherKind m_ditherKind = dkPlain;
    int m_paletteBits = 8;
    TGIFEncoderKind m_encoderKind = ekLZW;
    int m_threadCount = 1;
    TGIFWarningEvent m_onWarning;
    TGIFProgressEvent m_onProgress;
};

}  // namespace fk
