#pragma once

#include <cstddef>
#include <string>

#include "video/compact_pipeline.h"
#include "video/compact_timeline.h"
#include "video/video_recording.h"

namespace fk {

// The "GIF (компактный)" entry: grabs at the speed slider's rate, hands what changed to the
// pipeline that encodes it meanwhile, and after the stop waits only for the backlog.
class CompactRecording final : public VideoRecording {
public:
    // Grabs per second.
    static constexpr int kLowestRate = 5;
    static constexpr int kHighestRate = 50;

    // `speed` is the slider's position. Frames wait in memory up to `memoryBytes`, then in a
    // file; no more of them wait than the encoders make in about `backlogMs`.
    CompactRecording(const std::string& name, const TGIFImage& settings, int speed, int workers,
                     size_t memoryBytes, int backlogMs,
                     CompactColours colours = CompactColours::Exact);

    void check() override { m_pipeline.check(); }
    bool wantsGrab() override;
    void add(Bitmap& screen, int64_t grabbedMs) override { m_timeline.add(screen, grabbedMs); }
    int32_t pauseMs(int64_t startMs, int64_t grabbedMs, int64_t nowMs) override;
    void stopped(int64_t nowMs) override {
        m_ended = true;
        m_timeline.finish(nowMs);
    }
    void write(std::exception_ptr failure, const VideoAssembly& assembly) override;
    void abandon() override { m_pipeline.abandon(); }
    // Its frames need no display to be finished: the video is completed with all of them.
    std::string endWithoutDisplay(const std::string& name, int64_t nowMs) override;

private:
    const int m_rate;
    const int m_backlogMs;
    CompactPipeline m_pipeline;
    CompactTimeline m_timeline;
    bool m_ended = false;  // stopped, or being written
};

}  // namespace fk
