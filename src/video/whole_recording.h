#pragma once

#include <string>

#include "video/frame_file.h"
#include "video/video_recording.h"

namespace fk {

class TGIFImage;
class VideoHost;

// The "GIF" entry: every grab, 5 ms apart, kept whole in a temporary file (the video's name +
// ".tmp"); after the stop the frames are assembled into the video, each shown for the time the
// speed slider gives then.
class WholeRecording final : public VideoRecording {
public:
    static constexpr int kPauseMs = 5;
    // The speed slider's top position: a frame is shown for this less the slider's position.
    static constexpr int kSlowestSpeed = 50;

    // `workers` threads assemble the frames.
    WholeRecording(const std::string& name, const TGIFImage& settings, VideoHost& host,
                   int workers);

    void add(Bitmap& screen, int64_t grabbedMs) override;
    int32_t pauseMs(int64_t startMs, int64_t grabbedMs, int64_t nowMs) override;
    void write(std::exception_ptr failure, const VideoAssembly& assembly) override;
    void abandon() override { m_frames.unlinkName(); }

private:
    const std::string m_name;
    const TGIFImage& m_settings;
    VideoHost& m_host;
    const int m_workers;
    FrameFile m_frames;
};

}  // namespace fk
