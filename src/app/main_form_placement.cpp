// Where and how the window shows: on a screen where its title bar can be taken, in the task bar
// only without a tray, brought back from the tray or the task bar.
#include <QTimer>

#include "app/main_form.h"
#include "app/window_placement.h"

namespace fk {

void TMainForm::showAtStart() {
    keepTitleBarOnScreen(this);
    if (!m_startMinimized || !trayAvailable()) {
        show();
        activateWindow();
    }
    // Without a tray there would be nothing on the screen to bring the window back with. Told
    // once the window shows, so that the note belongs to it.
    if (m_startMinimized && !trayAvailable())
        tellNoTrayOnce(true);
    // Once the event loop runs, over the window that is up by then.
    QTimer::singleShot(0, this, [this] { showStartErrors(); });
}

void TMainForm::showEvent(QShowEvent* event) {
    FormShow();
    QWidget::showEvent(event);
}

void TMainForm::FormShow() {
    // With a tray the icon is the program's only presence; without one, the task bar is.
    m_platform.desktop.setTaskbarEntry(
        WindowHandle(winId()), trayAvailable() ? TaskbarEntry::Hidden : TaskbarEntry::Shown);
}

void TMainForm::DoRestore() {
    keepTitleBarOnScreen(this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool TMainForm::isHiddenFromUser() const {
    return !isVisible() || isMinimized();
}

}  // namespace fk
