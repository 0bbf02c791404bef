#include "base/threads.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace fk {

namespace {

// Hands out the chunks of [0, count) in order to whichever thread asks next.
class ChunkQueue {
public:
    ChunkQueue(int count, int chunk) : m_count(std::max(count, 0)), m_chunk(chunk) {}

    // The next chunk as [first, last); false once every chunk has been handed out.
    bool next(int& first, int& last) {
        const int start = m_next.fetch_add(m_chunk, std::memory_order_relaxed);
        if (start >= m_count)
            return false;
        first = start;
        last = std::min(start + m_chunk, m_count);
        return true;
    }
    // Hands out nothing more.
    void stop() { m_next.store(m_count, std::memory_order_relaxed); }

private:
    std::atomic<int> m_next{0};
    const int m_count;
    const int m_chunk;
};

}  // namespace

int resolveThreadCount(int requested) {
    if (requested >= 1)
        return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int(cores);
}

WorkerThread::WorkerThread(std::function<void()> work)
    : m_thread([this, work = std::move(work)] {
          try {
              work();
          } catch (...) {
              m_error = std::current_exception();
          }
      }) {}

WorkerThread::~WorkerThread() {
    if (m_thread.joinable())
        m_thread.join();
}

void WorkerThread::join() {
    if (m_thread.joinable())
        m_thread.join();
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
}

void forEachChunk(int threads, int count, int chunk,
                  const std::function<void(int thread, int first, int last)>& work) {
    chunk = std::max(chunk, 1);
    ChunkQueue queue(count, chunk);
    auto take = [&](int thread) {
        try {
            for (int first, last; queue.next(first, last);)
                work(thread, first, last);
        } catch (...) {
            queue.stop();
            throw;
        }
    };
    const int chunks = std::max((count + chunk - 1) / chunk, 1);
    const int helpers = std::clamp(threads, 1, chunks) - 1;
    std::vector<std::unique_ptr<WorkerThread>> workers;
    std::exception_ptr error;
    try {
        for (int thread = 1; thread <= helpers; ++thread)
            workers.push_back(std::make_unique<WorkerThread>([&take, thread] { take(thread); }));
        take(0);
    } catch (...) {
        error = std::current_exception();
        queue.stop();
    }
    for (auto& worker : workers) {
        try {
            worker->join();
        } catch (...) {
            if (!error)
                error = std::current_exception();
        }
    }
    if (error)
        std::rethrow_exception(error);
}

RowProgress::RowProgress(int rows) : m_done(size_t(std::max(rows, 0)), false) {}

void RowProgress::finished(int first, int count) {
    {
        std::lock_guard lock(m_mutex);
        for (int r = first; r < first + count; ++r)
            m_done[size_t(r)] = true;
        if (first > m_ready)
            return;
        while (m_ready < int(m_done.size()) && m_done[size_t(m_ready)])
            ++m_ready;
    }
    m_changed.notify_all();
}

void RowProgress::cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
}

int RowProgress::waitBeyond(int seen) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_cancelled || m_ready > seen; });
    return m_cancelled ? -1 : m_ready;
}

}  // namespace fk
