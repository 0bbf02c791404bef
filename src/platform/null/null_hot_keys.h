#pragma once

#include "platform/hot_keys.h"

namespace fk {

// Where the display has no global keys: every key is refused.
class NoHotKeys final : public HotKeys {
public:
    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)>) override;
    void unregisterAll() override {}
};

// A copy that runs one command and ends: it takes no keys and reports none as refused.
class UnusedHotKeys final : public HotKeys {
public:
    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)>) override { return {}; }
    void unregisterAll() override {}
};

}  // namespace fk
