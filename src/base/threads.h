#pragma once

// The program's threading pieces: one thread count, a thread of its own for a piece of work,
// chunks of rows handed to whichever thread is free, rows followed in order from another thread,
// and results made on workers and taken in order. Each worker gets a whole unit of work that
// reads only its input and writes only its own part of the output, so the bytes do not depend on
// how many threads there are.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace fk {

// 1 or more threads as asked; 0 (or less) means one per processor core.
int resolveThreadCount(int requested);

// Runs `work` on a thread of its own; the first call of join() (or the destructor) waits for it,
// and join() passes on what it threw.
class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> work);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void join();

private:
    std::exception_ptr m_error;
    std::thread m_thread;
};

// Calls work(thread, first, last) for the chunks of `chunk` items that cover [0, count): on the
// calling thread, which is thread 0, and on threads - 1 more, each taking the next chunk when
// done with one, so any thread may do any chunk and `thread` is only there to keep state per
// thread. A thread that starts late, or not at all, only leaves more chunks to the others. Waits
// for every chunk, then passes on the first error; after an error no further chunk starts. The
// other threads are started for the call and end with it: a start costs well under a tenth of a
// millisecond here, a pool would save no more than that per thread, and nothing would be shared
// between documents made at once.
void forEachChunk(int threads, int count, int chunk,
                  const std::function<void(int thread, int first, int last)>& work);

// How many rows of a picture are finished, for a consumer on another thread that takes them in
// order. Rows may be finished out of order (by chunks); the count is of the rows finished from
// the top without a gap.
class RowProgress {
public:
    explicit RowProgress(int rows);

    // Marks rows first..first + count - 1 as finished.
    void finished(int first, int count);
    // Ends the waiting for good, finished or not (the producer failed or the consumer is no
    // longer wanted).
    void cancel();
    // Waits until more than `seen` rows are finished or the picture is cancelled; returns the
    // number finished, or -1 when cancelled.
    int waitBeyond(int seen);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<bool> m_done;
    int m_ready = 0;
    bool m_cancelled = false;
};

// Makes a result for each index 0, 1, 2, ... on worker threads, each index exactly once, and hands
// them out strictly in index order. Indices become available as the producer announces them; a
// worker starts index i only while fewer than `window` results wait to be taken, so memory stays
// at a fixed number of results however many indices there are. `Local` is state that each worker
// keeps from one index to the next (scratch memory), made by its default constructor.
template <typename Result, typename Local>
class OrderedWorkers {
public:
    using Make = std::function<Result(int index, Local& local)>;

    OrderedWorkers(int workers, int window, Make make)
        : m_make(std::move(make)), m_window(window), m_slots(size_t(window)) {
        m_threads.reserve(size_t(workers));
        try {
            for (int i = 0; i < workers; ++i)
                m_threads.emplace_back([this] { work(); });
        } catch (...) {
            stop();
            throw;
        }
    }
    ~OrderedWorkers() { stop(); }
    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    // Indices below `count` may be made.
    void makeAvailable(int count) {
        {
            std::lock_guard lock(m_mutex);
            m_available = std::max(m_available, count);
        }
        m_workCv.notify_all();
    }
    // No index from `count` on will come: taking one gives nothing.
    void end(int count) {
        {
            std::lock_guard lock(m_mutex);
            m_available = std::max(m_available, count);
            m_end = count;
        }
        m_workCv.notify_all();
        m_doneCv.notify_all();
    }

    // The result of `index`, which must be the one after the last taken; none once the end has
    // been reached or the workers have been stopped. An error of its making is thrown here. While
    // it waits, `whileWaiting` runs every `interval` on the caller's thread.
    std::optional<Result> take(int index, std::chrono::milliseconds interval,
                               const std::function<void()>& whileWaiting) {
        Slot& slot = m_slots[size_t(index % m_window)];
        std::unique_lock lock(m_mutex);
        while (!slot.done && !m_stop && !(m_end >= 0 && index >= m_end)) {
            if (m_doneCv.wait_for(lock, interval) == std::cv_status::timeout && whileWaiting) {
                lock.unlock();
                whileWaiting();
                lock.lock();
            }
        }
        if (!slot.done)
            return std::nullopt;
        Slot taken = std::move(slot);
        slot = Slot{};
        m_taken = index + 1;
        lock.unlock();
        m_workCv.notify_all();
        if (taken.error)
            std::rethrow_exception(taken.error);
        return std::move(taken.result);
    }

    // Lets no worker start another index, and waits for those at work.
    void stop() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workCv.notify_all();
        m_doneCv.notify_all();
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
        m_threads.clear();
    }

private:
    struct Slot {
        bool done = false;
        std::optional<Result> result;
        std::exception_ptr error;
    };

    void work() {
        Local local;
        for (;;) {
            int index;
            {
                std::unique_lock lock(m_mutex);
                m_workCv.wait(lock, [&] { return m_stop || startable(); });
                if (m_stop)
                    return;
                index = m_next++;
            }
            Slot result;
            try {
                result.result.emplace(m_make(index, local));
            } catch (...) {
                result.error = std::current_exception();
            }
            result.done = true;
            {
                std::lock_guard lock(m_mutex);
                m_slots[size_t(index % m_window)] = std::move(result);
            }
            m_doneCv.notify_all();
        }
    }

    bool startable() const {
        return m_next < m_available && (m_end < 0 || m_next < m_end) && m_next < m_taken + m_window;
    }

    const Make m_make;
    const int m_window;
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_doneCv;
    std::vector<Slot> m_slots;  // index i waits in slot i % window until it is taken
    int m_available = 0;        // indices below it may be made
    int m_end = -1;             // the first index that will never come, once known
    int m_next = 0;             // the next index a worker may start
    int m_taken = 0;            // indices taken so far
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

}  // namespace fk
