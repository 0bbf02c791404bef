// What the program does where it does not run on X11: no global keys, no task-bar state, nothing
// to flush.
#include "app/hot_keys.h"
#include "app/x11_desktop.h"

namespace fk {

std::unique_ptr<HotKeys> createGlobalHotKeys() {
    return std::make_unique<NoHotKeys>();
}

void setSkipTaskbar(QWidget*, bool) {}
void flushDisplay() {}
void syncDisplay() {}

}  // namespace fk
