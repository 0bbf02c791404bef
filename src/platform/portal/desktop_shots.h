#pragma once

#include <QImage>
#include <optional>

#include "platform/errors.h"

namespace fk {

// Pictures the desktop takes on request, one at a time: the Screenshot portal (every desktop
// with portals) and KWin's own screenshot service.

enum class ScreenshotPick { WholeScreen, ByUser };

// The Screenshot portal's picture. The desktop writes it to a file (in the user's pictures
// folder), which is read and removed at once, so no file of ours stays behind. Nothing when the
// user cancelled the pick; EGrabError when the desktop refused.
std::optional<QImage> portalScreenshot(ScreenshotPick pick, int timeoutMs);

// KWin grants its screenshot service only to programs whose desktop entry asks for it.
class EKWinNotGranted : public EGrabError {
public:
    using EGrabError::EGrabError;
};

enum class KWinShot { Workspace, ActiveWindow };
enum class CursorInShot { Left, Drawn };

// KWin's org.kde.KWin.ScreenShot2: the picture (a window with its frame, without its shadow)
// comes through a pipe, raw. Throws
// EKWinNotGranted when KWin does not authorise this program, EGrabError on other failures.
QImage kwinScreenshot(KWinShot what, CursorInShot cursor);

// KWin's screenshot service is on the session bus.
bool kwinScreenshotOffered();

}  // namespace fk
