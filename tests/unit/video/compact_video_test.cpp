#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/exceptions.h"
#include "compact_rig.h"
#include "video/compact_canvas.h"
#include "video/compact_timeline.h"

namespace fk {
namespace {

using namespace test;

TEST(CompactVideo, WhatViewersComposeIsTheScreenAtEveryMomentInRealTime) {
    struct Case {
        Look look;
        int palette;
        bool exact;
    };
    for (const Case c : {Case{Look::Grey, 1, true}, Case{Look::Colour, 0, true},
                         Case{Look::Colour, 3, false}, Case{Look::Colour, 2, false}}) {
        SCOPED_TRACE("palette " + std::to_string(c.palette));
        CompactRig t(c.look, c.palette);
        t.host.speed = 10;
        t.video.ToggleVideo();
        EXPECT_EQ(t.files(), std::vector<std::string>{"video_7.gif"});
        EXPECT_EQ(t.host.saved, std::vector<std::string>{t.gif()});

        const ComposedGif gif = test::composeWithGiflib(t.gif());
        // Folded repeats: one frame per change of the screen.
        ASSERT_EQ(gif.frames.size(), 8u);
        EXPECT_EQ(gif.width, 80);
        EXPECT_EQ(gif.height, 48);
        for (const auto& f : gif.frames)
            EXPECT_EQ(f.disposal, 1);
        auto rect = [&](size_t k) {
            const auto& f = gif.frames[k];
            return std::vector<int>{f.left, f.top, f.width, f.height};
        };
        EXPECT_EQ(rect(0), (std::vector<int>{0, 0, 64, 48}));
        EXPECT_EQ(rect(1), (std::vector<int>{10, 7, 1, 1}));  // one pixel
        EXPECT_EQ(rect(2), (std::vector<int>{20, 20, 12, 9}));
        EXPECT_EQ(rect(3), (std::vector<int>{0, 30, 64, 14}));
        EXPECT_EQ(rect(4), (std::vector<int>{0, 0, 80, 48}));  // the screen grew: whole again
        EXPECT_EQ(rect(5), (std::vector<int>{2, 2, 3, 3}));
        EXPECT_EQ(rect(6), (std::vector<int>{0, 0, 80, 48}));  // and shrank
        EXPECT_EQ(rect(7), (std::vector<int>{63, 47, 1, 1}));
        // 256 grey levels changed there: with no entry left for transparency, the unchanged
        // pixels are written with the colours they show.
        EXPECT_EQ(gif.frames[3].transparent, c.palette != 1);
        // Where the smaller screen does not reach, the frame is black.
        EXPECT_EQ(gif.at(6, 70, 10), (Color{0, 0, 0}));
        EXPECT_EQ(gif.at(4, 10, 45), (Color{0, 0, 0}));

        // The grabs at 0, 100, 200, 300 (taking 37 ms), 400, 500 (taking 130 ms, so the next
        // one comes late at 631), 700, 800, 900, and the end one tick after the last.
        const int64_t recorded = t.centiseconds(t.host.assemblyStartMs);
        EXPECT_EQ(recorded, 100);
        EXPECT_EQ(gif.frames[4].delay, 13);
        EXPECT_EQ(totalDelay(gif), recorded);
        EXPECT_EQ(gif.frames[0].delay, 20);  // the repeat adds its time to the frame before
        t.expectShowsTheScene(gif, "giflib", c.exact);

        const ComposedGif pillow = test::composeWithPillow(t.gif());
        ASSERT_EQ(pillow.frames.size(), gif.frames.size());
        EXPECT_EQ(totalDelay(pillow), recorded);
        t.expectShowsTheScene(pillow, "Pillow", c.exact);
    }
}

TEST(CompactVideo, NeitherTheNumberOfWorkersNorTheStoreOnDiskChangesAByte) {
    CompactRig reference(Look::Colour);
    reference.video.ToggleVideo();
    const std::vector<uint8_t> bytes = test::readFileBytes(reference.gif());
    ASSERT_GT(bytes.size(), 100u);
    for (int workers : {1, 4}) {
        CompactRig t(Look::Colour, 3, workers);
        t.video.compactMemoryBytes = 0;  // every frame goes through the file
        t.video.ToggleVideo();
        EXPECT_EQ(test::readFileBytes(t.gif()), bytes) << workers << " workers";
        EXPECT_EQ(t.files(), std::vector<std::string>{"video_7.gif"});
    }
}

TEST(CompactVideo, ItsDelaysAddUpToTheClockAtAnyRateAndPace) {
    // Grabs that take irregular times, and a nested command holding the loop for 1234 ms.
    for (int rate : {5, 30, 50}) {
        CompactRig t(Look::Colour);
        t.host.speed = rate;
        for (size_t i = 0; i < t.grabber.scene.size(); ++i)
            t.grabber.scene[i].costMs = int(i * 7 % 23);
        t.pump.scheduleIn(15, [&t] { t.clock.now += 1234; });
        t.video.ToggleVideo();
        const ComposedGif gif = test::composeWithGiflib(t.gif());
        ASSERT_FALSE(gif.frames.empty());
        EXPECT_NEAR(double(totalDelay(gif)), double(t.centiseconds(t.host.assemblyStartMs)), 1.0)
            << rate;
        for (const auto& f : gif.frames)
            EXPECT_GE(f.delay, 2) << rate;
        t.expectShowsTheScene(gif, "giflib", false);
    }
}

TEST(CompactVideo, WhenTheEncodersFallBehindGrabsAreLeftOutRatherThanTheBacklogGrowing) {
    // On the fake clock the grab loop runs far ahead of the encoders' real time; the encoders
    // are allowed no more than the least backlog (two frames per worker).
    CompactRig t(Look::Colour);
    t.host.speed = 50;
    t.video.compactBacklogMs = 0;  // however fast the encoders are
    t.grabber.scene.clear();
    for (int i = 0; i < 200; ++i) {
        Bitmap b = picture(64, 48, Look::Colour, i % 7);
        b.setPixel(i % 64, i / 64, {255, 255, 255});
        t.grabber.scene.push_back({std::move(b), 0});
    }
    t.video.ToggleVideo();
    const auto& log = t.host.log;
    const auto busy = std::find(log.begin(), log.end(), "busy");
    ASSERT_NE(busy, log.end());
    // At most the bound, the frame the last grab made and the last frame.
    EXPECT_LE(std::atoi(busy[-2].c_str() + 8), 4 + 2) << busy[-2];
    const ComposedGif gif = test::composeWithGiflib(t.gif());
    EXPECT_EQ(totalDelay(gif), t.centiseconds(t.host.assemblyStartMs));
    t.expectShowsTheScene(gif, "giflib", false);
}

// Each rule of the colours where it counts, on a scene of its own: what every grab showed is
// what the composed animation shows by the end of the grab's step (Pillow and giflib).
TEST(CompactVideo, FlatAreasAreExactAndWhatALargeFrameLeftOffColourIsRepaired) {
    const Color desktop{58, 95, 127};
    auto fill = [](Bitmap& b, int x0, int y0, int x1, int y1, auto colour) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                b.setPixel(x, y, colour(x, y));
    };
    const Bitmap plain = [&] {
        Bitmap b(64, 48, PixelFormat::Device);
        fill(b, 0, 0, 64, 48, [&](int, int) { return desktop; });
        return b;
    }();
    struct Case {
        const char* rule;
        std::function<void(Bitmap&)> grab1;  // grab 0 is `plain` with a white block
        bool photo;                          // in the top left 30 x 20 pixels
        int levels;                          // a flat pixel may be off on a channel
        int shortest;  // frames shown for the shortest delay: a repaired one, parts shown at once
    };
    const Case cases[] = {
        // 336 blocks of 3 x 3 pixels in colours far apart: more flat colours than a table holds,
        // unchanged afterwards.
        {"a large frame's off-colour pixels are repaired",
         [&](Bitmap& b) {
             fill(b, 0, 0, 63, 48, [](int x, int y) {
                 const int i = y / 3 * 21 + x / 3;
                 return Color{uint8_t(i * 37), uint8_t(i * 91 + 40), uint8_t(i * 3 / 4)};
             });
         },
         false, CompactCanvas::kAllowedLevels, 1},
        // The white block leaves, uncovering the desktop, while a photo of 600 colours appears
        // beside.
        {"the desktop is written without noise beside a photo",
         [&](Bitmap& b) {
             fill(b, 30, 0, 60, 20, [&](int, int) { return desktop; });
             fill(b, 0, 0, 30, 20, [](int x, int y) {
                 const unsigned h = unsigned(x * 7919 + y * 104729) * 2654435761u;
                 return Color{uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8)};
             });
         },
         true, 0, 0},
        {"changes far apart are written apart at the same moment",
         [&](Bitmap& b) {
             fill(b, 0, 0, 8, 3, [](int x, int) { return Color{uint8_t(x * 30), 0, 0}; });
             fill(b, 52, 40, 64, 48, [](int, int y) { return Color{0, uint8_t(y * 5), 9}; });
         },
         false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        CompactRig t(Look::Colour);
        Bitmap first = plain;
        fill(first, 30, 0, 60, 20, [](int, int) { return Color{255, 255, 255}; });
        Bitmap second = first;
        c.grab1(second);
        Bitmap third = second;
        third.setPixel(63, 0, {1, 2, 3});
        t.grabber.scene = {{first, 0}, {second, 0}, {second, 0}, {third, 0}, {third, 0}};
        t.video.ToggleVideo();
        for (const auto& [gif, decoder] : {std::pair{composeWithGiflib(t.gif()), "giflib"},
                                           {composeWithPillow(t.gif()), "Pillow"}}) {
            const auto& grabs = t.grabber.grabs;
            for (size_t g = 0; g < grabs.size(); ++g) {
                const int64_t end =
                    g + 1 < grabs.size() ? t.centiseconds(grabs[g + 1].first) : totalDelay(gif);
                const size_t k = frameAt(gif, end - 1);
                const Bitmap& screen = t.grabber.scene[grabs[g].second].screen;
                int wrong = 0;
                for (int y = 0; y < 48; ++y)
                    for (int x = 0; x < 64; ++x) {
                        const bool flat = !c.photo || x >= 30 || y >= 20;
                        const Color got = gif.at(k, x, y), want = screen.pixel(x, y);
                        wrong += flat && (std::abs(got.red - want.red) > c.levels ||
                                          std::abs(got.green - want.green) > c.levels ||
                                          std::abs(got.blue - want.blue) > c.levels);
                    }
                EXPECT_EQ(wrong, 0) << decoder << ": grab " << g << " in frame " << k;
            }
            EXPECT_EQ(totalDelay(gif), t.centiseconds(t.host.assemblyStartMs)) << decoder;
            EXPECT_EQ(std::count_if(gif.frames.begin(), gif.frames.end(),
                                    [](const auto& f) { return f.delay == kShortestDelay; }),
                      c.shortest)
                << decoder;
        }
    }
}

TEST(CompactTimeline, FoldsRepeatsMergesFramesDueTooSoonAndCarriesTheRounding) {
    std::vector<CompactFrame> frames;
    CompactTimeline timeline([&](CompactFrame&& f) { frames.push_back(std::move(f)); });
    const Bitmap a = picture(8, 4, Look::Colour, 0);
    Bitmap b = a;
    b.setPixel(3, 2, {1, 2, 3});
    Bitmap c = b;
    c.setPixel(7, 0, {4, 5, 6});
    auto add = [&](const Bitmap& screen, int64_t ms) {
        Bitmap grab = screen;
        timeline.add(grab, ms);
    };
    add(a, 1000);
    add(a, 1033);  // a repeat
    add(b, 1067);  // 6.7 cs after the start: 7
    add(c, 1081);  // 8.1: less than 2 cs after b, so c replaces b from 7 on
    add(a, 1130);  // 13
    timeline.finish(1151);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].delay, 7);
    EXPECT_EQ(frames[0].rect.width, 8);
    // b and c together, against a.
    EXPECT_EQ(frames[1].delay, 6);
    EXPECT_EQ(frames[1].rect.left, 3);
    EXPECT_EQ(frames[1].rect.top, 0);
    EXPECT_EQ(frames[1].rect.width, 5);
    EXPECT_EQ(frames[1].rect.height, 3);
    const uint8_t* corner = frames[1].rect.pixels.data() + 4 * 4;  // (7, 0)
    EXPECT_EQ(std::vector<int>(corner, corner + 4), (std::vector<int>{6, 5, 4, 0}));
    EXPECT_EQ(frames[1].rect.pixels[3], kUnchangedPixel);  // (3, 0)
    EXPECT_EQ(frames[2].delay, 2);                         // 15.1 rounds to 15
    EXPECT_EQ(timeline.emittedDuration(), 15);

    // The same picture at another colour depth starts a new whole frame; repeats at that depth
    // fold into it.
    std::vector<CompactFrame> again;
    CompactTimeline other([&](CompactFrame&& f) { again.push_back(std::move(f)); });
    Bitmap deeper = c;
    deeper.setPixelFormat(PixelFormat::Bits24);
    for (const auto& [screen, ms] : {std::pair{&c, 2000}, {&deeper, 2100}, {&deeper, 2200}}) {
        Bitmap grab = *screen;
        other.add(grab, ms);
    }
    other.finish(2300);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].delay, 20);
    ASSERT_EQ(again[1].rect.width * again[1].rect.height, 32);
    for (size_t i = 3; i < again[1].rect.pixels.size(); i += 4)
        EXPECT_EQ(again[1].rect.pixels[i], 0) << "a pixel of a whole frame left transparent";
}

// The failures of the compact video end it as the video's failures do; what was recorded before
// a failure is kept as a complete file when that is possible, and the message says so.
TEST(CompactVideo, AFailureSavesTheVideoUpToTheLastGoodFrameAndSaysSo) {
    CompactRig whole(Look::Colour);
    whole.video.ToggleVideo();
    const ComposedGif full = test::composeWithGiflib(whole.gif());
    ASSERT_EQ(full.frames.size(), 8u);
    const uint64_t fullSize = std::filesystem::file_size(whole.gif());

    // The disk fills while the video is written.
    {
        CompactRig t(Look::Colour);
        const std::string message =
            test::runWithFileSizeLimit(fullSize * 2 / 3, [&t] { t.video.ToggleVideo(); });
        EXPECT_NE(message.find("Cannot write file \"" + t.gif() + "\""), std::string::npos)
            << message;
        EXPECT_NE(message.find("The video \"" + t.gif() + "\" was saved with the first"),
                  std::string::npos)
            << message;
        EXPECT_EQ(t.files(), std::vector<std::string>{"video_7.gif"});
        const ComposedGif part = test::composeWithGiflib(t.gif());
        ASSERT_GE(part.frames.size(), 1u);
        ASSERT_LT(part.frames.size(), full.frames.size());
        int64_t seconds = 0;
        for (size_t k = 0; k < part.frames.size(); ++k) {
            EXPECT_EQ(part.frames[k].delay, full.frames[k].delay);
            seconds += part.frames[k].delay;
            for (int y = 0; y < part.height; ++y)
                for (int x = 0; x < part.width; ++x)
                    ASSERT_EQ(part.at(k, x, y), full.at(k, x, y)) << "frame " << k;
        }
        char text[32];
        std::snprintf(text, sizeof text, "the first %.2f seconds", double(seconds) / 100);
        EXPECT_NE(message.find(text), std::string::npos) << message;
        EXPECT_EQ(test::composeWithPillow(t.gif()).frames.size(), part.frames.size());
    }

    // The store vanishes: the frames it held are still read, and the video is kept.
    {
        CompactRig t(Look::Colour);
        t.video.compactMemoryBytes = 0;
        // The first two frames are in it by then; the loop notices at its next grab.
        t.pump.scheduleIn(350, [&t] { ASSERT_TRUE(std::filesystem::remove(t.gif() + ".tmp")); });
        const std::string message = test::thrownMessage([&t] { t.video.ToggleVideo(); });
        EXPECT_NE(message.find("has disappeared"), std::string::npos) << '"' << message << '"';
        EXPECT_NE(message.find("was saved with the first 0.30 seconds"), std::string::npos)
            << '"' << message << '"';
        EXPECT_EQ(t.files(), std::vector<std::string>{"video_7.gif"});
        EXPECT_EQ(t.host.saved, std::vector<std::string>{t.gif()});
        EXPECT_EQ(test::composeWithGiflib(t.gif()).frames.size(), 2u);
        EXPECT_EQ(t.host.log.back(), "idle");
    }
}

TEST(CompactVideo, WhatCannotBeSavedLeavesNothingAndRestoresTheControls) {
    const std::vector<test::FailureCase<CompactRig>> cases = {
        {"folder missing", [](CompactRig& t) { t.host.folder = t.dir.file("none"); },
         "Cannot create file"},
        {"video file deleted",
         [](CompactRig& t) {
             t.pump.scheduleIn(150, [&t] {
                 for (const std::string& name : t.files())
                     if (name.size() > 5 && name.substr(name.size() - 5) == ".part")
                         std::filesystem::remove(t.dir.file(name));
             });
         },
         "The video file"},
    };
    for (const auto& c : cases) {
        CompactRig t(Look::Grey);
        c.arrange(t);
        const std::string message = test::thrownMessage([&t] { t.video.ToggleVideo(); });
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": \"" << message << '"';
        EXPECT_FALSE(t.video.VideoOn) << c.name;
        EXPECT_TRUE(t.files().empty()) << c.name;
        EXPECT_TRUE(t.host.saved.empty()) << c.name;
        // The caption, the bar and the window are back, whatever came before.
        const auto& log = t.host.log;
        const auto restored = std::find(log.rbegin(), log.rend(), "caption Съемка видео");
        ASSERT_NE(restored, log.rend()) << c.name;
        std::vector<std::string> tail(restored.base(), log.end());
        std::erase(tail, "progress 0");
        ASSERT_FALSE(tail.empty()) << c.name;
        EXPECT_EQ(tail.front(), "enable") << c.name;
        EXPECT_EQ(t.host.lastProgress, 0) << c.name;
    }
}

TEST(CompactVideo, ClosingWhileRecordingWritesTheVideoThenEndsTheWaits) {
    CompactRig t(Look::Colour);
    t.pump.scheduleIn(250, [&t] {
        t.video.stop();
        throw EWaitsEnded();
    });
    EXPECT_THROW(t.video.ToggleVideo(), EWaitsEnded);
    EXPECT_EQ(t.files(), std::vector<std::string>{"video_7.gif"});
    EXPECT_EQ(test::composeWithGiflib(t.gif()).frames.size(), 2u);  // the screens at 0 and 200
    EXPECT_EQ(t.host.log.back(), "idle");
}

TEST(CompactVideo, AfterTheStopTheProgressBarCountsTheBacklog) {
    CompactRig t(Look::Colour);
    t.video.ToggleVideo();
    const auto& log = t.host.log;
    const auto busy = std::find(log.begin(), log.end(), "busy");
    ASSERT_NE(busy, log.end());
    ASSERT_EQ(busy[-2].rfind("maximum ", 0), 0u) << busy[-2];
    const int backlog = std::atoi(busy[-2].c_str() + 8);
    EXPECT_LE(backlog, 8);
    const auto idle = std::find(log.begin(), log.end(), "caption Съемка видео");
    ASSERT_NE(idle, log.end());
    int last = 0;
    for (auto it = busy; it != idle; ++it)
        if (it->rfind("progress ", 0) == 0)
            last = std::atoi(it->c_str() + 9);
    EXPECT_EQ(last, backlog);
}

}  // namespace
}  // namespace fk
