#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_host.h"
#include "capture/region.h"
#include "platform/event_pump.h"
#include "platform/screen_grabber.h"

namespace fk {

class Bitmap;

// The only waiting primitive: returns after at least `ms` milliseconds of the clock, dispatching
// events all the while; returns at once for 0 or less.
void Delay(int32_t ms, Clock& clock, EventPump& pump);

// Draws the cursor onto the bitmap at its position less the offset less its hot spot.
void DrawCursor(Bitmap& bitmap, const CursorImage& cursor, int offsetX, int offsetY);

// Thrown out of the shot delay when the user cancels the shot that waits; never shown as an error.
class EShotCancelled : public Exception {
public:
    EShotCancelled() : Exception("The shot was cancelled") {}
};

// What one command asks of its picture beyond the stored settings.
struct ShotRequest {
    // The file to write instead of the mask's (the running number then stays); "-" keeps the
    // encoded bytes for the caller (Capture::takeStreamed) and writes no file.
    std::string output;
    PictureFormat format = PictureFormat::NotSelected;  // NotSelected: the selected format
    std::string mask;                                    // instead of the stored one, when set
    std::optional<int> delaySeconds;                     // instead of the stored shot delay
};

// The shots: grab, draw the cursor if asked, save, advance the running number.
class Capture {
public:
    Capture(ScreenGrabber& grabber, CaptureHost& host, Clock& clock, EventPump& pump)
        : m_grabber(grabber), m_host(host), m_clock(clock), m_pump(pump) {}

    void Delay(int32_t ms) { fk::Delay(ms, m_clock, m_pump); }
    // An empty delay text becomes "0"; if the delay is switched on, waits that many seconds,
    // telling the host the seconds left. Throws EShotCancelled when cancelShotDelay is called
    // meanwhile.
    void WaitShotDelay();
    // Cancels every shot delay that waits now, nested ones too.
    void cancelShotDelay() { ++m_cancels; }
    bool shotDelayWaiting() const { return m_waiting > 0; }
    // The whole primary screen; does not wait itself.
    void ShootScreen();
    // Waits the shot delay, then the window in front; nothing at all when there is none.
    void ShootWindow();
    // Draws the cursor, when asked for, into a grabbed picture whose top left is at the offset.
    void drawCursorIfAsked(Bitmap& bitmap, int offsetX, int offsetY);

    // What ShootScreen and the video take: the primary monitor or the whole desktop.
    void setGrabArea(GrabArea area);
    // Holds for the shots until cleared; the caller sets it for one command.
    void setRequest(std::optional<ShotRequest> request) { m_request = std::move(request); }
    // The bytes of the last picture asked for with output "-".
    std::vector<uint8_t> takeStreamed() { return std::move(m_streamed); }
    GrabArea grabArea() const { return m_area; }
    // One grab of the whole desktop (where the display can give it) with the cursor, when it is
    // to be drawn, and, if asked, the windows that show; the grab area stays as it was.
    FrozenScreen freezeScreen(bool withWindows);
    // Saves the part of the frozen screen that `region` covers (clipped to it), with the cursor
    // of the frozen moment; throws EGrabError when the region covers none of it.
    void ShootRegion(const FrozenScreen& frozen, const ScreenRect& region);

    ScreenGrabber& grabber() { return m_grabber; }
    CaptureHost& host() { return m_host; }
    Clock& clock() { return m_clock; }

private:
    void advanceRunningNumber();
    // Grabs with `grab`, which says where the picture's top left is, draws the cursor if asked
    // (the live one, or `frozenCursor` when given), saves, and advances the running number
    // whatever happens.
    void shoot(const std::function<ScreenRect(Bitmap&)>& grab,
               const std::optional<CursorImage>* frozenCursor = nullptr);
    void waitCountingDown(int64_t ms);

    ScreenGrabber& m_grabber;
    CaptureHost& m_host;
    Clock& m_clock;
    EventPump& m_pump;
    GrabArea m_area = GrabArea::PrimaryMonitor;
    std::optional<ShotRequest> m_request;
    std::vector<uint8_t> m_streamed;
    uint64_t m_cancels = 0;  // cancels so far; a wait ends when the count moves
    int m_waiting = 0;       // shot delays waiting, nested ones included
    int m_countdownShown = 0;
};

}  // namespace fk
