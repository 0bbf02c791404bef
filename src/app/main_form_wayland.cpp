// What the main window does where the display draws every window into every picture and gives
// no program the keyboard (Wayland): its windows hidden for screen grabs, the start-up note with
// the commands to bind, window opacity set by the desktop.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPointer>
#include <QSlider>

#include "app/hiding_grabber.h"
#include "app/language.h"
#include "app/main_form.h"

namespace fk {

namespace {

struct Binding {
    HotKeyAction action;
    const char* keys;      // as the user reads them
    const char* swayKeys;  // as sway's bindsym names them
    const char* command;
};
constexpr Binding kBindings[] = {
    {HotKeyAction::ShootScreen, "Print", "Print", "fotokran --screen"},
    {HotKeyAction::ShootWindow, "Ctrl+Print", "Ctrl+Print", "fotokran --window"},
    {HotKeyAction::TimedSeries, "Shift+Print", "Shift+Print", "fotokran --series"},
    {HotKeyAction::Video, "Shift+Scroll Lock", "Shift+Scroll_Lock", "fotokran --video"},
};

QString howToBind(DesktopFamily family, const std::vector<HotKeyAction>& keys) {
    QStringList lines;
    for (const Binding& b : kBindings) {
        if (std::find(keys.begin(), keys.end(), b.action) == keys.end())
            continue;
        lines << (family == DesktopFamily::Sway
                      ? QString("bindsym %1 exec %2").arg(b.swayKeys, b.command)
                      : QString("%1 — %2").arg(b.keys, b.command));
    }
    const QString list = lines.join("\n");
    switch (family) {
        case DesktopFamily::Sway:
            return TMainForm::tr(
                       "В sway программа не может сама занять клавиши снимков. Добавьте в "
                       "~/.config/sway/config строки\n%1\nи выполните swaymsg reload.")
                .arg(list);
        case DesktopFamily::Gnome:
            return TMainForm::tr(
                       "В GNOME программа не может сама занять клавиши снимков. Назначьте их в "
                       "«Параметры → Клавиатура → Комбинации клавиш → Дополнительные комбинации "
                       "клавиш», по одной на команду:\n%1")
                .arg(list);
        case DesktopFamily::Kde:
            return TMainForm::tr(
                       "В KDE программа не может сама занять клавиши снимков. Назначьте их в "
                       "«Параметры системы → Комбинации клавиш → Fotokran»: действия «Снимок "
                       "экрана», «Снимок окна», «Снятие по таймеру» и «Съемка видео» там уже есть, "
                       "по одному на команду:\n%1")
                .arg(list);
        default:
            return TMainForm::tr(
                       "На Wayland программа не может сама занять клавиши снимков. Назначьте их "
                       "командам в настройках клавиш рабочего стола:\n%1")
                .arg(list);
    }
}

QString windowShotMethod(WindowInFront how, DesktopFamily family) {
    switch (how) {
        case WindowInFront::Active:
            return family == DesktopFamily::Sway
                       ? TMainForm::tr(
                             "Снимок окна берет окно в фокусе, как его называет sway, с рамкой.")
                       : TMainForm::tr("Снимок окна берет активное окно с рамкой.");
        case WindowInFront::PickedByUser:
            return TMainForm::tr("Снимок окна: окно выбираете вы, в окне выбора рабочего стола.");
        case WindowInFront::Unsupported:
            break;
    }
    return TMainForm::tr(
        "Снимок окна здесь не работает: рабочий стол не сообщает, какое окно впереди.");
}

}  // namespace

void TMainForm::useHidingGrabs() {
    if (m_platform.grabber.capabilities().ownWindows != OwnWindows::HiddenForGrab)
        return;
    m_hidingGrabber = std::make_unique<HidingGrabber>(m_platform.grabber, m_platform.desktop,
                                                      [this] { return hideOwnWindows(); });
}

std::function<void()> TMainForm::hideOwnWindows() {
    // Windows waiting for an answer stay: hiding a modal dialog would end it.
    std::vector<QPointer<QWidget>> hidden;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !w->isModal() && (w == this || qobject_cast<QDialog*>(w))) {
            hidden.emplace_back(w);
            w->hide();
        }
    return [hidden] {
        for (const QPointer<QWidget>& w : hidden)
            if (w)
                w->show();
    };
}

void TMainForm::applyOpacity() {
    const double level = CheckBox1->isChecked() ? TrackBar1->value() / 255.0 : 1.0;
    switch (m_platform.desktop.capabilities().opacity) {
        case WindowOpacity::Toolkit:
            setWindowOpacity(level);
            break;
        case WindowOpacity::Desktop:
            m_platform.desktop.setWindowOpacity(level);
            break;
        case WindowOpacity::Unsupported:
            break;
    }
}

void TMainForm::tellOpacitySupport() {
    if (m_platform.desktop.capabilities().opacity == WindowOpacity::Unsupported)
        setSourceToolTip(
            TrackBar1,
            QT_TR_NOOP(
                "Прозрачность окна здесь не действует: рабочий стол не меняет прозрачность окон "
                "программ. Окна Fotokran все равно не попадают в снимки, пока она включена."));
}

QString TMainForm::waylandNote(const std::vector<HotKeyAction>& refused) {
    const DesktopCapabilities desktop = m_platform.desktop.capabilities();
    QStringList parts;
    if (!refused.empty())
        parts << howToBind(desktop.family, refused);
    parts << windowShotMethod(m_platform.grabber.capabilities().windowInFront, desktop.family);
    return parts.join("\n\n");
}

}  // namespace fk
