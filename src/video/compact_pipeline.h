#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/exceptions.h"
#include "gif/frame_pipeline.h"
#include "gif/gif_image.h"
#include "video/compact_canvas.h"
#include "video/compact_timeline.h"
#include "video/frame_store.h"
#include "video/growing_gif.h"

namespace fk {

// A failure cut the recording short, but the video up to the last good frame was saved. The
// message says both.
class EVideoSavedInPart : public Exception {
public:
    EVideoSavedInPart(const std::string& message, std::string path)
        : Exception(message), m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The compact video while it is recorded: the frames handed over wait in a FrameStore, are
// encoded on worker threads and written in order to the video file, all while the recording
// goes on; the grab loop never waits for them.
class CompactPipeline {
public:
    // The store is the video's name + ".tmp", kept in memory up to `memoryBytes`.
    CompactPipeline(const std::string& videoName, const TGIFImage& settings, int workers,
                    size_t memoryBytes, CompactColours colours = CompactColours::Exact);
    ~CompactPipeline();
    CompactPipeline(const CompactPipeline&) = delete;
    CompactPipeline& operator=(const CompactPipeline&) = delete;

    // The next frame. Throws when the store cannot take it.
    void put(CompactFrame&& frame);
    // Throws the first failure of the encoders or of writing, and when the video file or the
    // store has disappeared.
    void check() const;
    // Frames handed over and not written yet.
    int backlog() const { return m_put - m_written; }
    // How many frames the encoders make in `ms` at the pace of the latest ones (never fewer than
    // two per worker).
    int framesEncodedWithin(int ms) const;

    // No more frames come: waits until those handed over are written, telling `progress` how
    // many of the backlog are done, and completes the video. After a failure (`failure`, or one
    // met meanwhile) the video is completed up to the last frame written and EVideoSavedInPart
    // reports both; when no frame was written, or the file has gone, the failure passes on and
    // nothing is left.
    void finish(std::exception_ptr failure, const std::function<void(int done)>& progress);

    // For a process that ends without coming back here: deletes the names of the store and of
    // the unfinished video; threads still using them go on.
    void abandon();

    const FrameStore& store() const { return m_store; }

private:
    struct WrittenFrame {
        EncodedFrame encoded;
        int64_t delay = 0;
        // When off-colour pixels are repaired: the screen's rectangle and the pixels as written.
        ChangedRect rect;
        FramePixels pixels;
    };
    // What a worker keeps from one frame to the next.
    struct Scratch {
        Scratch();
        Bitmap bitmap;
    };

    WrittenFrame encode(int index, Scratch& scratch);
    void writeFrames();
    void append(int index, WrittenFrame& frame);
    // Appends the frame and after it, taking all but the shortest delay from it, a frame that
    // repairs what frames up to `serial` left off-colour (when there is room for one).
    void appendRepaired(int index, WrittenFrame& frame, int serial);
    std::exception_ptr failure() const;
    [[noreturn]] void reportCut(std::exception_ptr failure);

    const TGIFImage& m_settings;
    const CompactColours m_colours;
    const bool m_repairing;
    CompactCanvas m_canvas;  // the writer's
    Bitmap m_writerScratch;
    const int m_workerCount;
    GrowingGif m_file;
    FrameStore m_store;
    FramePipeline<WrittenFrame, Scratch> m_workers;
    int m_put = 0;
    std::atomic<int> m_written{0};
    std::atomic<int64_t> m_writtenDuration{0};  // hundredths of a second
    mutable std::mutex m_mutex;
    std::exception_ptr m_failure;
    double m_encodeMs = 0;  // a running average of the wall time a worker takes per frame
    std::condition_variable m_writerDoneCv;
    bool m_writerDone = false;
    std::thread m_writer;
};

}  // namespace fk
