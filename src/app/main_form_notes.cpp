// What the main window tells the user without stopping anything: keys another program holds, a
// shot that wrote nothing, a desktop without a tray, a display that shows the program's windows
// in shots.
#include <QMessageBox>
#include <QTimer>
#include <iostream>
#include <memory>

#include "app/language.h"
#include "app/main_form.h"

namespace fk {

namespace {

const char* const kNoFormatNote = QT_TRANSLATE_NOOP("fk::TMainForm", "Формат снимка не выбран");
const char* const kNoTrayNote = QT_TRANSLATE_NOOP(
    "fk::TMainForm",
    "Области уведомлений нет, и значка Fotokran не видно. Свернутое окно остается на панели "
    "задач: вернуть его можно оттуда, переключением окон (Alt+Tab) или новым запуском Fotokran. "
    "Горячие клавиши работают и при свернутом окне.");
const char* const kShownAtStart =
    QT_TRANSLATE_NOOP("fk::TMainForm", "Окно Fotokran не свернуто при запуске. ");
const char* const kExclusionRefused = QT_TRANSLATE_NOOP(
    "fk::TMainForm",
    "Окна Fotokran не удастся исключить из снимков экрана: дисплей этого не позволяет (%1). "
    "Пока включена прозрачность, они будут видны на снимках.");

}  // namespace

void TMainForm::showNote(const std::function<QString()>& makeMessage) {
    const QString message = makeMessage();
    if (m_hooks.showNotice)
        return m_hooks.showNotice(message);
    std::cerr << "Fotokran: " << message.toStdString() << std::endl;
    if (trayAvailable() && QSystemTrayIcon::supportsMessages() && m_tray->isVisible()) {
        // The balloon points at the icon, so it waits until the tray has placed the icon.
        auto* wait = new QTimer(this);
        auto tries = std::make_shared<int>(0);
        connect(wait, &QTimer::timeout, this, [this, wait, tries, message] {
            const QRect place = m_tray->geometry();
            if ((!place.isValid() || place.topLeft().isNull()) && ++*tries < 25)
                return;
            wait->deleteLater();
            m_tray->showMessage(kCaption, message, QSystemTrayIcon::Warning, 15000);
        });
        wait->start(200);
        return;
    }
    // The same note asked for again while it is open comes to the front, not once more.
    if (m_noteBox && m_noteBox->text() == message) {
        m_noteBox->raise();
        m_noteBox->activateWindow();
        return;
    }
    auto* note = newBox(QMessageBox::Information, message);
    note->setAttribute(Qt::WA_DeleteOnClose);
    note->setModal(false);
    note->show();
    // A note shown as the main window first maps would otherwise leave the keys to the main
    // window, whose activation Qt makes once that window is exposed.
    note->activateWindow();
    m_noteBox = note;
    m_noteText = makeMessage;
}

void TMainForm::tellRefusedKeys(const std::vector<HotKeyAction>& refused) {
    auto note = [this, refused] {
        QStringList parts;
        if (!m_platform.startNote.empty())
            parts << QString::fromStdString(m_platform.startNote);
        if (m_platform.desktop.capabilities().family != DesktopFamily::Unknown) {
            if (!m_hooks.background)  // a copy that runs one command takes no keys
                parts << waylandNote(refused);
        } else if (!refused.empty()) {
            QStringList names;
            for (HotKeyAction a : refused)
                names << QString::fromStdString(hotKeyName(a));
            parts << tr("Эти горячие клавиши заняты другой программой и в Fotokran работать не "
                        "будут: ") +
                         names.join(", ");
        }
        return parts.join("\n\n");
    };
    if (!note().isEmpty())
        showNote(note);
}

void TMainForm::noFormatSelected() {
    // Once per press: a series that writes nothing says so at its first shot only.
    if (m_noFormatTold.empty() || m_noFormatTold.back())
        return;
    m_noFormatTold.back() = true;
    showNote([] { return trForm(kNoFormatNote); });
}

void TMainForm::tellNoTrayOnce(bool atStart) {
    if (m_noTrayTold)
        return;
    m_noTrayTold = true;
    showNote(
        [atStart] { return (atStart ? trForm(kShownAtStart) : QString()) + trForm(kNoTrayNote); });
}

void TMainForm::tellExclusionRefusedOnce(const QString& reason) {
    if (m_exclusionRefusalTold)
        return;
    m_exclusionRefusalTold = true;
    showNote([reason] { return trForm(kExclusionRefused).arg(reason); });
}

}  // namespace fk
