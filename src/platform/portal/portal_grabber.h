#pragma once

#include <QImage>
#include <memory>
#include <optional>

#include "platform/portal/compositor_sync.h"
#include "platform/portal/desktop_shots.h"
#include "platform/portal/screen_cast.h"
#include "platform/screen_grabber.h"

namespace fk {

// The desktop families whose own services take the pictures on Wayland.
enum class PortalDesktop { Gnome, Kde, Other };

// Pictures on a Wayland desktop that lets no client read the screen itself (GNOME, KDE): the
// newest frame of the ScreenCast portal's stream, opened when the program starts; where the
// desktop refuses to share the screen, KWin's screenshot service (where KWin grants it) or the
// Screenshot portal. The window in front: KWin's active window where granted, else the window
// the user picks in the desktop's screenshot dialog.
class PortalGrabber final : public ScreenGrabber {
public:
    PortalGrabber(PortalDesktop desktop, RestoreToken token);
    ~PortalGrabber() override;

    GrabCapabilities capabilities() const override;
    ScreenRect screenRect() override { return m_lastRect; }
    void grabScreen(Bitmap& into) override;
    // Takes the window's picture at once (the desktop may ask the user which window); nothing
    // when the user cancelled. grabWindow hands the picture out.
    std::optional<WindowHandle> foregroundWindow() override;
    ScreenRect grabWindow(WindowHandle window, Bitmap& into) override;
    std::optional<CursorImage> cursor() override;
    // The caller hides the program's windows for each screen grab (OwnWindows::HiddenForGrab);
    // while windows are to be left out, a grab from the stream waits for the frame after that.
    void setExcludedWindows(const std::vector<WindowHandle>& windows) override;
    // KWin draws the cursor into its own pictures when told to; the stream's pictures get it
    // from cursor(), drawn by the caller.
    void setCursorInGrabs(bool on) override { m_cursorInGrabs = on; }

private:
    bool grabFromStream(Bitmap& into);
    bool grabFromKWin(KWinShot what, Bitmap& into);
    ScreenRect keep(const QImage& picture, Bitmap& into);

    PortalDesktop m_desktop;
    std::unique_ptr<ScreenCast> m_cast;
    CompositorSync m_compositor;  // tells when the hidden windows are gone from the screen
    bool m_kwinGranted;           // until KWin says otherwise
    ScreenRect m_lastRect;
    bool m_lastFromStream = false;   // the cursor's place is known only on the stream's pictures
    bool m_excluding = false;        // the program's windows are hidden for each grab
    bool m_cursorInGrabs = false;    // KWin is to draw the cursor into its pictures
    std::optional<Bitmap> m_picked;  // the window's picture, until it is grabbed
};

}  // namespace fk
