#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/color.h"

namespace fk::test {

// A client of the test's X display that makes windows of known content.
class TestDisplay {
public:
    TestDisplay();
    ~TestDisplay();
    Display* dpy() const { return m_dpy; }
    Window root() const { return m_root; }

    // A top-level window asking for this place; its content is painted by the server from a
    // background pixmap, so it survives being covered. Returns once the window is shown.
    // An unmanaged window (override-redirect) gets no frame and no focus from the window manager.
    // `beforeShown` may set properties the window manager reads when it maps the window.
    enum class Managed { Yes, No };
    Window createWindow(int x, int y, int width, int height,
                        const std::function<Color(int x, int y)>& content,
                        Managed managed = Managed::Yes,
                        const std::function<void(Window)>& beforeShown = {});
    void destroyWindow(Window w);
    // The window's client area in root coordinates.
    void clientOrigin(Window w, int& x, int& y);
    // The window manager's frame around the window (the window itself without one).
    Window frameOf(Window w);
    void activate(Window w);
    void movePointer(int x, int y);
    // Makes a wallpaper as desktops do: root background and _XROOTPMAP_ID.
    void setWallpaper(const std::function<Color(int x, int y)>& content);
    // Returns once the server and the window manager have done everything asked of them so far.
    void settle();
    bool hasWindowManager();
    Window activeWindow();
    // The values of a CARDINAL[] property of the window; empty when it is not there.
    std::vector<long> cardinals(Window w, const char* property);
    // Polls the condition (after syncing with the server) until it holds or the time is up.
    bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000);
    // As waitFor; a condition that never holds fails the test with the thing waited for.
    void require(const std::function<bool()>& condition, const std::string& what,
                 int timeoutMs = 10000);
    bool isViewable(Window w);

private:
    Pixmap makePixmap(int width, int height, const std::function<Color(int, int)>& content);
    void waitForWindowManager();
    Display* m_dpy = nullptr;
    Window m_root = 0;
    Window m_probe = 0;  // asks the window manager for its frame extents
};

}  // namespace fk::test
