#include "platform/x11/x11_shm_image.h"

#include "platform/errors.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_pixels.h"

namespace fk {

namespace {

// Whether the image's rows are the rows of a Device bitmap of its size, byte for byte.
bool hasDeviceLayout(const XImage& image, const Visual& visual) {
    return image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
           visual.red_mask == 0xFF0000 && visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF &&
           size_t(image.bytes_per_line) == Bitmap::strideFor(image.width, 32);
}

}  // namespace

bool X11ImageReader::readWhole(Drawable source, int x, int y, int width, int height, Bitmap& into) {
    if (!shmOn() || width <= 0 || height <= 0)
        return false;
    const OwnedImage shape = describe(width, height, nullptr);
    if (!shape || !hasDeviceLayout(*shape, *m_visual))
        return false;
    const size_t size = size_t(shape->bytes_per_line) * size_t(height);

    const ShmSegment* segment = m_pool.segmentOf(into.adoptedMemory());
    if (!segment || into.width() != width || into.height() != height ||
        into.pixelFormat() != PixelFormat::Device || into.rowOrder() != RowOrder::TopDown) {
        into = Bitmap();  // hands back a segment it holds, for the take below
        const std::optional<ShmSegment> taken = m_pool.take(size);
        if (!taken)
            return false;
        into.adoptMemory(width, height, PixelFormat::Device, RowOrder::TopDown,
                         m_pool.lend(*taken));
        segment = m_pool.segmentOf(into.adoptedMemory());
    }
    XShmSegmentInfo info = segment->info;
    const OwnedImage image = describe(width, height, &info);
    if (!image)
        return false;
    X11ErrorTrap trap(m_dpy);
    return XShmGetImage(m_dpy, source, image.get(), x, y, AllPlanes) && !trap.failed();
}

void X11ImageReader::read(Drawable source, int x, int y, int width, int height, Bitmap& into,
                          int dx, int dy) {
    if (width <= 0 || height <= 0)
        return;
    if (shmOn()) {
        if (XImage* image = scratchImage(width, height)) {
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

XImage* X11ImageReader::scratchImage(int width, int height) {
    if (m_image && m_image->width == width && m_image->height == height)
        return m_image.get();
    m_image.reset();
    const OwnedImage shape = describe(width, height, nullptr);
    if (!shape)
        return nullptr;
    const size_t size = size_t(shape->bytes_per_line) * size_t(height);
    if (!m_scratch || m_scratch->size < size) {
        releaseScratch();
        m_scratch = m_pool.take(size);
        if (!m_scratch)
            return nullptr;
    }
    m_image = describe(width, height, &m_scratch->info);
    return m_image.get();
}

OwnedImage X11ImageReader::describe(int width, int height, XShmSegmentInfo* segment) {
    // Only a description of a segment's bytes, made without the server; it keeps the address
    // of the segment's information, which must outlive it.
    XShmSegmentInfo none{};
    OwnedImage image(XShmCreateImage(m_dpy, m_visual, unsigned(m_depth), ZPixmap,
                                     segment ? segment->shmaddr : nullptr,
                                     segment ? segment : &none, unsigned(width), unsigned(height)));
    if (image && !segment)
        image->obdata = nullptr;
    return image;
}

void X11ImageReader::releaseScratch() {
    m_image.reset();
    if (m_scratch)
        m_pool.detach(*m_scratch);
    m_scratch.reset();
}

}  // namespace fk
