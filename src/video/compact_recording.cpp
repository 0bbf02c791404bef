#include "video/compact_recording.h"

#include <algorithm>
#include <utility>

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

CompactRecording::CompactRecording(const std::string& name, const TGIFImage& settings, int speed,
                                   int workers, size_t memoryBytes, int backlogMs,
                                   CompactColours colours)
    : m_rate(std::clamp(speed, kLowestRate, kHighestRate)),
      m_backlogMs(backlogMs),
      m_pipeline(name, settings, workers, memoryBytes, colours),
      m_timeline([this](CompactFrame&& frame) { m_pipeline.put(std::move(frame)); }) {}

bool CompactRecording::wantsGrab() {
    // When the encoders fall behind, grabs are left out (the delays say so) rather than letting
    // their backlog grow: however long a recording runs, its end is never far off and the store
    // stays small.
    return m_pipeline.backlog() < m_pipeline.framesEncodedWithin(m_backlogMs);
}

int32_t CompactRecording::pauseMs(int64_t startMs, int64_t grabbedMs, int64_t nowMs) {
    return int32_t(std::max<int64_t>(nextGrab(startMs, grabbedMs, m_rate) - nowMs, 1));
}

std::string CompactRecording::endWithoutDisplay(const std::string& name, int64_t nowMs) {
    // Once the video is being written, what remains of it cannot be finished a second time.
    if (std::exchange(m_ended, true))
        return VideoRecording::endWithoutDisplay(name, nowMs);
    const std::exception_ptr ended =
        std::make_exception_ptr(Exception("The recording ended with the display"));
    try {
        m_timeline.finish(nowMs);
        m_pipeline.finish(ended, {});
    } catch (const EVideoSavedInPart& e) {
        return e.what();
    } catch (const std::exception&) {
    }
    return VideoRecording::endWithoutDisplay(name, nowMs);
}

void CompactRecording::write(std::exception_ptr failure, const VideoAssembly& assembly) {
    m_ended = true;
    assembly.begin(m_pipeline.backlog());
    m_pipeline.finish(failure, assembly.progress);
}

}  // namespace fk
