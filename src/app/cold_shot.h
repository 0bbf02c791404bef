#pragma once

#include <optional>

#include "app/command_line.h"

namespace fk {

// With no copy running: --screen and --window on an X11 display, taken with the stored settings
// without the window toolkit (no display connection of Qt's, no widget), as the main window
// would take them. Returns the exit status, or none when the settings ask for what only the
// window can do (a delay's countdown, the clipboard, a first start without config.ini), or the
// session is not X11: then the caller runs the picture through the main window.
std::optional<int> shootWithoutWindow(const CommandLine& line, int argc, char** argv);

}  // namespace fk
