#include "gif/animation_writer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/gif_stream_writer.h"

namespace fk {

namespace {

// Signature and logical screen descriptor; without a global colour table nothing follows them.
constexpr size_t kBareHeaderSize = 13;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kFramesInFlightPerWorker = 2;

// One frame as it goes into the file, made without knowing the other frames.
struct EncodedFrame {
    std::vector<uint8_t> bytes;  // extensions, descriptor, local colour table, image data
    int colorDepth = 0;
    int version = 0;
    int right = 0;
    int bottom = 0;
    // A single frame's colour table moves into the header, so its document is kept whole.
    std::unique_ptr<TGIFImage> wholeDocument;
};

EncodedFrame encodeFrame(const TGIFImage& settings, const AnimationSource& source, int index,
                         Bitmap& bitmap) {
    // A document of its own per frame: making a frame touches its document's logical screen.
    auto doc = std::make_unique<TGIFImage>();
    doc->setReductionKind(settings.reductionKind());
    doc->setDitherKind(settings.ditherKind());
    doc->setPaletteBits(settings.paletteBits());
    source.frameBitmap(index, bitmap);
    doc->AddFrame(bitmap);
    TGIFSubImage& frame = doc->frame(0);
    if (source.decorate)
        source.decorate(index, frame);

    EncodedFrame encoded;
    encoded.colorDepth = frame.colorMap().ColorDepth();
    encoded.version = frame.RequiredVersion();
    encoded.right = frame.left() + frame.width();
    encoded.bottom = frame.top() + frame.height();
    if (source.frameCount == 1) {
        encoded.wholeDocument = std::move(doc);
        return encoded;
    }
    frame.dropCaches();
    // The code size of a frame without its own table would depend on the frames still to come.
    // Frames made from bitmaps always have one.
    if (!frame.empty() && frame.colorMap().empty())
        throw GIFException(gif_text::kColorTableEmpty);
    GifLayout layout;
    layout.version = encoded.version;
    layout.maxColorDepth = encoded.colorDepth;
    layout.maxLocalColorDepth = encoded.colorDepth;
    MemoryStream bytes;
    GifStreamWriter(bytes, ekLZW).writeFrame(frame, layout);
    encoded.bytes = bytes.takeBytes();
    return encoded;
}

// Encodes frames on worker threads, at most a fixed number ahead of the one the writer waits
// for; the writer takes them strictly in order.
class OrderedFrameEncoder {
public:
    OrderedFrameEncoder(const TGIFImage& settings, const AnimationSource& source, int workers)
        : m_settings(settings),
          m_source(source),
          m_window(workers * kFramesInFlightPerWorker),
          m_slots(size_t(m_window)) {
        m_threads.reserve(size_t(workers));
        try {
            for (int i = 0; i < workers; ++i)
                m_threads.emplace_back([this] { work(); });
        } catch (...) {
            stopAndJoin();
            throw;
        }
    }
    ~OrderedFrameEncoder() { stopAndJoin(); }
    OrderedFrameEncoder(const OrderedFrameEncoder&) = delete;
    OrderedFrameEncoder& operator=(const OrderedFrameEncoder&) = delete;

    // Frame `index`, which must be the next one; reports progress while it waits.
    EncodedFrame take(int index) {
        Slot& slot = m_slots[size_t(index % m_window)];
        std::unique_lock lock(m_mutex);
        while (!slot.done) {
            if (m_doneCv.wait_for(lock, kProgressInterval) == std::cv_status::timeout &&
                m_source.progress) {
                lock.unlock();
                m_source.progress(index);
                lock.lock();
            }
        }
        Slot taken = std::move(slot);
        slot = Slot{};
        m_taken = index + 1;
        lock.unlock();
        m_workCv.notify_all();
        if (taken.error)
            std::rethrow_exception(taken.error);
        return std::move(*taken.frame);
    }

private:
    struct Slot {
        bool done = false;
        std::optional<EncodedFrame> frame;
        std::exception_ptr error;
    };

    void work() {
        Bitmap bitmap;  // one per worker: a fresh screen-sized one per frame costs page faults
        for (;;) {
            int index;
            {
                std::unique_lock lock(m_mutex);
                m_workCv.wait(lock, [&] {
                    return m_stop || m_next >= m_source.frameCount || m_next < m_taken + m_window;
                });
                if (m_stop || m_next >= m_source.frameCount)
                    return;
                index = m_next++;
            }
            Slot result;
            try {
                result.frame = encodeFrame(m_settings, m_source, index, bitmap);
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

    void stopAndJoin() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workCv.notify_all();
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
        m_threads.clear();
    }

    const TGIFImage& m_settings;
    const AnimationSource& m_source;
    const int m_window;
    std::mutex m_mutex;
    std::condition_variable m_workCv;
    std::condition_variable m_doneCv;
    std::vector<Slot> m_slots;  // frame i waits in slot i % window until it is taken
    int m_next = 0;             // the next frame a worker may start
    int m_taken = 0;            // frames the writer has taken
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

void reportProgress(const AnimationSource& source, int written) {
    if (source.progress)
        source.progress(written);
}

}  // namespace

int defaultWorkerCount() {
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

void WriteAnimation(Stream& out, const TGIFImage& settings, const AnimationSource& source,
                    int workers) {
    const int count = source.frameCount;
    if (count <= 0)
        throw GIFException(gif_text::kUnsupportedVersion);
    OrderedFrameEncoder encoder(settings, source, std::clamp(workers, 1, count));

    if (count == 1) {
        // As the document path does it: the table moves into the header, and the copy (with its
        // own default encoder) is what is written.
        EncodedFrame only = encoder.take(0);
        only.wholeDocument->PackForSave();
        TGIFImage copy;
        copy.CopyFrom(*only.wholeDocument);
        only.wholeDocument.reset();
        copy.SaveToStream(out);
        reportProgress(source, 1);
        return;
    }

    const uint64_t start = out.position();
    const uint8_t placeholder[kBareHeaderSize] = {};
    out.write(placeholder, sizeof placeholder);
    GifLayout layout;
    int right = 0;
    int bottom = 0;
    for (int i = 0; i < count; ++i) {
        EncodedFrame frame = encoder.take(i);
        out.write(frame.bytes.data(), frame.bytes.size());
        layout.version = std::max(layout.version, frame.version);
        layout.maxColorDepth = std::max(layout.maxColorDepth, frame.colorDepth);
        layout.maxLocalColorDepth = layout.maxColorDepth;
        right = std::max(right, frame.right);
        bottom = std::max(bottom, frame.bottom);
        reportProgress(source, i + 1);
    }
    GifStreamWriter(out, ekLZW).writeTrailer();
    const uint64_t end = out.position();

    TGIFImage screen;
    screen.growScreen(right, bottom);
    MemoryStream header;
    GifStreamWriter(header, ekLZW).writeHeader(screen.header(), layout);
    if (header.size() != kBareHeaderSize)
        throw GIFException(gif_text::kUnsupportedVersion);
    out.seek(start);
    out.write(header.bytes().data(), header.bytes().size());
    out.seek(end);
}

}  // namespace fk
