#pragma once

// The few threading pieces the GIF encoding uses. Each worker gets a whole unit of work (a chunk
// of rows) that reads only its input and writes only its own part of the output, so the bytes do
// not depend on how many threads there are.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
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
// for every chunk, then passes on the first error; after an error no further chunk starts.
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

}  // namespace fk
