// The compact entry's recording loop: grabs at the speed slider's rate, hands what changed to the
// pipeline that encodes it meanwhile, and after the stop waits only for the backlog.
#include <algorithm>
#include <exception>

#include "capture/compact_pipeline.h"
#include "capture/compact_timeline.h"
#include "capture/video_recorder.h"
#include "graphics/bitmap.h"

namespace fk {

namespace {

// Grabs are never closer than the shortest delay, so no frame is shorter than that.
constexpr int64_t kShortestGapMs = kShortestDelay * 10;
// The moment of the next grab: the first tick of the rate after the last grab, and not before the
// shortest gap has passed. Ticks that were missed while grabbing fell behind are skipped.
int64_t nextGrab(int64_t firstMs, int64_t lastMs, int rate) {
    const int64_t ticks = (lastMs - firstMs) * rate / 1000 + 1;
    const int64_t tick = firstMs + (ticks * 1000 + rate - 1) / rate;
    return std::max(tick, lastMs + kShortestGapMs);
}

}  // namespace

bool VideoRecorder::recordCompact(const std::string& name, const TGIFImage& settings,
                                  bool& assembling) {
    Clock& clock = m_capture.clock();
    ScreenGrabber& grabber = m_capture.grabber();
    const int rate = std::clamp(m_host.speedPosition(), kLowestRate, kHighestRate);
    CompactPipeline pipeline(name, settings, m_workers, compactMemoryBytes);
    const Underway underway(m_underway, [&pipeline] { pipeline.abandon(); });
    CompactTimeline timeline([&pipeline](CompactFrame&& frame) { pipeline.put(std::move(frame)); });
    bool closing = false;
    std::exception_ptr failure;
    try {
        Bitmap screen;
        const int64_t first = clock.nowMs();
        while (VideoOn) {
            pipeline.check();
            const int64_t grabbed = clock.nowMs();
            // When the encoders fall behind, grabs are left out (the delays say so) rather than
            // letting their backlog grow: however long a recording runs, its end is never far
            // off and the store stays small.
            if (pipeline.backlog() < pipeline.framesEncodedWithin(compactBacklogMs)) {
                grabber.grabScreen(screen);
                const ScreenRect rect = grabber.screenRect();
                m_capture.drawCursorIfAsked(screen, rect.x, rect.y);
                timeline.add(screen, grabbed);
            }
            try {
                m_capture.Delay(
                    int32_t(std::max<int64_t>(nextGrab(first, grabbed, rate) - clock.nowMs(), 1)));
            } catch (const EWaitsEnded&) {
                closing = true;
                VideoOn = false;
            }
        }
        timeline.finish(clock.nowMs());
    } catch (...) {
        VideoOn = false;
        failure = std::current_exception();
    }

    startAssembling(pipeline.backlog(), assembling);
    pipeline.finish(failure, [this](int done) { m_host.setProgressPosition(done); });
    return closing;
}

}  // namespace fk
