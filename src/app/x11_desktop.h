#pragma once

class QWidget;

namespace fk {

// Keeps the window out of the task bar (_NET_WM_STATE_SKIP_TASKBAR) or puts it back. Must run
// before every map of the window, as the window manager drops the state when it is withdrawn.
// Does nothing where the program does not run on X11.
void setSkipTaskbar(QWidget* window, bool skip);

// Sends what the program has drawn and asked for to the display at once, without dispatching
// events.
void flushDisplay();
// Waits until the display has handled every request, so that every event it sent before has
// arrived and can be dispatched.
void syncDisplay();

}  // namespace fk
