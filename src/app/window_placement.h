#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace fk {

// The height of the title bar that a window needs on a screen so that it can be taken and moved.
inline constexpr int kTitleBarHeight = 24;

// Where a window of this size (frame included) whose top left is stored at `stored` is to appear:
// where it is while enough of its title bar lies on one of the screens, else moved into the
// primary screen's free area, as near to where it was as fits.
QPoint reachablePosition(QPoint stored, QSize frame, const QList<QRect>& screens, QRect primary);

// Moves the top-level window so, by the screens the desktop has now.
void keepTitleBarOnScreen(QWidget* window);

}  // namespace fk
