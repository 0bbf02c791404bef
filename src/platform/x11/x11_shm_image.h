#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <optional>

#include "graphics/bitmap.h"
#include "platform/x11/x11_handles.h"
#include "platform/x11/x11_shm_segments.h"

namespace fk {

// Reads rectangles of drawables (the root window, a pixmap) into bitmaps: through shared memory
// where the server has MIT-SHM, by plain requests otherwise.
class X11ImageReader {
public:
    X11ImageReader(Display* dpy, Visual* visual, int depth, bool shmAvailable)
        : m_dpy(dpy), m_visual(visual), m_depth(depth), m_shmAvailable(shmAvailable), m_pool(dpy) {}
    ~X11ImageReader() { releaseScratch(); }
    X11ImageReader(const X11ImageReader&) = delete;
    X11ImageReader& operator=(const X11ImageReader&) = delete;

    bool shmAvailable() const { return m_shmAvailable; }
    void setShmEnabled(bool enabled) { m_shmEnabled = enabled; }

    // Makes `into` a Device bitmap of the rectangle whose rows are a shared-memory segment, top row
    // first, and has the display write the rectangle there: nothing is copied, and a bitmap that
    // already holds such a segment of the size keeps it. False, with `into` possibly emptied, where
    // the display's pixels are not laid out as the bitmap's or shared memory cannot be had.
    bool readWhole(Drawable source, int x, int y, int width, int height, Bitmap& into);

    // Copies (x, y, width, height) of the drawable into `into`, at (dx, dy) of it, as blue,
    // green, red, 0, through one segment kept from read to read. Throws EGrabError when the
    // display refuses.
    void read(Drawable source, int x, int y, int width, int height, Bitmap& into, int dx, int dy);

private:
    bool shmOn() const { return m_shmAvailable && m_shmEnabled; }
    // An image of this size over the kept segment, or null when shared memory cannot be had.
    XImage* scratchImage(int width, int height);
    // An image of this size over the segment, or only its shape when there is none.
    OwnedImage describe(int width, int height, XShmSegmentInfo* segment);
    void releaseScratch();

    Display* m_dpy;
    Visual* m_visual;
    int m_depth;
    bool m_shmAvailable;
    bool m_shmEnabled = true;

    X11SegmentPool m_pool;
    std::optional<ShmSegment> m_scratch;  // its address is in every image made over it
    OwnedImage m_image;                   // over the scratch segment, the last size asked for
};

}  // namespace fk
