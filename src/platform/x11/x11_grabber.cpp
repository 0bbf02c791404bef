#include "platform/x11/x11_grabber.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/errors.h"
#include "platform/x11/x11_composer.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_handles.h"
#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_shm_image.h"
#include "platform/x11/x11_window_in_front.h"
#include "platform/x11/x11_window_tree.h"

namespace fk {

namespace {

struct DisplayCloser {
    void operator()(Display* dpy) const { XCloseDisplay(dpy); }
};

std::unique_ptr<Display, DisplayCloser> openDisplay(const std::string& name) {
    installX11ErrorHandler();
    std::unique_ptr<Display, DisplayCloser> dpy(
        XOpenDisplay(name.empty() ? nullptr : name.c_str()));
    if (!dpy) {
        const char* env = std::getenv("DISPLAY");
        const std::string shown = name.empty() ? (env ? env : "") : name;
        throw EGrabError(shown.empty() ? "No X11 display is set (the DISPLAY variable is empty)"
                                       : "Cannot open the X11 display \"" + shown + "\"");
    }
    return dpy;
}

bool hasShmExtension(Display* dpy) {
    int major = 0, minor = 0;
    Bool pixmaps = False;
    return XShmQueryVersion(dpy, &major, &minor, &pixmaps);
}

bool hasCompositeExtension(Display* dpy) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XCompositeQueryExtension(dpy, &eventBase, &errorBase) &&
           XCompositeQueryVersion(dpy, &major, &minor) && (major > 0 || minor >= 2);
}

bool hasXfixesExtension(Display* dpy) {
    int eventBase = 0, errorBase = 0;
    if (!XFixesQueryExtension(dpy, &eventBase, &errorBase))
        return false;
    int major = 4, minor = 0;
    XFixesQueryVersion(dpy, &major, &minor);
    return major >= 1;
}

bool hasRenderExtension(Display* dpy) {
    int eventBase = 0, errorBase = 0;
    return XRenderQueryExtension(dpy, &eventBase, &errorBase);
}

}  // namespace

// Members in the order they are made; they go in the reverse order, the display last.
struct X11Grabber::Impl {
    explicit Impl(const std::string& displayName)
        : display(openDisplay(displayName)),
          dpy(display.get()),
          screen(DefaultScreen(dpy)),
          root(RootWindow(dpy, screen)),
          visual(DefaultVisual(dpy, screen)),
          depth(DefaultDepth(dpy, screen)),
          xfixes(hasXfixesExtension(dpy)),
          composing{hasCompositeExtension(dpy), hasRenderExtension(dpy)},
          tree(dpy, root),
          inFront(dpy, tree),
          reader(dpy, visual, depth, hasShmExtension(dpy)),
          composer(dpy, tree, visual, depth, composing) {}

    std::unique_ptr<Display, DisplayCloser> display;
    Display* dpy;
    int screen;
    Window root;
    Visual* visual;
    int depth;
    bool xfixes;
    X11Composer::Capabilities composing;
    X11WindowTree tree;
    X11WindowInFront inFront;
    X11ImageReader reader;
    X11Composer composer;
    GrabArea area = GrabArea::PrimaryMonitor;

    ScreenRect areaRect() {
        return area == GrabArea::WholeDesktop ? wholeScreen(dpy, screen)
                                              : primaryMonitor(dpy, screen);
    }
};

X11Grabber::X11Grabber(const std::string& displayName)
    : m_impl(std::make_unique<Impl>(displayName)) {}

X11Grabber::~X11Grabber() = default;

GrabCapabilities X11Grabber::capabilities() const {
    return {.sharedMemory = m_impl->reader.shmAvailable(),
            .cursorImage = m_impl->xfixes,
            .windowFrames = true,
            .wholeDesktop = true,
            .ownWindows = m_impl->composing.composite ? OwnWindows::LeftOut : OwnWindows::Shown,
            .windowInFront = WindowInFront::Active};
}
void X11Grabber::setShmEnabled(bool enabled) {
    m_impl->reader.setShmEnabled(enabled);
}

ScreenRect X11Grabber::screenRect() {
    return m_impl->areaRect();
}

void X11Grabber::setGrabArea(GrabArea area) {
    m_impl->area = area;
}

void X11Grabber::grabScreen(Bitmap& into) {
    Impl& d = *m_impl;
    const auto grab = [&d, &into](const ScreenRect& area) {
        if (!d.reader.readWhole(d.root, area.x, area.y, area.width, area.height, into)) {
            into.prepare(area.width, area.height, PixelFormat::Device);
            d.reader.read(d.root, area.x, area.y, area.width, area.height, into, 0, 0);
        }
        d.composer.paintOverExcluded(area, into, d.reader);
    };
    const ScreenRect area = d.areaRect();
    try {
        grab(area);
    } catch (const EGrabError&) {
        // The screen may have changed its size between the question and the grab: once more at
        // the new size, so that a recording goes on across the change.
        const ScreenRect now = d.areaRect();
        if (now == area)
            throw;
        grab(now);
    }
}

std::optional<WindowHandle> X11Grabber::foregroundWindow() {
    if (const auto w = m_impl->inFront.find())
        return WindowHandle(*w);
    return std::nullopt;
}

ScreenRect X11Grabber::grabWindow(WindowHandle window, Bitmap& into) {
    Impl& d = *m_impl;
    const ScreenRect rect = d.inFront.rectOf(Window(window));
    into = Bitmap(rect.width, rect.height, PixelFormat::Device);  // black outside the screen
    const int rootWidth = DisplayWidth(d.dpy, d.screen),
              rootHeight = DisplayHeight(d.dpy, d.screen);
    const int left = std::max(rect.x, 0), top = std::max(rect.y, 0);
    const int right = std::min(rect.x + rect.width, rootWidth);
    const int bottom = std::min(rect.y + rect.height, rootHeight);
    d.reader.read(d.root, left, top, right - left, bottom - top, into, left - rect.x, top - rect.y);
    return rect;
}

std::vector<ScreenRect> X11Grabber::windowsOnScreen() {
    Impl& d = *m_impl;
    std::set<Window> leftOut;
    if (d.composer.active())
        for (Window w : d.composer.excluded())
            if (const Window top = d.tree.topLevelOf(w))
                leftOut.insert(top);
    return d.inFront.shownWindows(leftOut);
}

std::optional<CursorImage> X11Grabber::cursor() {
    Impl& d = *m_impl;
    if (!d.xfixes)
        return std::nullopt;
    X11ErrorTrap trap(d.dpy);
    const XPtr<XFixesCursorImage> image(XFixesGetCursorImage(d.dpy));
    if (trap.failed() || !image)
        return std::nullopt;
    CursorImage c;
    c.x = image->x;
    c.y = image->y;
    c.hotX = image->xhot;
    c.hotY = image->yhot;
    c.width = image->width;
    c.height = image->height;
    // Each pixel sits in an unsigned long, 64 bits wide on this platform: narrow it first.
    const size_t count = size_t(c.width) * size_t(c.height);
    if (count == 0)
        return std::nullopt;
    c.pixels.resize(count);
    for (size_t i = 0; i < count; ++i)
        c.pixels[i] = uint32_t(image->pixels[i] & 0xFFFFFFFFu);
    return c;
}

void X11Grabber::setExcludedWindows(const std::vector<WindowHandle>& windows) {
    std::vector<Window> excluded;
    excluded.reserve(windows.size());
    for (WindowHandle w : windows)
        excluded.push_back(Window(w));
    m_impl->composer.setExcluded(excluded);
}

}  // namespace fk
