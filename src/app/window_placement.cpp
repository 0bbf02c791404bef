#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace fk {

namespace {

// So much of the title bar's width must be on one screen to take it with the mouse.
constexpr int kGripWidth = 80;

int placeWithin(int position, int length, int start, int room) {
    if (length >= room)
        return start;
    return std::clamp(position, start, start + room - length);
}

}  // namespace

QPoint reachablePosition(QPoint stored, QSize frame, const QList<QRect>& screens, QRect primary) {
    const QRect titleBar(stored, QSize(frame.width(), kTitleBarHeight));
    for (const QRect& screen : screens) {
        const QRect onScreen = titleBar.intersected(screen);
        if (onScreen.width() >= std::min(kGripWidth, frame.width()) &&
            onScreen.height() >= kTitleBarHeight / 2)
            return stored;
    }
    return {placeWithin(stored.x(), frame.width(), primary.x(), primary.width()),
            placeWithin(stored.y(), frame.height(), primary.y(), primary.height())};
}

void keepTitleBarOnScreen(QWidget* window) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // Before the first show the frame is not known yet: count a title bar above the window.
    const QRect frame = window->frameGeometry();
    const QSize size = frame.height() > window->height()
                           ? frame.size()
                           : QSize(window->width(), window->height() + kTitleBarHeight);
    const QPoint place =
        reachablePosition(window->pos(), size, screens, primary->availableGeometry());
    if (place != window->pos())
        window->move(place);
}

}  // namespace fk
