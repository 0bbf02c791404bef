#pragma once

#include <functional>

#include "base/stream.h"
#include "graphics/bitmap.h"

namespace fk {

class TGIFImage;
class TGIFSubImage;

// The document settings of a video: Burkes dithering, then palette and dithering by the GIF
// palette list's index as for still shots, and the LZW encoder.
void applyVideoSettings(TGIFImage& gif, int paletteIndex);

// The extensions of video frame `index`: the first frame loops the animation for ever, and
// every frame is shown for `frameDelay` hundredths of a second.
void decorateVideoFrame(int index, TGIFSubImage& frame, int frameDelay);

// The frames of a video, `frameBitmap` filling the bitmap of each.
struct VideoFrames {
    int count = 0;
    std::function<void(int index, Bitmap& into)> frameBitmap;
};

// The video assembled through the whole document: every frame added to it, the loop and delay
// extensions, PackForSave, then a copy made with CopyFrom is written. Holds every frame in
// memory; kept as the reference that the streaming assembly must equal byte for byte.
void SaveVideoDocument(Stream& out, const TGIFImage& settings, const VideoFrames& frames,
                       int frameDelay);

// The same bytes, made frame by frame on `workers` threads in constant memory. `progress` hears
// the number of frames written, also while a frame takes long.
void StreamVideo(Stream& out, const TGIFImage& settings, const VideoFrames& frames, int frameDelay,
                 int workers, const std::function<void(int)>& progress);

}  // namespace fk
