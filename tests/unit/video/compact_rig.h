#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "composed_gif.h"
#include "gif/gif_image.h"
#include "platform/fake/fake_platform.h"
#include "support/test_support.h"
#include "video/video_gif.h"
#include "video/video_recorder.h"
#include "video_test_host.h"

// The scripted scenes of the compact video's tests, and the rig that records them.
namespace fk::test {

enum class Look { Grey, Colour };

inline Color paint(Look look, int x, int y, int seed) {
    if (look == Look::Grey) {
        const auto v = uint8_t(x + 64 * y + seed * 7);
        return {v, v, v};
    }
    return {uint8_t(x * 5 + seed * 20), uint8_t(y * 7 + x * 2), uint8_t(x * y + seed * 40)};
}

inline Bitmap picture(int width, int height, Look look, int seed) {
    Bitmap b(width, height, PixelFormat::Device);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, paint(look, x, y, seed));
    return b;
}

// The screen as it shows after a colour reduction that depends on the colour alone.
inline Color reduced(int palette, Color c) {
    const int sum = 77 * c.red + 150 * c.green + 29 * c.blue;
    if (palette == 0)
        return sum > 32512 ? Color{255, 255, 255} : Color{0, 0, 0};
    const auto y = uint8_t(sum >> 8);
    return {y, y, y};
}

// A display showing a scripted scene: grab i shows screen i (the last again after the end) and
// takes its time on the clock; the recording is stopped after the last one.
struct SceneGrabber final : ScreenGrabber {
    struct Shot {
        Bitmap screen;
        int costMs = 0;
    };
    explicit SceneGrabber(FakeClock& clock) : clock(clock) {}

    ScreenRect screenRect() override { return last; }
    void grabScreen(Bitmap& into) override {
        const size_t i = std::min(grabs.size(), scene.size() - 1);
        grabs.push_back({clock.now, i});
        into = scene[i].screen;
        last = {0, 0, into.width(), into.height()};
        clock.now += scene[i].costMs;
        if (grabs.size() == scene.size() && afterLast)
            afterLast();
    }
    std::optional<WindowHandle> foregroundWindow() override { return {}; }
    ScreenRect grabWindow(WindowHandle, Bitmap&) override { return {}; }
    std::optional<CursorImage> cursor() override { return {}; }
    void setExcludedWindows(const std::vector<WindowHandle>&) override {}

    FakeClock& clock;
    std::vector<Shot> scene;
    std::function<void()> afterLast;
    std::vector<std::pair<int64_t, size_t>> grabs;  // when, and which screen
    ScreenRect last;
};

// The scene: a folded repeat, one pixel, a block, 256 colours in a rectangle that also holds
// unchanged pixels, a larger screen of other proportions, and back.
inline std::vector<SceneGrabber::Shot> makeScene(Look look) {
    std::vector<SceneGrabber::Shot> s;
    auto next = [&](int cost, const std::function<void(Bitmap&)>& change) {
        Bitmap b = s.back().screen;
        change(b);
        s.push_back({std::move(b), cost});
    };
    s.push_back({picture(64, 48, look, 0), 0});
    next(0, [](Bitmap&) {});
    next(0, [](Bitmap& b) { b.setPixel(10, 7, {200, 17, 99}); });
    next(37, [&](Bitmap& b) {
        for (int y = 20; y < 29; ++y)
            for (int x = 20; x < 32; ++x)
                b.setPixel(x, y, paint(look, x * 3, y, 3));
    });
    next(0, [&](Bitmap& b) {
        for (int i = 0; i < 256; ++i) {
            const auto v = uint8_t(i * 37 + 11);
            b.setPixel(
                i % 64, 40 + i / 64,
                look == Look::Grey ? Color{v, v, v} : Color{v, uint8_t(255 - v), uint8_t(i)});
        }
        b.setPixel(5, 30, look == Look::Grey ? Color{3, 3, 3} : Color{250, 3, 3});
    });
    s.push_back({picture(80, 40, look, 5), 130});
    next(0, [&](Bitmap& b) {
        for (int y = 2; y < 5; ++y)
            for (int x = 2; x < 5; ++x)
                b.setPixel(x, y, {255, 255, 255});
    });
    s.push_back({s[4].screen, 0});
    next(0, [](Bitmap&) {});
    next(0, [](Bitmap& b) { b.setPixel(63, 47, {0, 0, 0}); });
    return s;
}

inline double meanError(const Bitmap& screen, const std::vector<Color>& shown) {
    double error = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const Color want = screen.pixel(x, y);
            const Color got = shown[size_t(y * screen.width() + x)];
            error += std::abs(got.red - want.red) + std::abs(got.green - want.green) +
                     std::abs(got.blue - want.blue);
        }
    return error / (3.0 * screen.width() * screen.height());
}

// How far a still GIF picture of the screen with the same palette is from it.
inline double stillPictureError(const Bitmap& screen, int palette) {
    TGIFImage settings;
    applyVideoSettings(settings, palette);
    Bitmap source = screen;
    const Bitmap still = MakePalettedBitmap(source, settings.reductionKind(), settings.ditherKind(),
                                            settings.paletteBits(), nullptr);
    std::vector<Color> shown;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            shown.push_back(still.pixel(x, y));
    return meanError(screen, shown);
}

// Which composed frame shows at `centiseconds` from the start.
inline size_t frameAt(const ComposedGif& gif, int64_t centiseconds) {
    int64_t start = 0;
    for (size_t k = 0; k < gif.frames.size(); ++k) {
        start += gif.frames[k].delay;
        if (centiseconds < start)
            return k;
    }
    return gif.frames.size() - 1;
}

inline int64_t totalDelay(const ComposedGif& gif) {
    int64_t sum = 0;
    for (const auto& f : gif.frames)
        sum += f.delay;
    return sum;
}

// A recording of a scene on a fake display and clock.
struct CompactRig {
    explicit CompactRig(Look look, int palette = 3, int workers = 2)
        : video(capture, host, workers) {
        host.folder = dir.path();
        host.entry = VideoEntry::Compact;
        host.palette = palette;
        host.clock = &clock;
        grabber.scene = makeScene(look);
        grabber.afterLast = [this] { pump.scheduleIn(1, [this] { video.ToggleVideo(); }); };
    }
    std::string gif() const { return dir.file("video_7.gif"); }
    std::vector<std::string> files() const { return test::fileNames(dir.path()); }
    int64_t centiseconds(int64_t ms) const { return (ms - grabber.grabs.front().first + 5) / 10; }

    // Every grab, at its moment, shows in the composed animation as the screen it was: exactly
    // as the palette reduces each colour, or (when it dithers) on average per channel about as
    // close as a still GIF picture of the screen is.
    void expectShowsTheScene(const ComposedGif& gif, const char* decoder, bool exact) {
        ASSERT_FALSE(gif.frames.empty()) << decoder;
        for (const auto& [when, shot] : grabber.grabs) {
            const Bitmap& screen = grabber.scene[shot].screen;
            const size_t k = frameAt(gif, centiseconds(when));
            int wrong = 0;
            for (int y = 0; y < screen.height(); ++y)
                for (int x = 0; x < screen.width(); ++x)
                    wrong += gif.at(k, x, y) != reduced(host.palette, screen.pixel(x, y));
            if (exact) {
                EXPECT_EQ(wrong, 0) << decoder << ": screen " << shot << " in frame " << k;
                continue;
            }
            std::vector<Color> shown(size_t(screen.width()) * size_t(screen.height()));
            for (int y = 0; y < screen.height(); ++y)
                for (int x = 0; x < screen.width(); ++x)
                    shown[size_t(y * screen.width() + x)] = gif.at(k, x, y);
            EXPECT_LE(meanError(screen, shown), 1.2 * stillPictureError(screen, host.palette) + 0.5)
                << decoder << ": screen " << shot << " in frame " << k;
        }
    }

    test::TempDir dir;
    FakeClock clock;
    FakeEventPump pump{clock};
    SceneGrabber grabber{clock};
    FakeVideoHost host;
    Capture capture{grabber, host, clock, pump};
    VideoRecorder video;
};

}  // namespace fk::test
