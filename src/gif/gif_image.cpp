#include "gif/gif_image.h"

#include <algorithm>
#include <utility>

#include "gif/gif_messages.h"
#include "gif/gif_stream_writer.h"

namespace fk {

void TGIFHeader::Clear() {
    m_width = 0;
    m_height = 0;
    m_packed = 0;
    m_background = 0;
    m_pixelRatio = 0;
    m_colorMap.Clear();
}

void TGIFHeader::Assign(const TGIFHeader& other) {
    if (&other == this)
        return;
    m_colorMap.Assign(other.m_colorMap);
    m_width = other.m_width;
    m_height = other.m_height;
    m_packed = other.m_packed;
    m_background = other.m_background;
    m_pixelRatio = other.m_pixelRatio;
}

void TGIFHeader::SaveToStream(Stream& stream) {
    TGIFImage* doc = image();
    if (doc == nullptr)
        throw GIFException(gif_text::kUnsupportedVersion);
    GifStreamWriter writer(stream, doc->encoderKind());
    writer.writeHeader(*this, GifLayout::of(*doc));
}

TGIFImage::TGIFImage() : m_anchor(std::make_shared<TGIFImage*>(this)), m_header(this) {}

TGIFImage::~TGIFImage() {
    m_images.Clear();
    *m_anchor = nullptr;
}

void TGIFImage::Warning(TGIFPersistent* sender, TGIFSeverity severity,
                        const std::string& message) const {
    if (m_onWarning)
        m_onWarning(sender, severity, message);
}

void TGIFImage::Progress(TProgressStage stage, int percent, const std::string& message) {
    if (m_onProgress)
        m_onProgress(this, stage, percent, message);
}

void TGIFImage::setWidth(int width) {
    if (width < 0 || width > TGIFSubImage::kMaxSide)
        throw GIFException(gif_text::kInvalidDimensions);
    for (int i = 0; i < frameCount(); ++i)
        if (width < frame(i).left() + frame(i).width())
            throw GIFException(gif_text::kWidthTooSmall);
    m_header.m_width = uint16_t(width);
}

void TGIFImage::setHeight(int height) {
    if (height < 0 || height > TGIFSubImage::kMaxSide)
        throw GIFException(gif_text::kInvalidDimensions);
    for (int i = 0; i < frameCount(); ++i)
        if (height < frame(i).top() + frame(i).height())
            throw GIFException(gif_text::kHeightTooSmall);
    m_header.m_height = uint16_t(height);
}

void TGIFImage::growScreen(int width, int height) {
    m_header.m_width = uint16_t(std::max<int>(m_header.m_width, width));
    m_header.m_height = uint16_t(std::max<int>(m_header.m_height, height));
}

int TGIFImage::Version() const {
    return GifLayout::of(*this).version;
}

void TGIFImage::Clear() {
    m_images.Clear();
    m_header.Clear();
}

void TGIFImage::SaveToStream(Stream& stream) {
    Progress(psStarting, 0, gif_text::kSaving);
    try {
        const GifLayout layout = GifLayout::of(*this);
        if (layout.version == 0)
            throw GIFException(gif_text::kUnsupportedVersion);
        GifStreamWriter writer(stream, m_encoderKind);
        writer.writeHeader(m_header, layout);
        const int frames = frameCount();
        for (int i = 0; i < frames; ++i) {
            writer.writeFrame(frame(i), layout);
            Progress(psRunning, percentOf(i + 1, frames), gif_text::kSaving);
        }
        writer.writeTrailer();
    } catch (...) {
        Progress(psEnding, 0, gif_text::kSaving);
        throw;
    }
    Progress(psEnding, 100, gif_text::kSaving);
}

void TGIFImage::WriteToFile(const std::string& path) {
    saveStreamToFile(path, [this](Stream& out) { SaveToStream(out); });
}

void TGIFImage::AssignBitmap(Bitmap& bitmap) {
    Clear();
    AddFrame(bitmap);
}

int TGIFImage::AddFrame(Bitmap& bitmap) {
    auto frame = TGIFSubImage::CreateFor(*this);
    frame->FrameFromBitmap(bitmap);
    return AddFrame(std::move(frame));
}

int TGIFImage::AddFrame(std::unique_ptr<TGIFSubImage> frame) {
    if (!frame)
        throw GIFException(gif_text::kUnsupportedObject);
    frame->setImage(this);
    m_images.Add(std::move(frame));
    return frameCount() - 1;
}

void TGIFImage::PackForSave() {
    for (int i = 0; i < frameCount(); ++i)
        frame(i).dropCaches();
    if (m_header.colorMap().empty() && frameCount() == 1) {
        TGIFLocalColorMap& local = frame(0).colorMap();
        m_header.colorMap().Assign(local);
        local.Clear();
    }
}

void TGIFImage::CopyFrom(const TGIFImage& source) {
    if (&source == this)
        return;
    Clear();

    // The source's handlers hear about the copy; ours come back afterwards.
    struct HandlerSwap {
        TGIFImage& doc;
        TGIFWarningEvent warning;
        TGIFProgressEvent progress;
        ~HandlerSwap() {
            doc.m_onWarning = std::move(warning);
            doc.m_onProgress = std::move(progress);
        }
    } restore{*this, std::exchange(m_onWarning, source.m_onWarning),
              std::exchange(m_onProgress, source.m_onProgress)};

    Progress(psStarting, 0, gif_text::kCopying);
    try {
        m_header.Assign(source.m_header);
        m_reductionKind = source.m_reductionKind;
        m_ditherKind = source.m_ditherKind;
        const int frames = source.frameCount();
        for (int i = 0; i < frames; ++i) {
            auto copy = TGIFSubImage::CreateFor(*this);
            copy->CopyFrame(source.frame(i));
            AddFrame(std::move(copy));
            Progress(psRunning, percentOf(i + 1, frames), gif_text::kCopying);
        }
    } catch (...) {
        Progress(psEnding, 0, gif_text::kCopying);
        throw;
    }
    Progress(psEnding, 100, gif_text::kCopying);
}

}  // namespace fk
