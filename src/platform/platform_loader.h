#pragma once

#include <memory>

#include "platform/screen_grabber.h"

namespace fk {

// The display the program runs on: X11 when a display can be opened, else a grabber whose every
// grab reports that there is no display.
std::unique_ptr<ScreenGrabber> createScreenGrabber();

}  // namespace fk
