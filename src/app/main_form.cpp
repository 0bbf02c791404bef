// The main window: its making, its start-up and its shut-down.
#include "app/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <iostream>
#include <utility>

#include "app/about_box.h"
#include "app/countdown_window.h"
#include "app/notifier.h"
#include "app/program_icon.h"
#include "app/region_selector.h"
#include "app/ui_font.h"
#include "gif/animation_writer.h"
#include "platform/event_pump.h"

namespace fk {

TMainForm::TMainForm(AppPlatform platform, AppPaths paths, AppHooks hooks)
    : QWidget(nullptr), m_platform(platform), m_paths(std::move(paths)), m_hooks(std::move(hooks)) {
    setObjectName("MainForm");
    setWindowTitle("Fotokran");
    setWindowIcon(programIcon());
    setFont(uiFont());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(537, 333);
    useHidingGrabs();
    m_capture = std::make_unique<Capture>(grabber(), static_cast<CaptureHost&>(*this),
                                          m_platform.clock, m_platform.pump);
    m_series = std::make_unique<TimedSeries>(*m_capture, static_cast<TimedSeriesHost&>(*this));
    m_video = std::make_unique<VideoRecorder>(
        *m_capture, static_cast<VideoHost&>(*this),
        m_platform.videoWorkers > 0 ? m_platform.videoWorkers : defaultWorkerCount());
    m_notifier = new Notifier(
        urlOpener(),
        [this](const QString& summary, const QString& body) {
            if (!m_hooks.background && trayAvailable() && QSystemTrayIcon::supportsMessages())
                m_tray->showMessage(summary, body, QSystemTrayIcon::Information, 8000);
        },
        this);
    m_notifier->setActions(!m_hooks.background);
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSettingsSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, [this] { saveSettingsNow(); });
    createControls();
    connectHandlers();
    retranslateUi();
    tellOpacitySupport();
    // The program's dialogs are left out of shots too, from the moment they show.
    qApp->installEventFilter(this);
    FormCreate();
}

TMainForm::~TMainForm() = default;

std::function<bool(const QUrl&)> TMainForm::urlOpener() const {
    if (m_hooks.openUrl)
        return m_hooks.openUrl;
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

// ---- start-up and shut-down ----

void TMainForm::FormCreate() {
    // Each step on its own: a failure is shown and the start-up goes on.
    std::vector<HotKeyAction> refused;
    run([&] {
        refused =
            m_platform.hotKeys.registerAll([this](HotKeyAction action) { hotKeyArrived(action); });
    });
    run([this] { LoadSettings(); });
    run([this] {
        m_tray->setIcon(programIcon());
        m_tray->setToolTip(kCaption);
        if (!m_hooks.background)
            m_tray->show();
    });
    setWindowTitle(kCaption);
    m_series->TimerOn = false;
    m_video->VideoOn = false;
    m_startMinimized = Minimazed->isChecked();
    run([&] { tellRefusedKeys(refused); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (m_finished) {
        event->accept();
        return;
    }
    event->ignore();
    requestClose();
}

void TMainForm::requestClose() {
    if (m_closePending)
        return;
    m_closePending = true;
    m_series->stop();
    m_video->stop();
    m_platform.pump.endAllWaits();
    if (m_selector)
        m_selector->cancel();
    // Open windows that wait for the user would hold the close back, at the session's end too.
    if (m_aboutBox)
        m_aboutBox->reject();
    if (m_errorBox)
        m_errorBox->reject();
    if (m_depth == 0)
        finishClose();
}

void TMainForm::finishClose() {
    if (m_finished)
        return;
    m_finished = true;
    m_saveTimer->stop();
    FormClose();
    hide();
    if (!m_closeNote)
        return emitFinished();
    // The note holds the end for a moment only: a logout or a signal must not wait for a click.
    connect(
        m_closeNote, &QDialog::finished, this, [this] { emitFinished(); }, Qt::QueuedConnection);
    QTimer::singleShot(kCloseNoteMs, this, [this] { emitFinished(); });
}

void TMainForm::emitFinished() {
    if (std::exchange(m_finishedEmitted, true))
        return;
    delete m_closeNote.data();
    emit finished();
}

void TMainForm::FormClose() {
    m_platform.hotKeys.unregisterAll();
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // The close completes all the same.
        tellCloseFailure(QString::fromUtf8(e.what()));
    }
    m_tray->hide();
}

void TMainForm::tellCloseFailure(const QString& message) {
    if (m_hooks.showError)
        return m_hooks.showError(message);
    std::cerr << "Fotokran: " << message.toStdString() << std::endl;
    // The desktop's notification outlives the program; the box is there where none is.
    m_notifier->note(tr("Настройки Fotokran не сохранены"), message);
    // The main window hides now, so the note stands on its own, on top.
    m_closeNote = new QMessageBox(QMessageBox::Warning, "Fotokran", message, QMessageBox::Ok,
                                  nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
    m_closeNote->setAttribute(Qt::WA_DeleteOnClose);
    m_closeNote->setModal(false);
    m_closeNote->show();
}

void TMainForm::finishAtExit() {
    if (m_finished)
        return;
    m_finished = true;
    const std::string told = m_video->endWithoutDisplay();
    if (!told.empty())
        std::cerr << "Fotokran: " << told << std::endl;
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        std::cerr << "Fotokran: " << e.what() << std::endl;
    }
}

}  // namespace fk
