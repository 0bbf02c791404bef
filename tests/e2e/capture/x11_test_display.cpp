#include "x11_test_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

namespace fk::test {

namespace {

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// Requests made while it lives may fail (a window that has gone) without ending the test.
class IgnoredErrors {
public:
    explicit IgnoredErrors(Display* dpy) : m_dpy(dpy) {
        XSync(m_dpy, False);
        m_previous = XSetErrorHandler(ignoreErrors);
    }
    ~IgnoredErrors() {
        XSync(m_dpy, False);
        XSetErrorHandler(m_previous);
    }
    IgnoredErrors(const IgnoredErrors&) = delete;
    IgnoredErrors& operator=(const IgnoredErrors&) = delete;

private:
    Display* m_dpy;
    int (*m_previous)(Display*, XErrorEvent*) = nullptr;
};

}  // namespace

TestDisplay::TestDisplay() {
    m_dpy = XOpenDisplay(nullptr);
    if (!m_dpy)
        throw std::runtime_error("the test needs an X display");
    m_root = DefaultRootWindow(m_dpy);
}

TestDisplay::~TestDisplay() {
    if (m_probe)
        XDestroyWindow(m_dpy, m_probe);
    XCloseDisplay(m_dpy);
}

Pixmap TestDisplay::makePixmap(int width, int height,
                               const std::function<Color(int, int)>& content) {
    const int screen = DefaultScreen(m_dpy);
    Pixmap pixmap = XCreatePixmap(m_dpy, m_root, unsigned(width), unsigned(height),
                                  unsigned(DefaultDepth(m_dpy, screen)));
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Color c = content(x, y);
            pixels[size_t(y) * size_t(width) + size_t(x)] =
                (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
        }
    XImage* image = XCreateImage(
        m_dpy, DefaultVisual(m_dpy, screen), unsigned(DefaultDepth(m_dpy, screen)), ZPixmap, 0,
        reinterpret_cast<char*>(pixels.data()), unsigned(width), unsigned(height), 32, 0);
    GC gc = XCreateGC(m_dpy, pixmap, 0, nullptr);
    XPutImage(m_dpy, pixmap, gc, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(m_dpy, gc);
    image->data = nullptr;
    XDestroyImage(image);
    return pixmap;
}

Window TestDisplay::createWindow(int x, int y, int width, int height,
                                 const std::function<Color(int, int)>& content, Managed managed,
                                 const std::function<void(Window)>& beforeShown) {
    Window w = XCreateSimpleWindow(m_dpy, m_root, x, y, unsigned(width), unsigned(height), 0, 0, 0);
    if (managed == Managed::No) {
        XSetWindowAttributes attrs{};
        attrs.override_redirect = True;
        XChangeWindowAttributes(m_dpy, w, CWOverrideRedirect, &attrs);
    }
    Pixmap background = makePixmap(width, height, content);
    XSetWindowBackgroundPixmap(m_dpy, w, background);
    XFreePixmap(m_dpy, background);
    XSizeHints hints{};
    hints.flags = USPosition | USSize | PMinSize | PMaxSize;
    hints.x = x;
    hints.y = y;
    hints.width = hints.min_width = hints.max_width = width;
    hints.height = hints.min_height = hints.max_height = height;
    XSetWMNormalHints(m_dpy, w, &hints);
    XStoreName(m_dpy, w, "fotokran test window");
    if (beforeShown)
        beforeShown(w);
    XMapWindow(m_dpy, w);
    // A window manager that is busy may drop a map request; asking again is harmless.
    int tries = 0;
    require(
        [&] {
            if (isViewable(w))
                return true;
            if (++tries % 60 == 0)
                XMapWindow(m_dpy, w);
            return false;
        },
        "the test window to be shown");
    // A window manager frames a managed window after mapping it: wait for the frame.
    if (managed == Managed::Yes && hasWindowManager())
        require([&] { return frameOf(w) != w; }, "the window manager's frame");
    settle();
    return w;
}

void TestDisplay::destroyWindow(Window w) {
    XDestroyWindow(m_dpy, w);
    settle();
}

void TestDisplay::clientOrigin(Window w, int& x, int& y) {
    Window child;
    XTranslateCoordinates(m_dpy, w, m_root, 0, 0, &x, &y, &child);
}

Window TestDisplay::frameOf(Window w) {
    IgnoredErrors errors(m_dpy);
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_dpy, w, &root, &parent, &children, &count))
            throw std::runtime_error("the window " + std::to_string(w) + " has gone");
        if (children)
            XFree(children);
        if (parent == m_root || parent == 0)
            return w;
        w = parent;
    }
}

// The first value of a root property holding window ids; 0 when it is not there.
// The 32-bit values of a window's property (Xlib hands them out as longs); empty when it is not
// there.
static std::vector<long> propertyValues(Display* dpy, Window w, const char* name) {
    IgnoredErrors errors(dpy);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(dpy, w, XInternAtom(dpy, name, False), 0, 64, False, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 32)
        values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    if (data)
        XFree(data);
    return values;
}

static Window rootWindowProperty(Display* dpy, Window root, const char* name) {
    const std::vector<long> values = propertyValues(dpy, root, name);
    return values.size() == 1 ? Window(values[0]) : 0;
}

std::vector<long> TestDisplay::cardinals(Window w, const char* property) {
    return propertyValues(m_dpy, w, property);
}

// A window manager that has gone can leave its root property behind: its check window must exist.
bool TestDisplay::hasWindowManager() {
    const Window check = rootWindowProperty(m_dpy, m_root, "_NET_SUPPORTING_WM_CHECK");
    if (!check)
        return false;
    IgnoredErrors errors(m_dpy);
    XWindowAttributes attrs{};
    return XGetWindowAttributes(m_dpy, check, &attrs) != 0;
}

Window TestDisplay::activeWindow() {
    return rootWindowProperty(m_dpy, m_root, "_NET_ACTIVE_WINDOW");
}

bool TestDisplay::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0;; waited += 30) {
        XSync(m_dpy, False);
        if (condition())
            return true;
        if (waited >= timeoutMs)
            return false;
        usleep(30000);
    }
}

void TestDisplay::require(const std::function<bool()>& condition, const std::string& what,
                          int timeoutMs) {
    if (!waitFor(condition, timeoutMs))
        throw std::runtime_error("gave up waiting " + std::to_string(timeoutMs) + " ms for " +
                                 what);
}

bool TestDisplay::isViewable(Window w) {
    IgnoredErrors errors(m_dpy);
    XWindowAttributes attrs{};
    return XGetWindowAttributes(m_dpy, w, &attrs) != 0 && attrs.map_state == IsViewable;
}

void TestDisplay::activate(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(m_dpy, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager: always honoured
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_dpy, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(m_dpy, False);
    require([&] { return activeWindow() == w; }, "the window to become active");
    settle();
}

void TestDisplay::movePointer(int x, int y) {
    XWarpPointer(m_dpy, None, m_root, 0, 0, 0, 0, x, y);
    settle();
}

void TestDisplay::setWallpaper(const std::function<Color(int, int)>& content) {
    const int screen = DefaultScreen(m_dpy);
    const int width = DisplayWidth(m_dpy, screen), height = DisplayHeight(m_dpy, screen);
    Pixmap wallpaper = makePixmap(width, height, content);
    XSetWindowBackgroundPixmap(m_dpy, m_root, wallpaper);
    XClearWindow(m_dpy, m_root);
    Atom id = XInternAtom(m_dpy, "_XROOTPMAP_ID", False);
    XChangeProperty(m_dpy, m_root, id, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&wallpaper), 1);
    settle();
}

void TestDisplay::settle() {
    XSync(m_dpy, False);  // the server paints window backgrounds as it handles the requests
    if (hasWindowManager())
        waitForWindowManager();
}

// The window manager reads its events in the order the server sent them: once it has answered a
// request sent now, it has handled every map, move and activation asked for before, and the
// server has carried out what it did about them.
void TestDisplay::waitForWindowManager() {
    const Atom extents = XInternAtom(m_dpy, "_NET_FRAME_EXTENTS", False);
    if (!m_probe) {
        m_probe = XCreateSimpleWindow(m_dpy, m_root, -10, -10, 1, 1, 0, 0, 0);
        XSelectInput(m_dpy, m_probe, PropertyChangeMask);
    }
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = m_probe;
    request.xclient.message_type = XInternAtom(m_dpy, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(m_dpy, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(m_dpy);

    constexpr int kTimeoutMs = 10000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        XEvent event{};
        while (XCheckWindowEvent(m_dpy, m_probe, PropertyChangeMask, &event))
            if (event.xproperty.atom == extents) {
                XSync(m_dpy, False);
                return;
            }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("gave up waiting " + std::to_string(kTimeoutMs) +
                                     " ms for the window manager to answer a request for frame "
                                     "extents");
        pollfd connection{ConnectionNumber(m_dpy), POLLIN, 0};
        poll(&connection, 1, int(left.count()));
        XEventsQueued(m_dpy, QueuedAfterReading);
    }
}

}  // namespace fk::test
