// The main window's side of the video: its controls, and what the window does while the frames
// are assembled and no events are dispatched.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include "app/language.h"
#include "app/main_form.h"
#include "settings/list_entries.h"

namespace fk {

namespace {

// Swallows the user's input to every window of the program.
class InputDropper final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::ContextMenu:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

void TMainForm::hotKeyArrived(HotKeyAction action) {
    if (m_assembling) {
        m_waitingKeys.push_back(action);
        return;
    }
    run([=, this] { HotKeyPressed(action); });
}

void TMainForm::dropPendingInput() {
    InputDropper dropper;
    qApp->installEventFilter(&dropper);
    m_platform.desktop.sync();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(&dropper);
}

void TMainForm::updateSpeedPanel() {
    Gifspeed->setVisible(videoEntry() != VideoEntry::NotSelected);
}

VideoEntry TMainForm::videoEntry() {
    // By the entry's own text: the list shows it in the language in effect.
    const int index = ComboBox3->currentIndex();
    return index >= 0 && index < int(std::size(kVideoEntries)) ? videoEntryOf(kVideoEntries[index])
                                                               : VideoEntry::NotSelected;
}

int TMainForm::speedPosition() {
    return TrackBar2->value();
}

void TMainForm::setVideoCaption(const std::string& caption) {
    setSourceText(Button10, caption.c_str());
}

void TMainForm::setMainWindowEnabled(bool enabled) {
    // What was pressed while the window could take no input goes nowhere.
    if (enabled && m_assembling)
        dropPendingInput();
    setEnabled(enabled);
}

void TMainForm::setAssembling(bool on) {
    if (on == m_assembling)
        return;
    m_assembling = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_platform.desktop.flush();
        return;
    }
    QApplication::restoreOverrideCursor();
    // The keys pressed meanwhile run now, in the order they came, once this command is done.
    for (HotKeyAction action : std::exchange(m_waitingKeys, {}))
        QMetaObject::invokeMethod(
            this, [this, action] { hotKeyArrived(action); }, Qt::QueuedConnection);
}

void TMainForm::setProgressMaximum(int frames) {
    ProgressBar1->setMaximum(std::max(frames, 1));
}

void TMainForm::setProgressPosition(int frames) {
    ProgressBar1->setValue(frames);
    if (!m_assembling)
        return;
    // No events are dispatched while the frames are assembled: paint now.
    Button10->repaint();
    ProgressBar1->repaint();
    m_platform.desktop.flush();
}

}  // namespace fk
