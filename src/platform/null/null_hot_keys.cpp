#include "platform/null/null_hot_keys.h"

namespace fk {

std::vector<HotKeyAction> NoHotKeys::registerAll(std::function<void(HotKeyAction)>) {
    return {HotKeyAction::ShootScreen, HotKeyAction::ShootWindow, HotKeyAction::TimedSeries,
            HotKeyAction::Video, HotKeyAction::ShootRegion};
}

}  // namespace fk
