// The tray icon and its menu, and hiding the window into the tray.
#include <QCursor>
#include <QMenu>

#include "app/main_form.h"

namespace fk {

bool TMainForm::trayAvailable() const {
    return m_hooks.trayAvailable ? m_hooks.trayAvailable()
                                 : QSystemTrayIcon::isSystemTrayAvailable();
}

void TMainForm::TrayIconActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            DoRestore();
            break;
        case QSystemTrayIcon::Context:
            PopupMenu1->popup(QCursor::pos());
            break;
        default:
            break;  // a double click has acted on its first press already
    }
}

void TMainForm::N1Click() {
    DoRestore();
}
void TMainForm::N2Click() {
    close();
}

void TMainForm::Button2Click() {
    if (trayAvailable()) {
        hide();
        return;
    }
    tellNoTrayOnce(false);
    showMinimized();
}

}  // namespace fk
