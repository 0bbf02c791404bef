#include "platform/x11/x11_shm_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_pixels.h"

namespace fk {

void X11ImageReader::read(Drawable source, int x, int y, int width, int height, Bitmap& into,
                          int dx, int dy) {
    if (width <= 0 || height <= 0)
        return;
    if (m_shmAvailable && m_shmEnabled) {
        if (XImage* image = shmImage(width, height)) {
            X11ErrorTrap trap(m_dpy);
            if (XShmGetImage(m_dpy, source, image, x, y, AllPlanes) && !trap.failed()) {
                copyImageRows(*image, *m_visual, into, dx, dy);
                return;
            }
        }
    }
    X11ErrorTrap trap(m_dpy);
    OwnedImage image(
        XGetImage(m_dpy, source, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap));
    if (trap.failed() || !image)
        throw EGrabError("The display refused to give the picture");
    copyImageRows(*image, *m_visual, into, dx, dy);
}

XImage* X11ImageReader::shmImage(int width, int height) {
    if (m_image && m_image->width == width && m_image->height == height)
        return m_image.get();
    // The image itself is only a description of the segment's bytes, made without the server.
    m_image.reset(XShmCreateImage(m_dpy, m_visual, unsigned(m_depth), ZPixmap, nullptr, &m_info,
                                  unsigned(width), unsigned(height)));
    if (!m_image)
        return nullptr;
    const size_t size = size_t(m_image->bytes_per_line) * size_t(height);
    if (size > m_capacity && !attachSegment(size)) {
        m_image.reset();
        return nullptr;
    }
    m_image->data = m_info.shmaddr;
    return m_image.get();
}

bool X11ImageReader::attachSegment(size_t size) {
    releaseSegment();
    m_info.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (m_info.shmid < 0)
        return false;
    void* address = shmat(m_info.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(m_info.shmid, IPC_RMID, nullptr);
        m_info = {};
        return false;
    }
    m_info.shmaddr = static_cast<char*>(address);
    m_info.readOnly = False;
    X11ErrorTrap trap(m_dpy);
    const bool attached = XShmAttach(m_dpy, &m_info) && !trap.failed();
    // Marked for removal now: the segment goes away with the last detach, also on a crash.
    shmctl(m_info.shmid, IPC_RMID, nullptr);
    if (!attached) {
        releaseSegment();
        return false;
    }
    m_attached = true;
    m_capacity = size;
    return true;
}

void X11ImageReader::releaseSegment() {
    if (m_attached) {
        X11ErrorTrap trap(m_dpy);
        XShmDetach(m_dpy, &m_info);
        trap.failed();  // the server detaches before the memory goes
    }
    if (m_info.shmaddr)
        shmdt(m_info.shmaddr);
    if (m_image)
        m_image->data = nullptr;
    m_attached = false;
    m_capacity = 0;
    m_info = {};
    m_info.shmid = -1;
}

}  // namespace fk
