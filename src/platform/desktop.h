#pragma once

#include <memory>

#include "platform/capabilities.h"
#include "platform/hot_keys.h"
#include "platform/screen_grabber.h"

namespace fk {

enum class TaskbarEntry { Shown, Hidden };

// What the program asks of the desktop beyond pictures: its global keys, the task-bar entry of
// its window, and the pace of the display connection.
class Desktop {
public:
    virtual ~Desktop() = default;

    virtual DesktopCapabilities capabilities() const = 0;
    // The keys that work whichever window has the focus. Only the copy that runs takes them.
    virtual std::unique_ptr<HotKeys> createGlobalHotKeys() = 0;
    // Keeps the window out of the task bar or puts it back. Must run before every map of the
    // window, as a window manager drops the state when the window is withdrawn.
    virtual void setTaskbarEntry(WindowHandle window, TaskbarEntry entry) = 0;
    // Sends what the program has drawn and asked for to the display at once, without
    // dispatching events.
    virtual void flush() = 0;
    // Waits until the display has handled every request, so that every event it sent before has
    // arrived and can be dispatched.
    virtual void sync() = 0;
    // Where the desktop sets window opacity itself (capabilities().opacity is Desktop): the
    // program's windows at this opacity, 0..1.
    virtual void setWindowOpacity(double opacity) { (void)opacity; }
};

}  // namespace fk
