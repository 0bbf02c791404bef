#include "app/hiding_grabber.h"

namespace fk {

void HidingGrabber::grabScreen(Bitmap& into) {
    if (!m_excluding)
        return m_inner.grabScreen(into);
    struct ShowAgain {
        std::function<void()> show;
        ~ShowAgain() {
            if (show)
                show();
        }
    } again{m_hide()};
    // The toolkit sends the hiding now; the grab itself waits until the display shows it.
    m_desktop.flush();
    m_inner.grabScreen(into);
}

}  // namespace fk
