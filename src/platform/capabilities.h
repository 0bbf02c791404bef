#pragma once

namespace fk {

// What the program can ask of a backend, each as the backend found it on the display it runs on.
// The program reads these instead of knowing which backend it has.

// How screen pictures treat the program's own windows while they are to be left out.
enum class OwnWindows {
    Shown,          // the display cannot leave them out: they show in every picture
    LeftOut,        // left out while they stay on the screen (X11: Composite)
    HiddenForGrab,  // to be hidden for each grab and shown again once the display has drawn
                    // a frame without them (compositors that draw every window into every grab)
};

// How a shot of the window in front finds its window.
enum class WindowInFront {
    Unsupported,   // windows cannot be told apart: window shots find nothing
    Active,        // the window with the focus, found by the program itself
    PickedByUser,  // the desktop asks the user which window to take
};

// The kind of desktop, where the program must tell the user something only that desktop does
// (how to bind keys to the program's commands, for one).
enum class DesktopFamily { Unknown, Sway, OtherWayland, Gnome, Kde };

// How the program's window opacity is set.
enum class WindowOpacity {
    Toolkit,      // the toolkit sets it and the desktop shows it
    Desktop,      // the desktop sets it when asked (Desktop::setWindowOpacity)
    Unsupported,  // nothing shows it: the setting has no effect here
};

struct GrabCapabilities {
    bool sharedMemory = false;     // pictures come through shared memory, fast enough for video
    bool cursorImage = false;      // the cursor's own image can be drawn into pictures
    bool cursorByDisplay = false;  // the display draws the cursor into the grab itself when told
                                   // to (ScreenGrabber::setCursorInGrabs); cursor() gives none
    bool windowFrames = false;     // a window comes with its window-manager frame, without the
                                   // shadow margins it declares (frame extents)
    bool wholeDesktop = false;     // GrabArea::WholeDesktop takes every monitor
    OwnWindows ownWindows = OwnWindows::Shown;
    WindowInFront windowInFront = WindowInFront::Unsupported;
};

struct DesktopCapabilities {
    bool globalHotKeys = false;  // keys reach the program whichever window has the focus
    bool taskbarEntry = false;   // a window can be kept out of the task bar
    DesktopFamily family = DesktopFamily::Unknown;
    WindowOpacity opacity = WindowOpacity::Toolkit;
};

}  // namespace fk
