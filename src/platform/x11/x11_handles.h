#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrender.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace fk {

// What Xlib hands out for the caller to free with XFree: replies, lists, property data.
struct XFreeDeleter {
    void operator()(void* p) const {
        if (p)
            XFree(p);
    }
};
template <typename T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

// What xcb hands out for the caller to free with free(): replies and errors.
struct MallocDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using MallocPtr = std::unique_ptr<T, MallocDeleter>;

struct XImageDeleter {
    void operator()(XImage* image) const {
        if (image)
            XDestroyImage(image);
    }
};
using OwnedImage = std::unique_ptr<XImage, XImageDeleter>;

// A server resource made by this client, freed on the display it was made on.
template <typename Handle, auto Free>
class XResource {
public:
    XResource() = default;
    XResource(Display* dpy, Handle handle) : m_dpy(dpy), m_handle(handle) {}
    ~XResource() { reset(); }
    XResource(XResource&& other) noexcept
        : m_dpy(other.m_dpy), m_handle(std::exchange(other.m_handle, Handle{})) {}
    XResource& operator=(XResource&& other) noexcept {
        if (this != &other) {
            reset();
            m_dpy = other.m_dpy;
            m_handle = std::exchange(other.m_handle, Handle{});
        }
        return *this;
    }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Handle{}; }
    void reset() {
        if (m_handle != Handle{})
            Free(m_dpy, m_handle);
        m_handle = Handle{};
    }

private:
    Display* m_dpy = nullptr;
    Handle m_handle{};
};

using OwnedPixmap = XResource<Pixmap, &XFreePixmap>;
using OwnedGC = XResource<GC, &XFreeGC>;
using OwnedPicture = XResource<Picture, &XRenderFreePicture>;

}  // namespace fk
