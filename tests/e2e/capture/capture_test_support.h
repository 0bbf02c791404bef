#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "capture/capture.h"
#include "graphics/bitmap.h"
#include "platform/event_pump.h"
#include "platform/screen_grabber.h"
#include "support/test_support.h"

namespace fk {

// For readable failures: gtest finds it by the type's namespace.
inline void PrintTo(const ScreenRect& r, std::ostream* os) {
    *os << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}

}  // namespace fk

namespace fk::test {

// Four quadrants with a one-pixel checker line across the middle row.
Color pattern(int x, int y, int width, int height);

// Expects the pattern of a window of this size at (left, top) of the picture.
void expectWindowAt(const Bitmap& picture, int left, int top, int width, int height,
                    const char* what);

// Compares a grab with the cursor to one without: what changed must lie in the cursor's box.
void expectCursorBox(const Bitmap& with, const Bitmap& without, int left, int top,
                     const CursorImage& cursor);

// How many pixels differ, with the first of them, for a clear failure message; empty when none.
std::string differences(const Bitmap& got, const Bitmap& want);

// The settings a shot reads, held in memory.
struct ShotHost final : CaptureHost {
    SaveOptions saveOptions() override { return options; }
    bool captureCursor() override { return withCursor; }
    bool delayedShoot() override { return false; }
    std::string shotDelayText() override { return "0"; }
    void setShotDelayText(const std::string&) override {}
    std::string runningNumberText() override { return options.counterText; }
    void setRunningNumberText(const std::string& t) override { options.counterText = t; }
    SaveOptions options;
    bool withCursor = false;
};

struct NoEvents final : EventPump {
    void processEventsFor(int64_t) override {}
};

// Shots through the capture pipeline, written as BMP files into a folder of their own and read
// back: each pair is taken with the cursor switched off, then on.
class ShotPairs {
public:
    explicit ShotPairs(ScreenGrabber& grabber);
    std::pair<Bitmap, Bitmap> screenWithoutAndWithCursor();
    std::pair<Bitmap, Bitmap> windowWithoutAndWithCursor();
    // The file of shot number n.
    std::string file(int n) const;
    // The running number after the shots so far.
    const std::string& counter() const { return m_host.options.counterText; }

private:
    template <typename Shoot>
    std::pair<Bitmap, Bitmap> pair(Shoot&& shoot);

    TempDir m_dir;
    ShotHost m_host;
    SteadyClock m_clock;
    NoEvents m_pump;
    Capture m_capture;
};

}  // namespace fk::test
