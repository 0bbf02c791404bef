#include "video/whole_recording.h"

#include <algorithm>

#include "graphics/bitmap.h"
#include "video/video_gif.h"
#include "video/video_recorder.h"

namespace fk {

WholeRecording::WholeRecording(const std::string& name, const TGIFImage& settings, VideoHost& host,
                               int workers)
    : m_name(name),
      m_settings(settings),
      m_host(host),
      m_workers(workers),
      m_frames(name + ".tmp") {}

void WholeRecording::add(Bitmap& screen, int64_t) {
    m_frames.append(screen);
}

int32_t WholeRecording::pauseMs(int64_t, int64_t, int64_t) {
    return kPauseMs;
}

void WholeRecording::write(std::exception_ptr failure, const VideoAssembly& assembly) {
    if (failure)
        std::rethrow_exception(failure);
    m_frames.checkWhole();
    const int count = m_frames.frameCount();
    assembly.begin(count);

    const int delay = std::clamp(kSlowestSpeed - m_host.speedPosition(), 0, 0xFFFF);
    VideoFrames source{count, [this](int i, Bitmap& into) { m_frames.readFrame(i, into); }};
    saveStreamToFile(m_name, [&](Stream& out) {
        StreamVideo(out, m_settings, source, delay, m_workers, assembly.progress);
    });
    m_frames.remove();
}

}  // namespace fk
