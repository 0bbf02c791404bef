#include "gif/animation_writer.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "base/ordered_workers.h"
#include "gif/frame_sequence.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"

namespace fk {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kFramesInFlightPerWorker = 2;

struct AnimationFrame {
    EncodedFrame encoded;
    // A single frame's colour table moves into the header, so its document is kept whole.
    std::unique_ptr<TGIFImage> wholeDocument;
};

AnimationFrame makeFrame(const TGIFImage& settings, const AnimationSource& source, int index,
                         Bitmap& bitmap) {
    // A document of its own per frame: making a frame touches its document's logical screen.
    auto doc = std::make_unique<TGIFImage>();
    doc->setReductionKind(settings.reductionKind());
    doc->setDitherKind(settings.ditherKind());
    doc->setPaletteBits(settings.paletteBits());
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
    OrderedWorkers<AnimationFrame, Bitmap> encoder(
        workers, workers * kFramesInFlightPerWorker,
        // One bitmap per worker: a fresh screen-sized one per frame costs page faults.
        [&](int index, Bitmap& bitmap) { return makeFrame(settings, source, index, bitmap); });
    encoder.end(count);
    auto take = [&](int index) {
        return std::move(
            *encoder.take(index, kProgressInterval, [&] { reportProgress(source, index); }));
    };

    if (count == 1) {
        // As the document path does it: the table moves into the header, and the copy (with its
        // own default encoder) is what is written.
        AnimationFrame only = take(0);
        only.wholeDocument->PackForSave();
        TGIFImage copy;
        copy.CopyFrom(*only.wholeDocument);
        only.wholeDocument.reset();
        copy.SaveToStream(out);
        reportProgress(source, 1);
        return;
    }

    const uint64_t start = out.position();
    const uint8_t placeholder[FrameSequenceHeader::kSize] = {};
    out.write(placeholder, sizeof placeholder);
    FrameSequenceHeader header;
    for (int i = 0; i < count; ++i) {
        const AnimationFrame frame = take(i);
        out.write(frame.encoded.bytes.data(), frame.encoded.bytes.size());
        header.add(frame.encoded);
        reportProgress(source, i + 1);
    }
    GifStreamWriter(out, ekLZW).writeTrailer();
    const uint64_t end = out.position();

    const std::vector<uint8_t> bytes = header.bytes();
    out.seek(start);
    out.write(bytes.data(), bytes.size());
    out.seek(end);
}

}  // namespace fk
