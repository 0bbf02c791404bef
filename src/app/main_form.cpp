#include "app/main_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <iostream>

#include "app/about_box.h"
#include "app/notifier.h"
#include "app/program_icon.h"
#include "app/shell_tree_view.h"
#include "app/spin_edit.h"
#include "app/text_box.h"
#include "app/ui_font.h"
#include "app/window_placement.h"
#include "app/x11_desktop.h"
#include "capture/naming.h"
#include "gif/animation_writer.h"
#include "platform/errors.h"
#include "platform/qt/qt_event_pump.h"
#include "settings/config_location.h"
#include "settings/list_entries.h"

namespace fk {

namespace {

std::string text(const QLineEdit* edit) {
    return edit->text().toStdString();
}
QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

QFont uiFont() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(kUiFontPixels);
    return font;
}

AppPaths AppPaths::forThisProgram() {
    const std::string exeFolder = QCoreApplication::applicationDirPath().toStdString();
    const std::string home = QDir::homePath().toStdString();
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string userConfig = userConfigFolder(xdg ? xdg : "", home);
    const std::string pictures =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    // A copy installed for the whole system shares its folder with every other program: it keeps
    // nothing there, also when it could (run by the superuser).
    const QString installedFolder = QFileInfo(FOTOKRAN_INSTALL_BINDIR).canonicalFilePath();
    const bool installed = !installedFolder.isEmpty() &&
                           QFileInfo(qs(exeFolder)).canonicalFilePath() == installedFolder;
    AppPaths paths;
    paths.configFile =
        installed ? userConfigFile(userConfig) : configFilePath(exeFolder, userConfig);
    paths.executable = QCoreApplication::applicationFilePath().toStdString();
    paths.autostartFolder = userConfig + "/autostart";
    paths.defaultFolder = defaultShotFolder(installed ? "" : exeFolder, pictures, home);
    return paths;
}

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
    m_capture = std::make_unique<Capture>(m_platform.grabber, static_cast<CaptureHost&>(*this),
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

bool TMainForm::trayAvailable() const {
    return m_hooks.trayAvailable ? m_hooks.trayAvailable()
                                 : QSystemTrayIcon::isSystemTrayAvailable();
}

void TMainForm::showError(const QString& message) {
    if (m_hooks.showError)
        return m_hooks.showError(message);
    std::cerr << "Fotokran: " << message.toStdString() << std::endl;
    QMessageBox box(QMessageBox::Critical, "Fotokran", message, QMessageBox::Ok);
    m_errorBox = &box;
    box.exec();
}

void TMainForm::run(const std::function<void()>& command) {
    if (const std::optional<QString> error = runCaught(command))
        showError(*error);
}

std::optional<QString> TMainForm::runCaught(const std::function<void()>& command) {
    // Once closing, nothing new starts; what runs is being unwound.
    if (m_closePending)
        return std::nullopt;
    std::optional<QString> error;
    ++m_depth;
    m_noFormatTold.push_back(false);
    try {
        command();
    } catch (const EWaitsEnded&) {
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = "Unknown error";
    }
    m_noFormatTold.pop_back();
    --m_depth;
    // The error is shown (or handed back) before the pending close completes.
    if (m_depth == 0 && m_closePending) {
        if (error)
            showError(*error);
        finishClose();
        return std::nullopt;
    }
    return error;
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

void TMainForm::showAtStart() {
    keepTitleBarOnScreen(this);
    // Without a tray there would be nothing on the screen to bring the window back with.
    if (m_startMinimized && !trayAvailable())
        tellNoTrayOnce(true);
    if (!m_startMinimized || !trayAvailable()) {
        show();
        activateWindow();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    FormShow();
    QWidget::showEvent(event);
}

void TMainForm::FormShow() {
    // With a tray the icon is the program's only presence; without one, the task bar is.
    setSkipTaskbar(this, trayAvailable());
}

void TMainForm::DoRestore() {
    keepTitleBarOnScreen(this);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
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

void TMainForm::HotKeyPressed(HotKeyAction action) {
    switch (action) {
        case HotKeyAction::ShootScreen:
            Button8Click();
            break;
        case HotKeyAction::ShootWindow:
            m_capture->ShootWindow();
            break;
        case HotKeyAction::TimedSeries:
            m_series->ToggleTimedSeries();
            break;
        case HotKeyAction::Video:
            VideoToggle();
            break;
    }
}

void TMainForm::VideoToggle() {
    if (VideoOn()) {
        Button10Click();
        return;
    }
    // The command that starts the video returns once the video is written (or has failed):
    // then whoever asked for the stop learns the outcome.
    std::vector<QString> saved;
    m_savedBy.push_back(&saved);
    auto answer = [this](bool ok, const QString& text) {
        for (const RemoteControl::Reply& reply : std::exchange(m_videoWaiters, {}))
            reply(ok, text);
    };
    try {
        Button10Click();
    } catch (const EWaitsEnded&) {
        m_savedBy.pop_back();
        answer(!saved.empty(), saved.empty() ? "the program closed" : saved.back());
        throw;
    } catch (const std::exception& e) {
        m_savedBy.pop_back();
        answer(false, QString::fromUtf8(e.what()));
        throw;
    }
    m_savedBy.pop_back();
    answer(!saved.empty(), saved.empty() ? "no video was written" : saved.back());
}

void TMainForm::remoteCommand(Command command, const RemoteControl::Reply& reply) {
    // The files this command saves, apart from those of commands nested in its waits.
    auto shot = [&](HotKeyAction action, const char* nothing) {
        std::vector<QString> saved;
        m_savedBy.push_back(&saved);
        const std::optional<QString> error = runCaught([&] { HotKeyPressed(action); });
        m_savedBy.pop_back();
        if (error)
            reply(false, *error);
        else if (saved.empty())
            reply(false, nothing);
        else
            reply(true, saved.back());
    };
    switch (command) {
        case Command::Screen:
            shot(HotKeyAction::ShootScreen,
                 "no picture was written (no output format is selected)");
            return;
        case Command::Window:
            shot(HotKeyAction::ShootWindow,
                 "no picture was written (no window in front, or no output format is selected)");
            return;
        case Command::Series: {
            const bool starting = !TimerOn();
            // A running series holds its command until it stops: answer first.
            reply(true, starting ? "started" : "stopped");
            run([this] { HotKeyPressed(HotKeyAction::TimedSeries); });
            return;
        }
        case Command::Video:
            if (VideoOn()) {
                m_videoWaiters.push_back(reply);
            } else {
                reply(true, "started");
            }
            run([this] { HotKeyPressed(HotKeyAction::Video); });
            return;
        case Command::Show:
            DoRestore();
            reply(true, {});
            return;
        case Command::Quit:
            reply(true, {});
            close();
            return;
        case Command::Start:
        case Command::Help:
        case Command::Version:
            reply(false, "not a command of the running program");
            return;
    }
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

// ---- handlers ----

void TMainForm::Button8Click() {
    m_capture->WaitShotDelay();
    m_capture->ShootScreen();
}

void TMainForm::Button7Click() {
    m_capture->ShootWindow();
}

void TMainForm::Button6Click() {
    m_series->ToggleTimedSeries();
}

void TMainForm::Button10Click() {
    m_video->ToggleVideo();
}

void TMainForm::Button5Click() {
    TAboutBox box(this, urlOpener());
    box.Version->setText("v0.7");
    m_aboutBox = &box;
    updateExcludedWindows();
    box.exec();
    m_aboutBox = nullptr;
    updateExcludedWindows();
}

void TMainForm::Button3Click() {
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

void TMainForm::Button1Click() {
    // A failure to start the file manager is silent.
    urlOpener()(QUrl::fromLocalFile(ShellTreeView1->path()));
}

void TMainForm::Button9Click() {
    Mask->addItem(Mask->currentText());
}

void TMainForm::Button4Click() {
    SpinEdit1->setValue(0);
}

void TMainForm::ShellTreeView1Change(const QString& path) {
    Edit3->setText(path);
    if (!m_applyingFolder)
        m_keptFolder.reset();
}

void TMainForm::updatePanels() {
    GroupBox3->hide();
    GroupBox11->hide();
    if (ComboBox1->currentIndex() >= 0) {
        const QString format = ComboBox1->currentText();
        if (format == "JPG")
            GroupBox3->show();
        if (format == "GIF")
            GroupBox11->show();
    }
}

void TMainForm::ComboBox1Change() {
    updatePanels();
    if (ComboBox1->currentIndex() < 0)
        return;
    Mask->setEditText(qs(RewriteMaskExtension(Mask->currentText().toStdString(),
                                              ComboBox1->currentText().toStdString())));
}

void TMainForm::ScrollBar1Change() {
    Label2->setText(QString::number(ScrollBar1->value()) + "%");
}

void TMainForm::ComboBox3Change() {
    updateSpeedPanel();
}

void TMainForm::TrackBar2Change() {
    Label8->setText(QString::number(TrackBar2->value()));
}

bool TMainForm::Edit2KeyPress(QChar key) {
    return key >= '0' && key <= '9';
}

void TMainForm::CheckBox1Click() {
    setWindowOpacity(CheckBox1->isChecked() ? TrackBar1->value() / 255.0 : 1.0);
    m_exclusionRefusalTold = false;  // told again at the next switching on
    updateExcludedWindows();
}

void TMainForm::TrackBar1Change() {
    if (CheckBox1->isChecked())
        setWindowOpacity(TrackBar1->value() / 255.0);
}

void TMainForm::updateExcludedWindows() {
    // Windows the screen shots must leave out while the transparency switch is on: this one and
    // the program's dialogs that are open (help, notes, errors).
    std::vector<WindowHandle> own;
    if (CheckBox1->isChecked()) {
        own.push_back(WindowHandle(winId()));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this && w->isVisible() && qobject_cast<QDialog*>(w))
                own.push_back(WindowHandle(w->winId()));
    }
    try {
        m_platform.grabber.setExcludedWindows(own);
    } catch (const EGrabError& e) {
        tellExclusionRefusedOnce(QString::fromStdString(e.what()));
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        qobject_cast<QDialog*>(watched) && CheckBox1->isChecked())
        updateExcludedWindows();
    return QWidget::eventFilter(watched, event);
}

// ---- what the shots and the series read ----

SaveOptions TMainForm::saveOptions() {
    SaveOptions o;
    if (ComboBox1->currentIndex() >= 0)
        o.format = pictureFormatOf(ComboBox1->currentText().toStdString());
    o.jpegQuality = ScrollBar1->value();
    o.gifPalette = ComboBox2->currentIndex();
    o.folder = ShellTreeView1->path().toStdString();
    o.mask = Mask->currentText().toStdString();
    o.counterText = text(SpinEdit1);
    return o;
}

bool TMainForm::captureCursor() {
    return CaptureCursor->isChecked();
}
bool TMainForm::delayedShoot() {
    return DelayedShoot->isChecked();
}
std::string TMainForm::shotDelayText() {
    return text(Edit2);
}
void TMainForm::setShotDelayText(const std::string& t) {
    Edit2->setText(qs(t));
}
std::string TMainForm::runningNumberText() {
    return text(SpinEdit1);
}
void TMainForm::setRunningNumberText(const std::string& t) {
    SpinEdit1->setText(qs(t));
}
std::string TMainForm::intervalText() {
    return text(Edit4);
}
void TMainForm::setIntervalText(const std::string& t) {
    Edit4->setText(qs(t));
}
void TMainForm::setSeriesCaption(const std::string& caption) {
    Button6->setText(qs(caption));
    if (!isHiddenFromUser() || !N3->isChecked())
        return;
    if (caption == TimedSeries::kRunningCaption) {
        m_seriesShots = 0;
        m_notifier->note("Снятие по таймеру запущено", "Снимки пишутся в папку " + Edit3->text());
    } else {
        m_notifier->note("Снятие по таймеру остановлено",
                         "Снимков: " + QString::number(m_seriesShots));
    }
}

bool TMainForm::isHiddenFromUser() const {
    return !isVisible() || isMinimized();
}

void TMainForm::pictureSaved(const std::string& path) {
    const QString file = qs(path);
    for (std::vector<QString>* saved : m_savedBy)
        saved->push_back(file);
    emit fileSaved(file);
    if (TimerOn()) {
        ++m_seriesShots;  // the series tells its count when it stops
        return;
    }
    if (isHiddenFromUser() && N3->isChecked())
        m_notifier->fileSaved(file);
}

}  // namespace fk
