#include "platform/hot_keys.h"

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
        case HotKeyAction::ShootRegion:
            return "Ctrl + Shift + PrnScr";
    }
    return {};
}

}  // namespace fk
