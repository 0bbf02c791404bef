#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/event_pump.h"
#include "platform/screen_grabber.h"

namespace fk {

// A display held in memory: a screen picture, windows with their rectangles, a cursor.
class FakeGrabber final : public ScreenGrabber {
public:
    struct Window {
        ScreenRect rect;
        Bitmap picture;
        bool vanished = false;  // found as the foreground window, gone when grabbed
    };

    ScreenRect screenRect() override { return screen; }
    void grabScreen(Bitmap& into) override;
    std::optional<WindowHandle> foregroundWindow() override { return foreground; }
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override;
    std::optional<CursorImage> cursor() override {
        ++cursorQueries;
        return cursorImage;
    }
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override {
        excluded = windows;
        if (!windows.empty() && !exclusionRefusal.empty())
            throw EGrabError(exclusionRefusal);
    }

    ScreenRect screen{0, 0, 8, 6};
    Color screenColor{10, 20, 30};
    std::map<WindowHandle, Window> windows;
    std::optional<WindowHandle> foreground;
    std::optional<CursorImage> cursorImage;
    std::vector<WindowHandle> excluded;
    std::string exclusionRefusal;  // the display's reason, when it cannot leave windows out
    // Paints grab number `grab` (from 0) instead of the plain screen colour.
    std::function<void(int grab, Bitmap& into)> painter;
    int screenGrabs = 0;
    int grabsIntoReadyBitmap = 0;  // grabs given a bitmap of the screen's size already
    int windowGrabs = 0;
    int cursorQueries = 0;
};

// A clock that moves only when told to.
class FakeClock final : public Clock {
public:
    int64_t nowMs() override { return now; }
    int64_t now = 1000;
};

// Runs scheduled events when the fake clock reaches their time; waiting moves the clock.
class FakeEventPump final : public EventPump {
public:
    explicit FakeEventPump(FakeClock& clock) : m_clock(clock) {}
    // Runs `event` once the clock has reached `atMs`, inside whatever wait is running then.
    void schedule(int64_t atMs, std::function<void()> event) {
        m_events.emplace(atMs, std::move(event));
    }
    void scheduleIn(int64_t delayMs, std::function<void()> event) {
        schedule(m_clock.now + delayMs, std::move(event));
    }
    void processEventsFor(int64_t maxWaitMs) override;
    bool idle() const { return m_events.empty(); }

    int waits = 0;
    int64_t waitedMs = 0;

private:
    FakeClock& m_clock;
    std::multimap<int64_t, std::function<void()>> m_events;
};

}  // namespace fk
