#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

#include "base/threads.h"

namespace fk {

// A writer waiting for its next frame hears of it this often, so that it can show progress.
inline constexpr auto kProgressInterval = std::chrono::milliseconds(100);
// The frames made ahead of the writer, per worker.
inline constexpr int kFramesInFlightPerWorker = 2;

// The frames of an animation made on worker threads and written by one writer in frame order.
// No more than kFramesInFlightPerWorker frames per worker are made ahead of the writer, so memory
// stays at a few frames however long the animation; a writer waiting for its next frame hears of
// it every kProgressInterval. `Local` is what each worker keeps from one frame to the next.
template <typename Frame, typename Local>
class FramePipeline {
public:
    using Make = typename OrderedWorkers<Frame, Local>::Make;

    FramePipeline(int workers, Make make)
        : m_framesInFlight(workers * kFramesInFlightPerWorker),
          m_workers(workers, m_framesInFlight, std::move(make)) {}

    // The most frames made and not yet written.
    int framesInFlight() const { return m_framesInFlight; }
    // Frames below `count` may be made.
    void makeAvailable(int count) { m_workers.makeAvailable(count); }
    // No frame from `count` on will come.
    void end(int count) { m_workers.end(count); }
    // Lets no worker start another frame, and waits for those at work.
    void stop() { m_workers.stop(); }

    // Frame `index`, the one after the last taken; none after the end or a stop. An error of its
    // making is thrown here. While it waits, `waiting` runs every kProgressInterval.
    std::optional<Frame> take(int index, const std::function<void()>& waiting = {}) {
        return m_workers.take(index, kProgressInterval, waiting);
    }
    // Hands the frames to `write` in order, from the first, until the end or a stop; while frame
    // i is waited for, `waiting(i)` runs every kProgressInterval.
    void writeInOrder(const std::function<void(int index, Frame& frame)>& write,
                      const std::function<void(int index)>& waiting = {}) {
        for (int i = 0;; ++i) {
            std::optional<Frame> frame =
                take(i, waiting ? std::function<void()>([&] { waiting(i); }) : nullptr);
            if (!frame)
                return;
            write(i, *frame);
        }
    }

private:
    const int m_framesInFlight;
    OrderedWorkers<Frame, Local> m_workers;
};

}  // namespace fk
