#include "platform/x11/x11_grabber.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>
#ifdef FOTOKRAN_HAVE_XRANDR
#include <X11/extensions/Xrandr.h>
#endif
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_pixels.h"

namespace fk {

namespace {

// A shared-memory image that is kept from grab to grab and grows when a larger one is needed.
class ShmImage {
public:
    ~ShmImage() { release(); }

    // Returns an image of at least this size, or null when shared memory cannot be used.
    XImage* get(Display* dpy, Visual* visual, int depth, int width, int height) {
        if (m_image && m_image->width == width && m_image->height == height && m_depth == depth)
            return m_image;
        release();
        m_dpy = dpy;
        m_depth = depth;
        m_image = XShmCreateImage(dpy, visual, unsigned(depth), ZPixmap, nullptr, &m_info,
                                  unsigned(width), unsigned(height));
        if (!m_image)
            return nullptr;
        const size_t size = size_t(m_image->bytes_per_line) * size_t(height);
        m_info.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (m_info.shmid < 0) {
            release();
            return nullptr;
        }
        m_info.shmaddr = m_image->data = static_cast<char*>(shmat(m_info.shmid, nullptr, 0));
        if (m_info.shmaddr == reinterpret_cast<char*>(-1)) {
            m_info.shmaddr = nullptr;
            release();
            return nullptr;
        }
        m_info.readOnly = False;
        X11ErrorTrap trap(dpy);
        const bool attached = XShmAttach(dpy, &m_info) && !trap.failed();
        // Marked for removal now: the segment goes away with the last detach, also on a crash.
        shmctl(m_info.shmid, IPC_RMID, nullptr);
        if (!attached) {
            release();
            return nullptr;
        }
        m_attached = true;
        return m_image;
    }

    void release() {
        if (m_attached) {
            X11ErrorTrap trap(m_dpy);
            XShmDetach(m_dpy, &m_info);
            trap.failed();
        }
        if (m_info.shmaddr)
            shmdt(m_info.shmaddr);
        if (m_image) {
            m_image->data = nullptr;
            XDestroyImage(m_image);
        }
        m_image = nullptr;
        m_attached = false;
        m_info = {};
        m_info.shmid = -1;
    }

private:
    Display* m_dpy = nullptr;
    XImage* m_image = nullptr;
    XShmSegmentInfo m_info{};
    bool m_attached = false;
    int m_depth = 0;
};

}  // namespace

struct X11Grabber::Impl {
    Display* dpy = nullptr;
    Window root = 0;
    int screen = 0;
    Visual* visual = nullptr;
    int depth = 0;

    bool shmAvailable = false;
    bool shmEnabled = true;
    bool compositeAvailable = false;
    bool xfixesAvailable = false;
    bool renderAvailable = false;
    bool redirected = false;
    std::set<Window> excluded;
    ShmImage shm;

    Atom netActiveWindow = 0;
    Atom netSupportingWmCheck = 0;
    Atom rootPixmapId = 0;

    ~Impl() {
        shm.release();
        if (redirected)
            XCompositeUnredirectSubwindows(dpy, root, CompositeRedirectAutomatic);
        if (dpy)
            XCloseDisplay(dpy);
    }

    ScreenRect primaryMonitor() {
        ScreenRect whole{0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen)};
#ifdef FOTOKRAN_HAVE_XRANDR
        int eventBase = 0, errorBase = 0;
        if (!XRRQueryExtension(dpy, &eventBase, &errorBase))
            return whole;
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(dpy, root, True, &count);
        if (!monitors)
            return whole;
        ScreenRect found = whole;
        for (int i = 0; i < count; ++i) {
            if (monitors[i].primary || i == 0)
                found = {monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
            if (monitors[i].primary)
                break;
        }
        XRRFreeMonitors(monitors);
        if (found.width <= 0 || found.height <= 0)
            return whole;
        return found;
#else
        return whole;
#endif
    }

    // Reads a rectangle of a drawable into the bitmap (already sized), at (dx, dy) of the bitmap.
    void readInto(Drawable source, int x, int y, int width, int height, Bitmap& into, int dx,
                  int dy) {
        if (width <= 0 || height <= 0)
            return;
        if (shmAvailable && shmEnabled) {
            if (XImage* image = shm.get(dpy, visual, depth, width, height)) {
                X11ErrorTrap trap(dpy);
                if (XShmGetImage(dpy, source, image, x, y, AllPlanes) && !trap.failed()) {
                    copyImageRows(*image, *visual, into, dx, dy);
                    return;
                }
            }
        }
        X11ErrorTrap trap(dpy);
        XImage* image =
            XGetImage(dpy, source, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (trap.failed() || !image) {
            if (image)
                XDestroyImage(image);
            throw EGrabError("The display refused to give the picture");
        }
        copyImageRows(*image, *visual, into, dx, dy);
        XDestroyImage(image);
    }

    bool windowExists(Window w) {
        if (!w)
            return false;
        X11ErrorTrap trap(dpy);
        XWindowAttributes attrs;
        return XGetWindowAttributes(dpy, w, &attrs) && !trap.failed();
    }

    bool isViewable(Window w) {
        X11ErrorTrap trap(dpy);
        XWindowAttributes attrs;
        return XGetWindowAttributes(dpy, w, &attrs) && !trap.failed() &&
               attrs.map_state == IsViewable;
    }

    // A property holding one window or pixmap id.
    Window windowProperty(Window on, Atom property, Atom type_ = XA_WINDOW) {
        X11ErrorTrap trap(dpy);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        Window result = 0;
        if (XGetWindowProperty(dpy, on, property, 0, 1, False, type_, &type, &format, &count,
                               &after, &data) == Success &&
            !trap.failed() && data && format == 32 && count == 1)
            result = Window(*reinterpret_cast<unsigned long*>(data));
        if (data)
            XFree(data);
        return result;
    }

    // The top-level window that holds `w`: its ancestor directly under the root.
    Window topLevelOf(Window w) {
        for (;;) {
            X11ErrorTrap trap(dpy);
            Window rootReturn = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(dpy, w, &rootReturn, &parent, &children, &count) || trap.failed())
                return 0;
            if (children)
                XFree(children);
            if (parent == root || parent == 0)
                return w;
            w = parent;
        }
    }

    // The root's children that hold the excluded windows: under a reparenting window manager its
    // frames, found at each grab because a window is reframed whenever it is mapped again.
    std::set<Window> excludedTopLevels() {
        std::set<Window> tops;
        for (Window w : excluded)
            if (Window top = topLevelOf(w))
                tops.insert(top);
        return tops;
    }

    void composeWithout(const ScreenRect& area, Bitmap& into);
};

X11Grabber::X11Grabber(const std::string& displayName) : m_impl(std::make_unique<Impl>()) {
    installX11ErrorHandler();
    Impl& d = *m_impl;
    d.dpy = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!d.dpy) {
        const char* env = std::getenv("DISPLAY");
        std::string name = displayName.empty() ? (env ? env : "") : displayName;
        throw EGrabError(name.empty() ? "No X11 display is set (the DISPLAY variable is empty)"
                                      : "Cannot open the X11 display \"" + name + "\"");
    }
    d.screen = DefaultScreen(d.dpy);
    d.root = RootWindow(d.dpy, d.screen);
    d.visual = DefaultVisual(d.dpy, d.screen);
    d.depth = DefaultDepth(d.dpy, d.screen);

    int major = 0, minor = 0, eventBase = 0, errorBase = 0;
    Bool pixmaps = False;
    d.shmAvailable = XShmQueryVersion(d.dpy, &major, &minor, &pixmaps);
    d.compositeAvailable = XCompositeQueryExtension(d.dpy, &eventBase, &errorBase) &&
                           XCompositeQueryVersion(d.dpy, &major, &minor) &&
                           (major > 0 || minor >= 2);
    d.xfixesAvailable = XFixesQueryExtension(d.dpy, &eventBase, &errorBase);
    if (d.xfixesAvailable) {
        major = 4;
        minor = 0;
        XFixesQueryVersion(d.dpy, &major, &minor);
        d.xfixesAvailable = major >= 1;
    }
    d.renderAvailable = XRenderQueryExtension(d.dpy, &eventBase, &errorBase);
    d.netActiveWindow = XInternAtom(d.dpy, "_NET_ACTIVE_WINDOW", False);
    d.netSupportingWmCheck = XInternAtom(d.dpy, "_NET_SUPPORTING_WM_CHECK", False);
    d.rootPixmapId = XInternAtom(d.dpy, "_XROOTPMAP_ID", False);
}

X11Grabber::~X11Grabber() = default;

bool X11Grabber::hasShm() const {
    return m_impl->shmAvailable;
}
bool X11Grabber::hasComposite() const {
    return m_impl->compositeAvailable;
}
bool X11Grabber::hasXfixes() const {
    return m_impl->xfixesAvailable;
}
void X11Grabber::setShmEnabled(bool enabled) {
    m_impl->shmEnabled = enabled;
}

ScreenRect X11Grabber::screenRect() {
    return m_impl->primaryMonitor();
}

void X11Grabber::grabScreen(Bitmap& into) {
    Impl& d = *m_impl;
    const ScreenRect area = d.primaryMonitor();
    into.prepare(area.width, area.height, PixelFormat::Device);
    if (d.redirected && !d.excluded.empty()) {
        d.composeWithout(area, into);
        return;
    }
    d.readInto(d.root, area.x, area.y, area.width, area.height, into, 0, 0);
}

std::optional<WindowHandle> X11Grabber::foregroundWindow() {
    Impl& d = *m_impl;
    Window active = 0;
    // A window manager that has gone can leave its properties behind: trust them only while its
    // check window still exists. A running one that names no active window means there is none
    // (the input focus then rests on a hidden window of its own).
    if (d.windowExists(d.windowProperty(d.root, d.netSupportingWmCheck))) {
        active = d.windowProperty(d.root, d.netActiveWindow);
    } else {
        X11ErrorTrap trap(d.dpy);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d.dpy, &focus, &revert);
        active = (trap.failed() || focus == PointerRoot) ? 0 : focus;
    }
    if (!active || active == d.root || !d.windowExists(active))
        return std::nullopt;
    Window top = d.topLevelOf(active);
    if (!top || top == d.root || !d.isViewable(top))
        return std::nullopt;
    return WindowHandle(top);
}

ScreenRect X11Grabber::grabWindow(WindowHandle window, Bitmap& into) {
    Impl& d = *m_impl;
    XWindowAttributes attrs;
    {
        X11ErrorTrap trap(d.dpy);
        if (!XGetWindowAttributes(d.dpy, Window(window), &attrs) || trap.failed())
            throw EGrabError("The window in front closed before it could be captured");
    }
    // Position in root coordinates, border included.
    int rootX = 0, rootY = 0;
    {
        X11ErrorTrap trap(d.dpy);
        Window child = 0;
        if (!XTranslateCoordinates(d.dpy, Window(window), d.root, 0, 0, &rootX, &rootY, &child) ||
            trap.failed())
            throw EGrabError("The window in front closed before it could be captured");
    }
    const ScreenRect rect{rootX - attrs.border_width, rootY - attrs.border_width,
                          attrs.width + 2 * attrs.border_width,
                          attrs.height + 2 * attrs.border_width};
    into = Bitmap(rect.width, rect.height, PixelFormat::Device);  // black outside the screen
    const int rootWidth = DisplayWidth(d.dpy, d.screen),
              rootHeight = DisplayHeight(d.dpy, d.screen);
    const int left = std::max(rect.x, 0), top = std::max(rect.y, 0);
    const int right = std::min(rect.x + rect.width, rootWidth);
    const int bottom = std::min(rect.y + rect.height, rootHeight);
    d.readInto(d.root, left, top, right - left, bottom - top, into, left - rect.x, top - rect.y);
    return rect;
}

std::optional<CursorImage> X11Grabber::cursor() {
    Impl& d = *m_impl;
    if (!d.xfixesAvailable)
        return std::nullopt;
    X11ErrorTrap trap(d.dpy);
    XFixesCursorImage* image = XFixesGetCursorImage(d.dpy);
    if (trap.failed() || !image) {
        if (image)
            XFree(image);
        return std::nullopt;
    }
    CursorImage c;
    c.x = image->x;
    c.y = image->y;
    c.hotX = image->xhot;
    c.hotY = image->yhot;
    c.width = image->width;
    c.height = image->height;
    // Each pixel sits in an unsigned long, 64 bits wide on this platform: narrow it first.
    const size_t count = size_t(c.width) * size_t(c.height);
    c.pixels.resize(count);
    for (size_t i = 0; i < count; ++i)
        c.pixels[i] = uint32_t(image->pixels[i] & 0xFFFFFFFFu);
    XFree(image);
    if (count == 0)
        return std::nullopt;
    return c;
}

void X11Grabber::setExcludedWindows(const std::vector<WindowHandle>& windows) {
    Impl& d = *m_impl;
    d.excluded.clear();
    for (WindowHandle w : windows)
        d.excluded.insert(Window(w));
    const bool want = !d.excluded.empty() && d.compositeAvailable;
    if (want == d.redirected)
        return;
    X11ErrorTrap trap(d.dpy);
    if (want)
        XCompositeRedirectSubwindows(d.dpy, d.root, CompositeRedirectAutomatic);
    else
        XCompositeUnredirectSubwindows(d.dpy, d.root, CompositeRedirectAutomatic);
    d.redirected = trap.failed() ? false : want;
}

// Paints the root background and every viewable top-level window but the excluded ones, bottom
// to top, into a pixmap, and reads the monitor's part of it.
void X11Grabber::Impl::composeWithout(const ScreenRect& area, Bitmap& into) {
    const int rootWidth = DisplayWidth(dpy, screen), rootHeight = DisplayHeight(dpy, screen);
    Pixmap canvas =
        XCreatePixmap(dpy, root, unsigned(rootWidth), unsigned(rootHeight), unsigned(depth));
    GC gc = XCreateGC(dpy, canvas, 0, nullptr);
    XSetForeground(dpy, gc, BlackPixel(dpy, screen));
    XFillRectangle(dpy, canvas, gc, 0, 0, unsigned(rootWidth), unsigned(rootHeight));
    X11ErrorTrap trap(dpy);

    // The wallpaper, where a desktop has set one; then the root's own pixels outside its children.
    if (Pixmap wallpaper = Pixmap(windowProperty(root, rootPixmapId, XA_PIXMAP))) {
        X11ErrorTrap wallpaperTrap(dpy);
        XCopyArea(dpy, wallpaper, canvas, gc, 0, 0, unsigned(rootWidth), unsigned(rootHeight), 0,
                  0);
        wallpaperTrap.failed();
    }
    XCopyArea(dpy, root, canvas, gc, 0, 0, unsigned(rootWidth), unsigned(rootHeight), 0, 0);

    const std::set<Window> leftOut = excludedTopLevels();
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(dpy, root, &rootReturn, &parent, &children, &count)) {
        Picture target = 0;
        if (renderAvailable) {
            XRenderPictFormat* format = XRenderFindVisualFormat(dpy, visual);
            if (format)
                target = XRenderCreatePicture(dpy, canvas, format, 0, nullptr);
        }
        for (unsigned i = 0; i < count; ++i) {
            const Window w = children[i];
            if (leftOut.count(w))
                continue;
            X11ErrorTrap windowTrap(dpy);
            XWindowAttributes attrs;
            if (!XGetWindowAttributes(dpy, w, &attrs) || windowTrap.failed())
                continue;
            if (attrs.map_state != IsViewable || attrs.c_class == InputOnly)
                continue;
            const unsigned width = unsigned(attrs.width + 2 * attrs.border_width);
            const unsigned height = unsigned(attrs.height + 2 * attrs.border_width);
            Pixmap content = XCompositeNameWindowPixmap(dpy, w);
            if (windowTrap.failed())
                continue;
            if (attrs.depth == depth) {
                XCopyArea(dpy, content, canvas, gc, 0, 0, width, height, attrs.x, attrs.y);
            } else if (target) {
                // A window with an alpha channel is laid over what lies below it.
                XRenderPictFormat* format = XRenderFindVisualFormat(dpy, attrs.visual);
                if (format) {
                    Picture source = XRenderCreatePicture(dpy, content, format, 0, nullptr);
                    XRenderComposite(
                        dpy,
                        format->type == PictTypeDirect && format->direct.alphaMask ? PictOpOver
                                                                                   : PictOpSrc,
                        source, 0, target, 0, 0, 0, 0, attrs.x, attrs.y, width, height);
                    XRenderFreePicture(dpy, source);
                }
            }
            XFreePixmap(dpy, content);
            windowTrap.failed();
        }
        if (target)
            XRenderFreePicture(dpy, target);
        if (children)
            XFree(children);
    }
    XFreeGC(dpy, gc);
    trap.failed();
    try {
        readInto(canvas, area.x, area.y, area.width, area.height, into, 0, 0);
    } catch (...) {
        XFreePixmap(dpy, canvas);
        throw;
    }
    XFreePixmap(dpy, canvas);
}

}  // namespace fk
