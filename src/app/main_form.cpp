// The main window: its making, its start-up and its shut-down.
#include "app/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <iostream>

#include "app/about_box.h"
#include "app/notifier.h"
#include "app/program_icon.h"
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
    createControls();
    connectHandlers();
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
    FormClose();
    hide();
    emit finished();
}

void TMainForm::FormClose() {
    m_platform.hotKeys.unregisterAll();
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // The close completes all the same.
        showError(QString::fromUtf8(e.what()));
    }
    m_tray->hide();
}

void TMainForm::finishAtExit() {
    if (m_finished)
        return;
    m_finished = true;
    const std::string lost = m_video->abandon();
    if (!lost.empty())
        std::cerr << "Fotokran: The video \"" << lost
                  << "\" was not written: the recording ended with the display" << std::endl;
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        std::cerr << "Fotokran: " << e.what() << std::endl;
    }
}

}  // namespace fk
