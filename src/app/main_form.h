#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_paths.h"
#include "app/command_line.h"
#include "app/remote_control.h"
#include "capture/capture.h"
#include "capture/timed_series.h"
#include "platform/desktop.h"
#include "platform/hot_keys.h"
#include "video/video_recorder.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class QUrl;

namespace fk {

class ClosableEventPump;
class CountdownWindow;
class Notifier;
class RegionSelector;
class ShellTreeView;
class SpinEdit;
class TAboutBox;
class TextBox;

// What the window asks of the desktop. Empty hooks do the desktop's own thing.
struct AppHooks {
    std::function<void(const QString&)> showError;   // a modal error box
    std::function<void(const QString&)> showNotice;  // a note that blocks nothing
    std::function<bool(const QUrl&)> openUrl;        // a folder or link, in its default program
    std::function<bool()> trayAvailable;
    // A copy that runs one command and ends: no tray icon, and notes need no answer.
    bool background = false;
};

// The display, time, keys and desktop the window works with.
struct AppPlatform {
    ScreenGrabber& grabber;
    Clock& clock;
    ClosableEventPump& pump;
    HotKeys& hotKeys;
    Desktop& desktop;
    int videoWorkers = 0;   // threads that assemble a video; 0 is one per core
    std::string startNote;  // what the platform's choice must tell the user at start
};

// The program's one window: every setting and every command. Creating it runs the start-up
// (hot keys, settings, tray icon); closing it runs the shut-down and then `finished` tells the
// program to end.
class TMainForm : public QWidget, private CaptureHost, private TimedSeriesHost, private VideoHost {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Fotokran v0.7";
    // config.ini is brought up to date this long after a file was written, at the latest.
    static constexpr int kSettingsSaveDelayMs = 500;
    // How long a note that config.ini could not be written holds the end of the program.
    static constexpr int kCloseNoteMs = 900;
    // A file manager's opener that fails later than this has opened something.
    static constexpr int kOpenerFailureMs = 5000;

    TMainForm(AppPlatform platform, AppPaths paths, AppHooks hooks = {});
    ~TMainForm() override;

    // Shows the window, unless it is to start minimised: then only the tray icon is left (or,
    // with no tray, the task-bar entry of the minimised window).
    void showAtStart();
    // Readies the region's window while the running copy idles, for a first region as fast as
    // the later ones.
    void PrepareRegion();
    // Brings the window back from the tray or the task bar.
    void DoRestore();

    // A command from the command line: runs as its hot key would, then answers with the saved
    // file's path (or the new state) or with the error, which is then not shown here.
    void remoteCommand(Command command, const RemoteControl::Reply& reply);
    // The same with the options of a picture's command: a region, the whole desktop, the
    // clipboard.
    void remoteCommand(Command command, const ShotOptions& options,
                       const RemoteControl::ShotReply& reply);

    bool TimerOn() const { return m_series->TimerOn; }
    bool VideoOn() const { return m_video->VideoOn; }
    bool closePending() const { return m_closePending; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // A copy that runs one command and ends cannot hold the clipboard itself: what it would
    // have put there, for a process in the background to hold.
    struct HeldPicture {
        QString path;
        QByteArray png;
    };
    const std::optional<HeldPicture>& pictureForClipboard() const { return m_forClipboard; }

    // For a process that ends without closing the window (Qt exits when the X connection
    // breaks): writes the settings unless the close has done so, and ends a video being
    // recorded with what needs no display; says so on stderr.
    void finishAtExit();

signals:
    // The window has closed and written its settings; the program may end.
    void finished();
    // A picture or video has been written.
    void fileSaved(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class MainFormSettings;

    void createControls();
    void connectHandlers();

    // Start-up and shut-down.
    void FormCreate();
    void FormShow();
    void FormClose();
    void LoadSettings();
    void SaveSettings();
    void tellRefusedKeys(const std::vector<HotKeyAction>& refused);
    // Without a tray, once per run: how a minimised window comes back (`atStart`: and why the
    // window is shown although it is to start minimised).
    void tellNoTrayOnce(bool atStart);
    // The display cannot leave the program's windows out of shots while the switch is on.
    void tellExclusionRefusedOnce(const QString& reason);
    // A note that blocks nothing: the tray's balloon where there is one, else a small window
    // that a change of language translates again.
    void showNote(const std::function<QString()>& message);
    // A message box of the program, for the caller to own: transient for the main window while
    // that shows, else on top of the other windows.
    QMessageBox* newBox(QMessageBox::Icon icon, const QString& message);
    // The errors met while starting, in a box that blocks nothing, once the window is up.
    void showStartErrors();
    // config.ini could not be written at the close: said on stderr and in a note that holds the
    // end of the program for a moment only.
    void tellCloseFailure(const QString& message);
    void emitFinished();
    // Writes config.ini now, as the close does, when a file was written since it last was; a
    // failure is said on stderr, once until a write succeeds again.
    void saveSettingsSoon();
    void saveSettingsNow();
    void HotKeyPressed(HotKeyAction action);
    // Hot keys pressed while a video is assembled wait until it has been written.
    void hotKeyArrived(HotKeyAction action);
    // Dispatches the input that arrived while no events were dispatched, dropping every click
    // and key aimed at the program's windows.
    void dropPendingInput();
    void TrayIconActivated(QSystemTrayIcon::ActivationReason reason);
    void N1Click();
    void N2Click();
    void VideoToggle();

    // The region: chosen on the frozen screen, or given ("X,Y,W,H" or "last").
    void ShootRegion();
    void ShootRegionAt(const std::string& area);
    // The tray's choices.
    void RegionMenuClick();
    void CancelClick();
    void WholeDesktopClick();
    // The interface's language, chosen in the tray menu: in effect at once, and kept.
    void LanguageClick(const std::string& language);
    // Every text of the window, its menu and its open note in the language now in effect.
    void retranslateUi();

    // Handlers of the controls.
    void Button8Click();
    void Button7Click();
    void Button6Click();
    void Button10Click();
    void Button5Click();
    void Button3Click();
    void Button2Click();
    void Button1Click();
    void Button9Click();
    void Button4Click();
    void ShellTreeView1Change(const QString& path);
    void ComboBox1Change();
    void ScrollBar1Change();
    void ComboBox3Change();
    void TrackBar2Change();
    bool Edit2KeyPress(QChar key);
    void CheckBox1Click();
    void TrackBar1Change();
    void AutoRunClick();

    void updatePanels();
    // The speed panel shows for either GIF entry of the video format.
    void updateSpeedPanel();
    // Hidden in the tray, minimised, or never shown.
    bool isHiddenFromUser() const;
    void updateExcludedWindows();
    // Where the display shows the program's windows in every grab: the shots hide them.
    void useHidingGrabs();
    std::function<void()> hideOwnWindows();
    ScreenGrabber& grabber() { return m_hidingGrabber ? *m_hidingGrabber : m_platform.grabber; }
    // The window's opacity as the switch and the track bar say, where this desktop shows it.
    void applyOpacity();
    // Where the desktop shows no opacity, the track bar says so.
    void tellOpacitySupport();
    // On a Wayland desktop: the commands to bind to the refused keys, and how window shots work.
    QString waylandNote(const std::vector<HotKeyAction>& refused);
    void selectFolder(const std::string& path);
    void selectDefaultFolder();
    // The default folder that does not exist yet is made by the first save into it.
    void makeDefaultFolderIfDue(const std::string& folder);
    // Opens the folder in the file manager, or says why it cannot.
    void openFolder(const QString& path);
    bool trayAvailable() const;
    std::function<bool(const QUrl&)> urlOpener() const;

    // Runs a picture's command of the command line and answers with the file it saved.
    void answerShot(const std::function<void()>& command, const char* nothing,
                    const RemoteControl::Reply& reply);
    // Every entry from the event loop goes through here: errors end in the error box, never in
    // Qt; a close asked for inside a command completes when the outermost command has returned.
    void run(const std::function<void()>& command);
    // As run, but hands the error back instead of showing it.
    std::optional<QString> runCaught(const std::function<void()>& command);
    void requestClose();
    void finishClose();
    void showError(const QString& message);

    // CaptureHost
    SaveOptions saveOptions() override;
    bool captureCursor() override;
    bool delayedShoot() override;
    std::string shotDelayText() override;
    void setShotDelayText(const std::string& text) override;
    std::string runningNumberText() override;
    void setRunningNumberText(const std::string& text) override;
    void pictureSaved(const std::string& path) override;
    void noFormatSelected() override;
    void shotDelayCountdown(int secondsLeft) override;
    bool wantsPngCopy() override;
    void pngCopyMade(const std::string& path, PngBytes png) override;
    // TimedSeriesHost
    std::string intervalText() override;
    void setIntervalText(const std::string& text) override;
    void setSeriesCaption(const std::string& caption) override;
    // VideoHost
    VideoEntry videoEntry() override;
    int speedPosition() override;
    void setVideoCaption(const std::string& caption) override;
    void setMainWindowEnabled(bool enabled) override;
    void setAssembling(bool on) override;
    void setProgressMaximum(int frames) override;
    void setProgressPosition(int frames) override;

    AppPlatform m_platform;
    std::unique_ptr<ScreenGrabber> m_hidingGrabber;
    AppPaths m_paths;
    AppHooks m_hooks;
    std::unique_ptr<Capture> m_capture;
    std::unique_ptr<TimedSeries> m_series;
    std::unique_ptr<VideoRecorder> m_video;
    bool m_assembling = false;
    std::vector<HotKeyAction> m_waitingKeys;
    bool m_startMinimized = false;

    int m_depth = 0;  // commands running, nested ones included
    // The files saved while each command of the command line runs; its own file comes last.
    std::vector<std::vector<QString>*> m_savedBy;
    // Callers waiting for the running video to be written.
    std::vector<RemoteControl::Reply> m_videoWaiters;
    Notifier* m_notifier = nullptr;
    int m_seriesShots = 0;
    bool m_closePending = false;
    std::vector<bool> m_noFormatTold;  // per running command, the innermost last
    bool m_noTrayTold = false;
    bool m_exclusionRefusalTold = false;
    bool m_finished = false;
    QPointer<TAboutBox> m_aboutBox;
    QPointer<QMessageBox> m_errorBox;
    QPointer<QMessageBox> m_noteBox;
    std::function<QString()> m_noteText;  // what the open note says, in the language in effect
    QPointer<QMessageBox> m_closeNote;
    // Collected until the window is up; none once they are shown.
    std::optional<QStringList> m_startErrors{QStringList()};
    QTimer* m_saveTimer = nullptr;
    bool m_settingsDirty = false;
    bool m_saveFailureTold = false;
    bool m_finishedEmitted = false;
    // The default folder, while it is selected but not made yet.
    std::optional<std::string> m_folderToMake;

    // A stored folder that could not be selected is written back unless the user picks another.
    std::optional<std::string> m_keptFolder;
    bool m_applyingFolder = false;

    QSystemTrayIcon* m_tray = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;  // notifications on or off
    QAction* N4 = nullptr;  // a picture of a region
    QAction* N5 = nullptr;  // cancels a delayed shot
    QAction* N6 = nullptr;  // every picture also on the clipboard
    QAction* N7 = nullptr;  // screen pictures of the whole desktop
    QMenu* LanguageMenu = nullptr;

    std::unique_ptr<RegionSelector> m_selector;
    std::unique_ptr<CountdownWindow> m_countdown;
    std::string m_lastRegion;  // "X,Y,W,H", empty before the first region
    int m_clipboardOnce = 0;   // commands running that put their picture on the clipboard
    bool m_cancelKeyHeld = false;
    std::optional<HeldPicture> m_forClipboard;

    // The controls, by their designer names.
    QGroupBox* GroupBox5;
    ShellTreeView* ShellTreeView1;
    QLineEdit* Edit3;
    QPushButton* Button1;
    QGroupBox* GroupBox1;
    QComboBox* Mask;
    QPushButton* Button9;
    QGroupBox* GroupBox9;
    QCheckBox* CaptureCursor;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    SpinEdit* SpinEdit1;
    QPushButton* Button4;
    QGroupBox* GroupBox4;
    QComboBox* ComboBox1;
    QGroupBox* GroupBox3;
    QLabel* Label2;
    QScrollBar* ScrollBar1;
    QGroupBox* GroupBox11;
    QComboBox* ComboBox2;
    QGroupBox* GroupBox6;
    QCheckBox* CheckBox1;
    QSlider* TrackBar1;
    QGroupBox* GroupBox12;
    QLabel* Label7;
    QComboBox* ComboBox3;
    QProgressBar* ProgressBar1;
    QPushButton* Button10;
    QWidget* Gifspeed;
    QLabel* Label6;
    QSlider* TrackBar2;
    QLabel* Label8;
    QGroupBox* GroupBox7;
    QCheckBox* DelayedShoot;
    TextBox* Edit2;
    QLabel* Label3;
    QGroupBox* GroupBox8;
    QLabel* Label5;
    TextBox* Edit4;
    QLabel* Label4;
    QGroupBox* GroupBox10;
    QCheckBox* AutoRun;
    QCheckBox* Minimazed;
    QPushButton* Button8;
    QPushButton* Button7;
    QPushButton* Button6;
    QPushButton* Button5;
    QPushButton* Button3;
    QPushButton* Button2;
};

}  // namespace fk
