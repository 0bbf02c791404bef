#include "capture/video_gif.h"

#include "capture/save_capture.h"
#include "gif/animation_writer.h"
#include "gif/gif_image.h"

namespace fk {

void applyVideoSettings(TGIFImage& gif, int paletteIndex) {
    gif.setDitherKind(dkBurkes);
    applyGifPalette(gif, paletteIndex);
    gif.setEncoderKind(ekLZW);
}

void decorateVideoFrame(int index, TGIFSubImage& frame, int frameDelay) {
    if (index == 0) {
        auto loop = TGIFAppExtNSLoop::CreateFor(frame);
        loop->setLoopCount(0);
        frame.extensions().Add(std::move(loop));
    }
    auto control = TGIFGraphicControlExtension::CreateFor(frame);
    control->setDelay(uint16_t(frameDelay));
    frame.extensions().Add(std::move(control));
}

void SaveVideoDocument(Stream& out, const TGIFImage& settings, const VideoFrames& frames,
                       int frameDelay) {
    TGIFImage doc;
    doc.setReductionKind(settings.reductionKind());
    doc.setDitherKind(settings.ditherKind());
    doc.setPaletteBits(settings.paletteBits());
    doc.setEncoderKind(settings.encoderKind());
    for (int i = 0; i < frames.count; ++i) {
        Bitmap bitmap;
        frames.frameBitmap(i, bitmap);
        const int index = doc.AddFrame(bitmap);
        decorateVideoFrame(index, doc.frame(index), frameDelay);
    }
    doc.PackForSave();
    TGIFImage copy;
    copy.CopyFrom(doc);
    copy.SaveToStream(out);
}

void StreamVideo(Stream& out, const TGIFImage& settings, const VideoFrames& frames, int frameDelay,
                 int workers, const std::function<void(int)>& progress) {
    AnimationSource source;
    source.frameCount = frames.count;
    source.frameBitmap = frames.frameBitmap;
    source.decorate = [frameDelay](int index, TGIFSubImage& frame) {
        decorateVideoFrame(index, frame, frameDelay);
    };
    source.progress = progress;
    WriteAnimation(out, settings, source, workers);
}

}  // namespace fk
