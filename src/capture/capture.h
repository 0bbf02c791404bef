#pragma once

#include <cstdint>
#include <functional>

#include "capture/capture_host.h"
#include "platform/event_pump.h"
#include "platform/screen_grabber.h"

namespace fk {

class Bitmap;

// The only waiting primitive: returns after at least `ms` milliseconds of the clock, dispatching
// events all the while; returns at once for 0 or less.
void Delay(int32_t ms, Clock& clock, EventPump& pump);

// Draws the cursor onto the bitmap at its position less the offset less its hot spot.
void DrawCursor(Bitmap& bitmap, const CursorImage& cursor, int offsetX, int offsetY);

// The shots: grab, draw the cursor if asked, save, advance the running number.
class Capture {
public:
    Capture(ScreenGrabber& grabber, CaptureHost& host, Clock& clock, EventPump& pump)
        : m_grabber(grabber), m_host(host), m_clock(clock), m_pump(pump) {}

    void Delay(int32_t ms) { fk::Delay(ms, m_clock, m_pump); }
    // An empty delay text becomes "0"; if the delay is switched on, waits that many seconds.
    void WaitShotDelay();
    // The whole primary screen; does not wait itself.
    void ShootScreen();
    // Waits the shot delay, then the window in front; nothing at all when there is none.
    void ShootWindow();
    // Draws the cursor, when asked for, into a grabbed picture whose top left is at the offset.
    void drawCursorIfAsked(Bitmap& bitmap, int offsetX, int offsetY);

    ScreenGrabber& grabber() { return m_grabber; }
    CaptureHost& host() { return m_host; }
    Clock& clock() { return m_clock; }

private:
    void advanceRunningNumber();
    // Grabs with `grab`, which says where the picture's top left is, draws the cursor if asked,
    // saves, and advances the running number whatever happens.
    void shoot(const std::function<ScreenRect(Bitmap&)>& grab);

    ScreenGrabber& m_grabber;
    CaptureHost& m_host;
    Clock& m_clock;
    EventPump& m_pump;
};

}  // namespace fk
