#include "app/hot_keys.h"

namespace fk {

std::string hotKeyName(HotKeyAction action) {
    switch (action) {
        case HotKeyAction::ShootScreen:
            return "Print Screen (PrnScr)";
        case HotKeyAction::ShootWindow:
            return "Ctrl + PrnScr";
        case HotKeyAction::TimedSeries:
            return "Shift + PrnScr";
        case HotKeyAction::Video:
            return "Shift + ScrollLock";
    }
    return {};
}

std::vector<HotKeyAction> NoHotKeys::registerAll(std::function<void(HotKeyAction)>) {
    return {HotKeyAction::ShootScreen, HotKeyAction::ShootWindow, HotKeyAction::TimedSeries,
            HotKeyAction::Video};
}

}  // namespace fk
