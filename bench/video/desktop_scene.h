#pragma once

#include <sys/types.h>

namespace fk::bench {

// A scripted desktop on the display, played by a child process with a connection of its own so
// that it costs the measured process nothing: the shared screenshot as the wallpaper, a
// terminal window typing text (a character every 60 ms, a new line now and then, scrolling when
// full, a blinking cursor) and a spreadsheet window (taken from the screenshot) dragged to and
// fro across the screen at 60 moves a second. Every run plays the same scene from its start.
class DesktopScene {
public:
    enum class Motion { Playing, Still };
    // What the dragged window shows: the spreadsheet, or (a harder case for GIF) a photo.
    enum class Window { Spreadsheet, Photo };

    // Returns once the first picture of the scene is on the display.
    DesktopScene(Motion motion, Window window);
    // Ends the scene.
    ~DesktopScene();
    DesktopScene(const DesktopScene&) = delete;
    DesktopScene& operator=(const DesktopScene&) = delete;

private:
    pid_t m_child = -1;
};

}  // namespace fk::bench
