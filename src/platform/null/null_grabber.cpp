#include "platform/null/null_grabber.h"

#include "platform/errors.h"

namespace fk {

void NoDisplayGrabber::grabScreen(Bitmap&) {
    throw EGrabError(m_reason);
}

ScreenRect NoDisplayGrabber::grabWindow(WindowHandle, Bitmap&) {
    throw EGrabError(m_reason);
}

}  // namespace fk
