#pragma once

#include <functional>

#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

class TGIFImage;
class TGIFSubImage;

// How an animation is made, frame by frame. `frameBitmap` and `decorate` run on worker threads,
// several at once for different frames; `progress` runs on the caller's thread.
struct AnimationSource {
    int frameCount = 0;
    // Fills `into` with frame `index`. `into` may still hold an earlier frame of the same
    // thread, whose memory can be reused; it may be converted in place afterwards.
    std::function<void(int index, Bitmap& into)> frameBitmap;
    // Adds the frame's extensions once it has been made.
    std::function<void(int index, TGIFSubImage& frame)> decorate;
    // Frames written so far; also called while a frame takes long, a few times a second.
    std::function<void(int framesWritten)> progress;
};

// Writes the animation that the document path writes (AddFrame and `decorate` per frame,
// PackForSave, CopyFrom, SaveToStream on a document with `settings`' reduction, dithering,
// palette bits and encoder), byte for byte, but keeps only a few frames in memory: each frame is
// made, reduced and compressed on one of `workers` threads and written in frame order as soon as
// its turn comes. At most two frames per worker are in flight. The output must be seekable: the
// header, which depends on every frame, is written last over the place kept for it.
void WriteAnimation(Stream& out, const TGIFImage& settings, const AnimationSource& source,
                    int workers);

// The same animation through the whole document: every frame added to a document with
// `settings`' reduction, dithering, palette bits and encoder and decorated, PackForSave, then a
// copy made with CopyFrom is written. Holds every frame in memory; kept as the reference that
// WriteAnimation must equal byte for byte.
void WriteAnimationDocument(Stream& out, const TGIFImage& settings, const AnimationSource& source);

// One worker per core.
int defaultWorkerCount();

}  // namespace fk
