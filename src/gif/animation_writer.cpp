#include "gif/animation_writer.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "gif/frame_pipeline.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_sequence_writer.h"

namespace fk {

namespace {

struct AnimationFrame {
    EncodedFrame encoded;
    // A single frame's colour table moves into the header, so its document is kept whole.
    std::unique_ptr<TGIFImage> wholeDocument;
};

void takeReductionSettings(TGIFImage& doc, const TGIFImage& settings) {
    doc.setReductionKind(settings.reductionKind());
    doc.setDitherKind(settings.ditherKind());
    doc.setPaletteBits(settings.paletteBits());
}

AnimationFrame makeFrame(const TGIFImage& settings, const AnimationSource& source, int index,
                         Bitmap& bitmap) {
    // A document of its own per frame: making a frame touches its document's logical screen.
    auto doc = std::make_unique<TGIFImage>();
    takeReductionSettings(*doc, settings);
    source.frameBitmap(index, bitmap);
    doc->AddFrame(bitmap);
    TGIFSubImage& frame = doc->frame(0);
    if (source.decorate)
        source.decorate(index, frame);

    AnimationFrame made;
    if (source.frameCount == 1) {
        made.wholeDocument = std::move(doc);
        return made;
    }
    frame.dropCaches();
    // Frames made from bitmaps always have a colour table of their own.
    made.encoded = EncodeFrame(frame);
    return made;
}

void reportProgress(const AnimationSource& source, int written) {
    if (source.progress)
        source.progress(written);
}

}  // namespace

int defaultWorkerCount() {
    return resolveThreadCount(0);
}

void WriteAnimation(Stream& out, const TGIFImage& settings, const AnimationSource& source,
                    int workers) {
    const int count = source.frameCount;
    if (count <= 0)
        throw GIFException(gif_text::kUnsupportedVersion);
    workers = std::clamp(workers, 1, count);
    FramePipeline<AnimationFrame, Bitmap> encoder(
        workers,
        // One bitmap per worker: a fresh screen-sized one per frame costs page faults.
        [&](int index, Bitmap& bitmap) { return makeFrame(settings, source, index, bitmap); });
    encoder.end(count);

    if (count == 1) {
        // As the document path does it: the table moves into the header, and the copy (with its
        // own default encoder) is what is written.
        AnimationFrame only = std::move(*encoder.take(0, [&] { reportProgress(source, 0); }));
        only.wholeDocument->PackForSave();
        TGIFImage copy;
        copy.CopyFrom(*only.wholeDocument);
        only.wholeDocument.reset();
        copy.SaveToStream(out);
        reportProgress(source, 1);
        return;
    }

    StreamSequenceSink sink(out);
    GifSequenceWriter sequence(sink);
    encoder.writeInOrder(
        [&](int index, AnimationFrame& frame) {
            sequence.append(frame.encoded);
            reportProgress(source, index + 1);
        },
        [&](int index) { reportProgress(source, index); });
    sequence.complete();
}

void WriteAnimationDocument(Stream& out, const TGIFImage& settings, const AnimationSource& source) {
    TGIFImage doc;
    takeReductionSettings(doc, settings);
    doc.setEncoderKind(settings.encoderKind());
    for (int i = 0; i < source.frameCount; ++i) {
        Bitmap bitmap;
        source.frameBitmap(i, bitmap);
        const int index = doc.AddFrame(bitmap);
        if (source.decorate)
            source.decorate(index, doc.frame(index));
    }
    doc.PackForSave();
    TGIFImage copy;
    copy.CopyFrom(doc);
    copy.SaveToStream(out);
}

}  // namespace fk
