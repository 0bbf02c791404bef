#pragma once

#include <sys/types.h>

namespace fk::bench {

// A scripted desktop that changes in steps, as the recorders are compared on: a plain desktop
// colour, a terminal printing a line every 0.3 s, and a window (a spreadsheet, or a photo)
// dragged across the desktop in 0.1 s steps; after `movingMs` everything stays still. Played by
// a child process with a display connection of its own, so it costs the measured process nothing.
class StepScene {
public:
    enum class Window { Spreadsheet, Photo };
    // The plain desktop colour.
    static constexpr unsigned kDesktop = 0x3A5F7F;  // (58, 95, 127)

    // Returns once the first picture of the scene is on the display; its clock starts then.
    StepScene(Window window, int movingMs);
    ~StepScene();
    StepScene(const StepScene&) = delete;
    StepScene& operator=(const StepScene&) = delete;

private:
    pid_t m_child = -1;
};

}  // namespace fk::bench
