#include "platform/null/null_desktop.h"

#include "platform/null/null_hot_keys.h"

namespace fk {

std::unique_ptr<HotKeys> NullDesktop::createGlobalHotKeys() {
    return std::make_unique<NoHotKeys>();
}

}  // namespace fk
