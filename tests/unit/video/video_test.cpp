#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/exceptions.h"
#include "gif/gif_image.h"
#include "platform/fake/fake_platform.h"
#include "support/test_support.h"
#include "video/video_gif.h"
#include "video/video_recorder.h"
#include "video_test_host.h"

namespace fk {
namespace {

using test::FakeVideoHost;

Bitmap pattern(int index, int width = 23, int height = 17) {
    Bitmap b = test::makeTestPattern(width, height, PixelFormat::Bits32, uint32_t(index + 1));
    // A corner that tells the frames apart after any palette.
    b.setPixel(0, 0, index % 2 ? Color{255, 255, 255} : Color{0, 0, 0});
    return b;
}

std::vector<uint8_t> bytesOf(const std::function<void(Stream&)>& write) {
    MemoryStream out;
    write(out);
    return out.takeBytes();
}

TEST(VideoGif, StreamingEqualsTheDocumentPathForEveryPaletteAndThreadCount) {
    const VideoFrames frames{0, [](int i, Bitmap& into) { into = pattern(i); }};
    for (int count : {1, 2, 5}) {
        for (int palette : {-1, 0, 1, 2, 3}) {
            TGIFImage settings;
            applyVideoSettings(settings, palette);
            VideoFrames these = frames;
            these.count = count;
            const auto reference =
                bytesOf([&](Stream& out) { SaveVideoDocument(out, settings, these, 40); });
            ASSERT_GT(reference.size(), 13u);
            for (int workers : {1, 2, 4}) {
                std::vector<int> progress;
                const auto streamed = bytesOf([&](Stream& out) {
                    StreamVideo(out, settings, these, 40, workers,
                                [&](int n) { progress.push_back(n); });
                });
                EXPECT_EQ(streamed, reference)
                    << count << " frames, palette " << palette << ", " << workers << " workers";
                ASSERT_FALSE(progress.empty());
                EXPECT_EQ(progress.back(), count);
            }
            // A single frame's table is the global one: GIF89a, global table of 256 entries,
            // a descriptor without a local table.
            if (count == 1) {
                EXPECT_EQ(std::string(reference.begin(), reference.begin() + 6), "GIF89a");
                EXPECT_EQ(reference[10], 0xF7);
                const size_t descriptor = 13 + 768 + 19 + 8;
                EXPECT_EQ(reference[descriptor], 0x2C);
                EXPECT_EQ(reference[descriptor + 9], 0x00);
            } else {
                EXPECT_EQ(reference[10], 0x77);  // no global table
            }
        }
    }
}

// A recording over a fake display whose every grab shows another picture.
struct VideoRig {
    explicit VideoRig(int width = 23, int height = 17) {
        host.folder = dir.path();
        grabber.screen = {0, 0, width, height};
        grabber.painter = [width, height](int grab, Bitmap& into) {
            const Bitmap p = pattern(grab, width, height);
            std::memcpy(into.bits(), p.bits(), p.imageSize());
        };
    }
    // Presses the toggle again `afterMs` milliseconds into the recording.
    void stopAfter(int64_t afterMs) {
        pump.scheduleIn(afterMs, [this] { video.ToggleVideo(); });
    }
    std::vector<std::string> files() const { return test::fileNames(dir.path()); }
    std::string tmpPath() const { return dir.file("video_7.gif.tmp"); }

    test::TempDir dir;
    FakeGrabber grabber;
    FakeVideoHost host;
    FakeClock clock;
    FakeEventPump pump{clock};
    Capture capture{grabber, host, clock, pump};
    VideoRecorder video{capture, host, 2};
};

class RecordVideoTest : public ::testing::Test, protected VideoRig {};

TEST_F(RecordVideoTest, RecordsUntilStoppedThenWritesTheLoopingVideo) {
    host.speed = 15;
    stopAfter(12);  // inside the third pause
    video.ToggleVideo();

    EXPECT_FALSE(video.VideoOn);
    EXPECT_EQ(grabber.screenGrabs, 3);
    EXPECT_EQ(grabber.grabsIntoReadyBitmap, 2);  // one bitmap for every grab
    EXPECT_EQ(files(), std::vector<std::string>{"video_7.gif"});
    const std::vector<std::string> expected = {"caption СТОП!",
                                               "number 8",
                                               "caption ЖДИТЕ!",
                                               "disable",
                                               "maximum 3",
                                               "disable",
                                               "busy",
                                               "progress 1",
                                               "progress 2",
                                               "progress 3",
                                               "caption Съемка видео",
                                               "progress 0",
                                               "enable",
                                               "idle"};
    EXPECT_EQ(host.log, expected);

    // The same bytes as the whole document makes of the same frames.
    TGIFImage settings;
    applyVideoSettings(settings, host.palette);
    const auto reference = bytesOf([&](Stream& out) {
        SaveVideoDocument(out, settings, {3, [](int i, Bitmap& into) { into = pattern(i); }}, 35);
    });
    EXPECT_EQ(test::readFileBytes(dir.file("video_7.gif")), reference);
}

TEST_F(RecordVideoTest, TheNameFollowsTheVideoTypeAndTheRunningNumber) {
    host.entry = VideoEntry::NotSelected;
    host.counter = "abc";
    stopAfter(1);
    video.ToggleVideo();
    EXPECT_EQ(files(), std::vector<std::string>{"video_0"});
    EXPECT_EQ(host.counter, "1");
}

TEST_F(RecordVideoTest, ClosingWhileRecordingWritesTheVideoThenEndsTheWaits) {
    pump.scheduleIn(7, [this] {
        video.stop();
        throw EWaitsEnded();
    });
    EXPECT_THROW(video.ToggleVideo(), EWaitsEnded);
    EXPECT_EQ(files(), std::vector<std::string>{"video_7.gif"});
    EXPECT_EQ(test::decodeWithPillow(dir.file("video_7.gif"), 1).width, 23);  // two frames
    EXPECT_EQ(host.log.back(), "idle");
}

// Every failure ends the video alike: the flag cleared, the temporary file gone, the controls
// restored, the error passed on, and no video file left that looks finished.
TEST_F(RecordVideoTest, FailuresRestoreEverythingAndLeaveNoFiles) {
    const std::vector<test::FailureCase<VideoRig>> cases = {
        {"folder missing", [](VideoRig& t) { t.host.folder = t.dir.file("none"); },
         "Cannot create file"},
        {"temporary file deleted",
         [](VideoRig& t) {
             t.pump.scheduleIn(6, [&t] { ::unlink(t.tmpPath().c_str()); });
             t.stopAfter(30);
         },
         "has disappeared"},
        {"temporary file cut short",
         [](VideoRig& t) {
             t.pump.scheduleIn(11, [&t] { ASSERT_EQ(::truncate(t.tmpPath().c_str(), 100), 0); });
             t.stopAfter(30);
         },
         "has been cut short"},
        {"frame unreadable",
         [](VideoRig& t) {
             t.pump.scheduleIn(11, [&t] {
                 auto bytes = test::readFileBytes(t.tmpPath());
                 bytes[1618] = 'X';  // the second frame's "BM"
                 test::writeFileBytes(t.tmpPath(), bytes);
             });
             t.stopAfter(12);
         },
         "Cannot read frame 2 of the temporary file"},
    };
    for (const auto& c : cases) {
        VideoRig t;
        c.arrange(t);
        const std::string message = test::thrownMessage([&t] { t.video.ToggleVideo(); });
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": \"" << message << '"';
        EXPECT_FALSE(t.video.VideoOn) << c.name;
        EXPECT_TRUE(t.files().empty()) << c.name;
        ASSERT_GE(t.host.log.size(), 3u);
        const std::vector<std::string> tail(t.host.log.end() - 3, t.host.log.end());
        const bool busy =
            std::find(t.host.log.begin(), t.host.log.end(), "busy") != t.host.log.end();
        const std::vector<std::string> restored =
            busy ? std::vector<std::string>{"progress 0", "enable", "idle"}
                 : std::vector<std::string>{"caption Съемка видео", "progress 0", "enable"};
        EXPECT_EQ(tail, restored) << c.name;
    }
}

// A file that may not grow past a limit stands for a full disk (each file on its own).
TEST_F(RecordVideoTest, AFullDiskWhileRecordingOrWritingEndsTheVideoCleanly) {
    // A frame record of 23x17 pixels takes 1618 bytes, one of 10x10 454 bytes; a GIF frame
    // takes more than its 768-byte colour table, so five small frames fit in the temporary
    // file but not in the video.
    struct Case {
        int side;
        uint64_t limit;
        int64_t stopMs;
    };
    for (const Case c : {Case{23, 5000, 60}, Case{10, 3000, 22}}) {
        VideoRig t(c.side, c.side == 23 ? 17 : c.side);
        t.stopAfter(c.stopMs);
        const std::string outcome = test::runWithFileSizeLimit(c.limit, [&t] {
            try {
                t.video.ToggleVideo();
            } catch (const Exception& e) {
                throw Exception(std::string(e.what()) + "|" + t.host.log.back() + "|" +
                                (t.video.VideoOn ? "on" : "off"));
            }
        });
        EXPECT_NE(outcome.find("Cannot write file"), std::string::npos) << outcome;
        EXPECT_NE(outcome.find(c.side == 23 ? ".tmp" : "video_7.gif"), std::string::npos)
            << outcome;
        EXPECT_NE(outcome.find("|off"), std::string::npos) << outcome;
        EXPECT_TRUE(t.files().empty()) << c.side;
    }
}

}  // namespace
}  // namespace fk
