#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fk {

// The four system-wide keys, in their fixed order.
enum class HotKeyAction { ShootScreen, ShootWindow, TimedSeries, Video };

// The keys as the help window names them.
std::string hotKeyName(HotKeyAction action);

class HotKeys {
public:
    virtual ~HotKeys() = default;
    // Takes the four keys for the program; returns those another program holds (they then do
    // nothing). `onPress` runs later from the event loop, never inside the system's event code.
    virtual std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)> onPress) = 0;
    virtual void unregisterAll() = 0;
};

}  // namespace fk
