#include "video/video_gif.h"

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

namespace {

AnimationSource videoAnimation(const VideoFrames& frames, int frameDelay) {
    AnimationSource source;
    source.frameCount = frames.count;
    source.frameBitmap = frames.frameBitmap;
    source.decorate = [frameDelay](int index, TGIFSubImage& frame) {
        decorateVideoFrame(index, frame, frameDelay);
    };
    return source;
}

}  // namespace

void SaveVideoDocument(Stream& out, const TGIFImage& settings, const VideoFrames& frames,
                       int frameDelay) {
    WriteAnimationDocument(out, settings, videoAnimation(frames, frameDelay));
}

void StreamVideo(Stream& out, const TGIFImage& settings, const VideoFrames& frames, int frameDelay,
                 int workers, const std::function<void(int)>& progress) {
    AnimationSource source = videoAnimation(frames, frameDelay);
    source.progress = progress;
    WriteAnimation(out, settings, source, workers);
}

}  // namespace fk
