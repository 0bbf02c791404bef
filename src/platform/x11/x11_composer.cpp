#include "platform/x11/x11_composer.h"

#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_handles.h"

namespace fk {

namespace {

std::optional<ScreenRect> intersection(const ScreenRect& a, const ScreenRect& b) {
    const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    if (right <= left || bottom <= top)
        return std::nullopt;
    return ScreenRect{left, top, right - left, bottom - top};
}

// The requests made for one source of the picture, by their serials.
struct Span {
    unsigned long first = 0;
    unsigned long end = 0;  // past the last
    Window window = 0;      // none for the wallpaper
    bool contains(unsigned long serial) const { return serial >= first && serial < end; }
};

}  // namespace

X11Composer::X11Composer(Display* dpy, X11WindowTree& tree, Visual* visual, int depth,
                         Capabilities capabilities)
    : m_dpy(dpy),
      m_tree(tree),
      m_visual(visual),
      m_depth(depth),
      m_capabilities(capabilities),
      m_stackReader(dpy, tree) {}

X11Composer::~X11Composer() {
    if (m_redirected) {
        X11ErrorTrap trap(m_dpy);
        XCompositeUnredirectSubwindows(m_dpy, m_tree.root(), CompositeRedirectAutomatic);
    }
}

void X11Composer::setExcluded(const std::vector<Window>& windows) {
    m_excluded = windows;
    const bool want = !m_excluded.empty();
    if (want == m_redirected)
        return;
    if (want && !m_capabilities.composite)
        throw EGrabError("The display has no Composite extension to leave windows out of pictures");
    X11ErrorTrap trap(m_dpy);
    if (want)
        XCompositeRedirectSubwindows(m_dpy, m_tree.root(), CompositeRedirectAutomatic);
    else
        XCompositeUnredirectSubwindows(m_dpy, m_tree.root(), CompositeRedirectAutomatic);
    const bool refused = trap.failed();
    if (!refused) {
        m_redirected = want;
    } else if (want) {
        throw EGrabError("The display refused to keep the windows' contents: " +
                         describeX11Error(m_dpy, trap.errors().front()));
    } else {
        m_redirected = false;  // nothing is kept any more either way
    }
}

void X11Composer::paintOverExcluded(const ScreenRect& area, Bitmap& into, X11ImageReader& reader) {
    if (!active())
        return;
    const WindowStack stack = m_stackReader.read(m_excluded);
    for (const WindowStack::TopLevel& t : stack.windows) {
        if (!t.drawn || !stack.holders.count(t.window))
            continue;
        if (const auto place = intersection(t.rect, area))
            paintPlace(*place, stack, area, into, reader);
    }
}

void X11Composer::paintPlace(const ScreenRect& place, const WindowStack& stack,
                             const ScreenRect& area, Bitmap& into, X11ImageReader& reader) {
    const Window root = m_tree.root();
    const auto width = unsigned(place.width), height = unsigned(place.height);
    // Made before the trap and freed after it: nothing is left to wait for once the picture is
    // read.
    OwnedPixmap canvas;
    OwnedGC gc;
    OwnedPicture target;
    X11ErrorTrap trap(m_dpy);
    canvas = OwnedPixmap(m_dpy, XCreatePixmap(m_dpy, root, width, height, unsigned(m_depth)));
    XGCValues values{};
    values.graphics_exposures = False;  // no events for the copies: nobody would read them
    values.foreground = BlackPixel(m_dpy, DefaultScreen(m_dpy));
    gc =
        OwnedGC(m_dpy, XCreateGC(m_dpy, canvas.get(), GCGraphicsExposures | GCForeground, &values));
    XFillRectangle(m_dpy, canvas.get(), gc.get(), 0, 0, width, height);

    // The wallpaper, where a desktop has set one; then the root's own pixels outside its children.
    Span wallpaperSpan{trap.nextSerial(), trap.nextSerial(), 0};
    if (stack.wallpaper) {
        XCopyArea(m_dpy, stack.wallpaper, canvas.get(), gc.get(), place.x, place.y, width, height,
                  0, 0);
        wallpaperSpan.end = trap.nextSerial();
    }
    XCopyArea(m_dpy, root, canvas.get(), gc.get(), place.x, place.y, width, height, 0, 0);

    std::map<VisualID, XRenderPictFormat*> formats;
    std::vector<Span> spans;
    spans.reserve(stack.windows.size());
    for (const WindowStack::TopLevel& t : stack.windows) {
        if (!t.drawn || stack.holders.count(t.window))
            continue;
        const auto part = intersection(t.rect, place);
        if (!part)
            continue;
        XRenderPictFormat* format = nullptr;
        if (t.depth != m_depth) {
            if (!m_capabilities.render)
                throw EGrabError(
                    "The display has no RENDER extension to compose a window of another depth");
            if (!target)
                target = OwnedPicture(
                    m_dpy,
                    XRenderCreatePicture(m_dpy, canvas.get(),
                                         XRenderFindVisualFormat(m_dpy, m_visual), 0, nullptr));
            auto [it, added] = formats.try_emplace(t.visual, nullptr);
            if (added) {
                XVisualInfo wanted{};
                wanted.visualid = t.visual;
                int found = 0;
                const XPtr<XVisualInfo> info(XGetVisualInfo(m_dpy, VisualIDMask, &wanted, &found));
                if (info && found > 0)
                    it->second = XRenderFindVisualFormat(m_dpy, info->visual);
            }
            format = it->second;
            if (!format)
                throw EGrabError("The display gave no picture format for a window's visual");
        }
        const int sx = part->x - t.rect.x, sy = part->y - t.rect.y;
        const int dx = part->x - place.x, dy = part->y - place.y;
        Span span{trap.nextSerial(), 0, t.window};
        {
            const OwnedPixmap content(m_dpy, XCompositeNameWindowPixmap(m_dpy, t.window));
            if (!format) {
                XCopyArea(m_dpy, content.get(), canvas.get(), gc.get(), sx, sy,
                          unsigned(part->width), unsigned(part->height), dx, dy);
            } else {
                // A window with an alpha channel is laid over what lies below it.
                const OwnedPicture source(
                    m_dpy, XRenderCreatePicture(m_dpy, content.get(), format, 0, nullptr));
                const bool alpha = format->type == PictTypeDirect && format->direct.alphaMask;
                XRenderComposite(m_dpy, alpha ? PictOpOver : PictOpSrc, source.get(), None,
                                 target.get(), sx, sy, 0, 0, dx, dy, unsigned(part->width),
                                 unsigned(part->height));
            }
        }
        span.end = trap.nextSerial();
        spans.push_back(span);
    }
    reader.read(canvas.get(), 0, 0, place.width, place.height, into, place.x - area.x,
                place.y - area.y);

    if (!trap.failed())
        return;
    for (const X11Error& error : trap.errors()) {
        // A wallpaper property left behind by a desktop that has gone names no pixmap any more.
        if (wallpaperSpan.contains(error.serial))
            continue;
        // A window that closed or was hidden meanwhile shows nothing any more: what lies below
        // it is already in its place.
        const auto span = std::find_if(spans.begin(), spans.end(),
                                       [&](const Span& s) { return s.contains(error.serial); });
        if (span != spans.end() && !m_tree.isViewable(span->window))
            continue;
        throw EGrabError("The display refused to compose the screen without Fotokran's windows (" +
                         describeX11Error(m_dpy, error) + ")");
    }
}

}  // namespace fk
