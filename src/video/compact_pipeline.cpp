#include "video/compact_pipeline.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>

#include "gif/changed_frame.h"

namespace fk {

namespace {

// How much each frame's time moves the running average.
constexpr double kAverageWeight = 0.2;
// The encoders give way to the grab loop and the display server when the cores are busy.
constexpr int kEncoderNiceness = 5;

std::string seconds(int64_t centiseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", double(centiseconds) / 100);
    return text;
}

}  // namespace

CompactPipeline::Scratch::Scratch() {
    const int tid = int(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, id_t(tid));
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, id_t(tid), std::min(now + kEncoderNiceness, 19));
}

CompactPipeline::CompactPipeline(const std::string& videoName, const TGIFImage& settings,
                                 int workers, size_t memoryBytes, CompactColours colours)
    : m_settings(settings),
      m_colours(colours),
      m_repairing(takesExactColours(settings, colours)),
      m_workerCount(std::max(workers, 1)),
      m_file(videoName),
      m_store(videoName + ".tmp", memoryBytes),
      m_workers(m_workerCount,
                [this](int index, Scratch& scratch) { return encode(index, scratch); }) {
    m_writer = std::thread([this] { writeFrames(); });
}

CompactPipeline::~CompactPipeline() {
    m_workers.stop();
    if (m_writer.joinable())
        m_writer.join();
}

CompactPipeline::WrittenFrame CompactPipeline::encode(int index, Scratch& scratch) {
    const auto start = std::chrono::steady_clock::now();
    CompactFrame frame = m_store.take(index);
    WrittenFrame written;
    written.delay = frame.delay;
    written.encoded = EncodeChangedFrame(m_settings, frame.rect, {frame.delay, index == 0},
                                         scratch.bitmap, m_colours, &written.pixels);
    if (m_repairing)
        written.rect = std::move(frame.rect);
    // Wall time, so that cores taken by other programs count too.
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::lock_guard lock(m_mutex);
    m_encodeMs = m_encodeMs == 0 ? ms : m_encodeMs + (ms - m_encodeMs) * kAverageWeight;
    return written;
}

int CompactPipeline::framesEncodedWithin(int ms) const {
    const int least = m_workers.framesInFlight();
    std::lock_guard lock(m_mutex);
    if (m_encodeMs <= 0)
        return std::max(least, ms);  // nothing measured yet
    return std::max(least, int(std::min(1e6, ms * m_workerCount / m_encodeMs)));
}

void CompactPipeline::append(int index, WrittenFrame& frame) {
    m_file.append(frame.encoded);
    m_writtenDuration += frame.delay;
    m_written = index + 1;
}

void CompactPipeline::appendRepaired(int index, WrittenFrame& frame, int serial) {
    if (frame.delay < 2 * kShortestDelay || frame.delay > std::numeric_limits<uint16_t>::max())
        return append(index, frame);
    ChangedRect repairs = m_canvas.repairsUpTo(serial);
    if (repairs.empty())
        return append(index, frame);
    FramePixels pixels;
    const EncodedFrame repair =
        EncodeChangedFrame(m_settings, repairs, {frame.delay - kShortestDelay, false},
                           m_writerScratch, m_colours, &pixels, UnchangedRuns::Transparent);
    m_canvas.draw(repairs, pixels, index + 1);
    setLeadingDelay(frame.encoded, uint16_t(kShortestDelay));
    m_file.append(frame.encoded);
    m_writtenDuration += kShortestDelay;
    m_file.append(repair);
    m_writtenDuration += frame.delay - kShortestDelay;
    m_written = index + 1;
}

void CompactPipeline::writeFrames() {
    try {
        // With repairs, a frame is written once the next has been drawn: what that one covers
        // needs no repair, and what it leaves off-colour is repaired after it.
        std::optional<WrittenFrame> held;
        int heldIndex = 0;
        m_workers.writeInOrder([&](int index, WrittenFrame& frame) {
            if (!m_repairing)
                return append(index, frame);
            m_canvas.draw(frame.rect, frame.pixels, index + 1);
            if (held)
                appendRepaired(heldIndex, *held, heldIndex + 1);
            held = std::move(frame);
            heldIndex = index;
        });
        if (held)
            appendRepaired(heldIndex, *held, std::numeric_limits<int>::max());
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_failure = std::current_exception();
    }
    {
        std::lock_guard lock(m_mutex);
        m_writerDone = true;
    }
    m_writerDoneCv.notify_all();
}

std::exception_ptr CompactPipeline::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void CompactPipeline::put(CompactFrame&& frame) {
    m_store.put(m_put, std::move(frame));
    ++m_put;
    m_workers.makeAvailable(m_put);
}

void CompactPipeline::check() const {
    if (std::exception_ptr failed = failure())
        std::rethrow_exception(failed);
    m_file.checkPresent();
    m_store.checkWhole();
}

void CompactPipeline::finish(std::exception_ptr failure,
                             const std::function<void(int done)>& progress) {
    if (failure) {
        // A file that has gone can take no more frames.
        try {
            m_file.checkPresent();
        } catch (...) {
            m_workers.stop();
        }
    }
    m_workers.end(m_put);
    const int writtenBefore = m_written;
    {
        std::unique_lock lock(m_mutex);
        while (!m_writerDoneCv.wait_for(lock, kProgressInterval, [this] { return m_writerDone; })) {
            lock.unlock();
            if (progress)
                progress(m_written - writtenBefore);
            lock.lock();
        }
    }
    m_writer.join();
    if (progress)
        progress(m_written - writtenBefore);
    if (!failure)
        failure = this->failure();
    m_store.remove();
    if (failure)
        reportCut(failure);
    m_file.complete();
}

void CompactPipeline::abandon() {
    m_store.unlinkName();
    m_file.unlinkName();
}

void CompactPipeline::reportCut(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& e) {
        if (m_file.frames() == 0)
            throw;
        try {
            m_file.complete();
        } catch (const Exception&) {
            std::rethrow_exception(failure);
        }
        throw EVideoSavedInPart(
            std::string(e.what()) + "\n" +
                formatMessage("The video \"%s\" was saved with the first %s seconds recorded.",
                              {m_file.path(), seconds(m_writtenDuration)}),
            m_file.path());
    }
}

}  // namespace fk
