#pragma once

#include <X11/Xlib.h>

#include <set>
#include <vector>

#include "graphics/bitmap.h"
#include "platform/screen_grabber.h"
#include "platform/x11/x11_shm_image.h"
#include "platform/x11/x11_window_stack.h"
#include "platform/x11/x11_window_tree.h"

namespace fk {

// Leaves chosen top-level windows out of pictures of the screen without hiding them. While there
// are windows to leave out, the server keeps every top-level window's content of its own
// (Composite redirection); a grab then paints, over each place where one of those windows shows,
// what lies there without it: the wallpaper, the root, and the other windows bottom to top. The
// rest of the picture is the screen as it shows.
class X11Composer {
public:
    struct Capabilities {
        bool composite = false;
        bool render = false;  // needed for windows of another depth (with an alpha channel)
    };
    X11Composer(Display* dpy, X11WindowTree& tree, Visual* visual, int depth,
                Capabilities capabilities);
    ~X11Composer();
    X11Composer(const X11Composer&) = delete;
    X11Composer& operator=(const X11Composer&) = delete;

    // Throws EGrabError when windows are to be left out and the display cannot keep their
    // contents; the grabs then show them.
    void setExcluded(const std::vector<Window>& windows);
    bool active() const { return m_redirected && !m_excluded.empty(); }
    const std::vector<Window>& excluded() const { return m_excluded; }

    // `into` holds the picture of `area` as the screen shows it; paints over it where the
    // excluded windows are. Throws EGrabError when the display refuses a step.
    void paintOverExcluded(const ScreenRect& area, Bitmap& into, X11ImageReader& reader);

private:
    void paintPlace(const ScreenRect& place, const WindowStack& stack, const ScreenRect& area,
                    Bitmap& into, X11ImageReader& reader);

    Display* m_dpy;
    X11WindowTree& m_tree;
    Visual* m_visual;
    int m_depth;
    Capabilities m_capabilities;
    X11WindowStackReader m_stackReader;
    std::vector<Window> m_excluded;
    bool m_redirected = false;
};

}  // namespace fk
