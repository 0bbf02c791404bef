#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fk {

// The system-wide keys, in their fixed order: the four of the original program, then the region.
enum class HotKeyAction { ShootScreen, ShootWindow, TimedSeries, Video, ShootRegion };

// The keys as the help window names them.
std::string hotKeyName(HotKeyAction action);

class HotKeys {
public:
    virtual ~HotKeys() = default;
    // Takes the keys for the program; returns those another program holds (they then do
    // nothing). `onPress` runs later from the event loop, never inside the system's event code.
    virtual std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)> onPress) = 0;
    virtual void unregisterAll() = 0;
    // Esc, whichever window has the focus, for as long as a delayed shot waits: `onPress` runs
    // later from the event loop. False where the key cannot be had (held by another program,
    // or a display without global keys); a backend without it keeps the default.
    virtual bool grabCancelKey(std::function<void()> onPress) {
        (void)onPress;
        return false;
    }
    virtual void releaseCancelKey() {}
};

}  // namespace fk
