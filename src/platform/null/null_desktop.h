#pragma once

#include "platform/desktop.h"

namespace fk {

// A desktop the program cannot speak to (no display, or the toolkit runs off screen): no global
// keys, no task-bar state, nothing to flush.
class NullDesktop final : public Desktop {
public:
    DesktopCapabilities capabilities() const override { return {}; }
    std::unique_ptr<HotKeys> createGlobalHotKeys() override;
    void setTaskbarEntry(WindowHandle, TaskbarEntry) override {}
    void flush() override {}
    void sync() override {}
};

}  // namespace fk
