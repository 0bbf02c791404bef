#include "gif/reduction/row_walks.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "base/threads.h"

namespace fk {

namespace {

// Copies finished rows out for a follower and gives them to it in order.
class RowFeed {
public:
    explicit RowFeed(const WalkOutput& out)
        : m_indexes(out.options.indexes),
          m_follower(out.options.follower),
          m_place(out.follower),
          m_width(size_t(out.width)),
          m_height(out.height) {}

    // Row r of the result is final.
    void stored(int r, const uint8_t* indexes) const {
        if (m_indexes)
            std::memcpy(m_indexes + size_t(r) * m_width, indexes, m_width);
    }

    // Runs walk(report) on the calling thread, where the walk calls report(first, last) whenever
    // rows first..last - 1 are final (in any order, from any thread, when the walk uses several),
    // while the follower takes them in order: on a thread of its own, or on this one after each
    // report when the walk goes in order on this thread alone.
    template <class Walk>
    void follow(Walk&& walk) {
        switch (m_place) {
            case FollowerPlace::None:
                walk([](int, int) {});
                return;
            case FollowerPlace::AfterEachGroup:
                walk([&](int first, int last) { m_follower->Take(first, last - first); });
                return;
            case FollowerPlace::OwnThread:
                followOnOwnThread(walk);
                return;
        }
    }

private:
    template <class Walk>
    void followOnOwnThread(Walk& walk) {
        RowProgress progress(m_height);
        WorkerThread follower([&] {
            for (int taken = 0; taken < m_height;) {
                const int ready = progress.waitBeyond(taken);
                if (ready < 0)
                    return;
                m_follower->Take(taken, ready - taken);
                taken = ready;
            }
        });
        try {
            std::atomic<int> reported = 0;
            walk([&](int first, int last) {
                progress.finished(first, last - first);
                reported += last - first;
            });
            if (reported < m_height)
                progress.cancel();
        } catch (...) {
            progress.cancel();
            try {
                follower.join();
            } catch (...) {
            }
            throw;
        }
        follower.join();
    }

    uint8_t* m_indexes;
    RowFollower* m_follower;
    FollowerPlace m_place;
    size_t m_width;
    int m_height;
};

// Maps the rows top to bottom through mapRow(row, indexes), reporting them in groups.
template <class MapRow>
void walkRows(TDitherEngine& ditherer, const WalkOutput& out, MapRow&& mapRow) {
    RowFeed feed(out);
    feed.follow([&](auto&& report) {
        for (int row = 0, group = 0; row < out.height; ++row) {
            uint8_t* to = out.writer.ScanRow(row);
            mapRow(row, to);
            ditherer.EndRow();
            feed.stored(row, to);
            if ((row + 1) % kRowsPerChunk == 0 || row + 1 == out.height) {
                report(group, row + 1);
                group = row + 1;
            }
        }
    });
}

}  // namespace

void walkSerpentine(TDitherEngine& ditherer, SourceRows& rows, const WalkOutput& out) {
    walkRows(ditherer, out, [&](int row, uint8_t* to) { ditherer.MapRow(rows.row24(row), to); });
}

void walkSerpentine32(TBurkesDitherer& ditherer, SourceRows& rows, const WalkOutput& out) {
    walkRows(ditherer, out,
             [&](int row, uint8_t* to) { ditherer.MapRow32(rows.sourceRow(row), to); });
}

void matchChunks(int threads, const std::function<std::unique_ptr<TColorLookup>()>& makeLookup,
                 SourceRows& rows, const WalkOutput& out) {
    out.writer.ScanRow(0);  // allocates the rows before the threads share them
    std::vector<std::unique_ptr<TColorLookup>> own{size_t(threads)};
    RowFeed feed(out);
    feed.follow([&](auto&& report) {
        forEachChunk(threads, out.height, kRowsPerChunk, [&](int thread, int first, int last) {
            std::unique_ptr<TColorLookup>& lookup = own[size_t(thread)];
            if (!lookup)
                lookup = makeLookup();
            for (int row = first; row < last; ++row) {
                const uint8_t* from = rows.row24(row);
                uint8_t* to = out.writer.ScanRow(row);
                lookup->MatchPixels(from, to, out.width);
                feed.stored(row, to);
            }
            report(first, last);
        });
    });
}

}  // namespace fk
