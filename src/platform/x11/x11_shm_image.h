#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include "graphics/bitmap.h"
#include "platform/x11/x11_handles.h"

namespace fk {

// Reads rectangles of drawables (the root window, a pixmap) into bitmaps: through one
// shared-memory segment kept from read to read, and grown when a larger read needs it, where
// the server has MIT-SHM; by plain requests otherwise.
class X11ImageReader {
public:
    X11ImageReader(Display* dpy, Visual* visual, int depth, bool shmAvailable)
        : m_dpy(dpy), m_visual(visual), m_depth(depth), m_shmAvailable(shmAvailable) {}
    ~X11ImageReader() { releaseSegment(); }
    X11ImageReader(const X11ImageReader&) = delete;
    X11ImageReader& operator=(const X11ImageReader&) = delete;

    bool shmAvailable() const { return m_shmAvailable; }
    void setShmEnabled(bool enabled) { m_shmEnabled = enabled; }

    // Copies (x, y, width, height) of the drawable into `into`, at (dx, dy) of it, as blue,
    // green, red, 0. Throws EGrabError when the display refuses.
    void read(Drawable source, int x, int y, int width, int height, Bitmap& into, int dx, int dy);

private:
    // An image of this size over the segment, or null when shared memory cannot be had.
    XImage* shmImage(int width, int height);
    bool attachSegment(size_t size);
    void releaseSegment();

    Display* m_dpy;
    Visual* m_visual;
    int m_depth;
    bool m_shmAvailable;
    bool m_shmEnabled = true;

    XShmSegmentInfo m_info{};  // its address is in every image made over the segment
    size_t m_capacity = 0;     // bytes; 0 without a segment
    bool m_attached = false;
    OwnedImage m_image;  // the last size asked for
};

}  // namespace fk
