#pragma once

#include <functional>
#include <memory>
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

// Where the display has no global keys (no X11): every key is refused.
class NoHotKeys final : public HotKeys {
public:
    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)>) override;
    void unregisterAll() override {}
};

// The display's global keys: passive grabs on X11, NoHotKeys where the program does not run on
// X11. Which of them the build holds is settled by its source lists.
std::unique_ptr<HotKeys> createGlobalHotKeys();

// A copy that runs one command and ends: it takes no keys and reports none as refused.
class UnusedHotKeys final : public HotKeys {
public:
    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)>) override { return {}; }
    void unregisterAll() override {}
};

}  // namespace fk
