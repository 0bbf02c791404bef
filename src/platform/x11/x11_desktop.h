#pragma once

#include <cstdint>
#include <memory>

#include "platform/desktop.h"

namespace fk {

// The desktop through the toolkit's own X11 connection: keys grabbed on the root window, the
// task-bar state as _NET_WM_STATE_SKIP_TASKBAR.
class X11Desktop final : public Desktop {
public:
    // Nothing when the toolkit does not run on X11 (off screen, another platform).
    static std::unique_ptr<X11Desktop> create();

    DesktopCapabilities capabilities() const override;
    std::unique_ptr<HotKeys> createGlobalHotKeys() override;
    void setTaskbarEntry(WindowHandle window, TaskbarEntry entry) override;
    void flush() override;
    void sync() override;

private:
    X11Desktop(void* connection, uint32_t root) : m_connection(connection), m_root(root) {}

    void* m_connection;  // xcb_connection_t, owned by the toolkit
    uint32_t m_root;
};

}  // namespace fk
