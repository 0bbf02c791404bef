#include "app/program.h"

#include <QApplication>
#include <QDBusConnection>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/clipboard.h"
#include "app/display_check.h"
#include "app/exit_requests.h"
#include "app/language.h"
#include "app/main_form.h"
#include "app/program_icon.h"
#include "app/remote_control.h"
#include "platform/null/null_hot_keys.h"
#include "platform/platform_loader.h"
#include "platform/qt/qt_event_pump.h"
#include "settings/settings_store.h"

namespace fk {

namespace {

// What the display backend keeps lives in config.ini; only a copy with a window asks the user.
PlatformHost platformHost(const std::string& configFile, bool mayAsk) {
    PlatformHost host;
    host.keptValue = [configFile](const std::string& key) {
        return LoadBackendValue(configFile, key);
    };
    host.keepValue = [configFile](const std::string& key, const std::string& value) {
        try {
            SaveBackendValue(configFile, key, value);
        } catch (const std::exception& e) {
            std::cerr << "fotokran: " << e.what() << std::endl;
        }
    };
    if (mayAsk)
        host.askUser = [](const std::string& question) {
            QMessageBox box(QMessageBox::Question, "Fotokran",
                            QCoreApplication::translate("fk::PortalHotKeys", question.c_str()));
            QPushButton* yes = box.addButton(trForm(QT_TRANSLATE_NOOP("fk::TMainForm", "Да")),
                                             QMessageBox::YesRole);
            box.addButton(trForm(QT_TRANSLATE_NOOP("fk::TMainForm", "Нет")), QMessageBox::NoRole);
            box.setDefaultButton(yes);
            box.exec();
            return box.clickedButton() == yes;
        };
    return host;
}

void printAnswer(const QString& text) {
    if (!text.isEmpty())
        std::cout << text.toStdString() << std::endl;
}

// A copy that runs one command takes none of the keys; only Esc, while its shot delay waits.
class CancelKeyOnly final : public HotKeys {
public:
    explicit CancelKeyOnly(Desktop& desktop) : m_desktop(desktop) {}
    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)>) override {
        return {};
    }
    void unregisterAll() override {}
    bool grabCancelKey(std::function<void()> onPress) override {
        if (!m_keys)
            m_keys = m_desktop.createGlobalHotKeys();
        return m_keys->grabCancelKey(std::move(onPress));
    }
    void releaseCancelKey() override {
        if (m_keys)
            m_keys->releaseCancelKey();
    }

private:
    Desktop& m_desktop;
    std::unique_ptr<HotKeys> m_keys;
};

// No copy runs: the picture is taken here with the stored settings, the running number is
// stored, and the program ends without showing its window (leaving, when the picture is to be on
// the clipboard, a process in the background that holds it there).
int runOnce(Command command, const ShotOptions& options, const std::string& language) {
    const AppPaths paths = AppPaths::forThisProgram();
    applyLanguage(startLanguage(paths.configFile, language));
    const Platform platform = loadPlatform(platformHost(paths.configFile, false));
    SteadyClock clock;
    QtEventPump pump;
    CancelKeyOnly keys(*platform.desktop);
    bool failed = false;
    AppHooks hooks;
    hooks.background = true;
    hooks.showError = [&failed](const QString& message) {
        failed = true;
        std::cerr << "fotokran: " << message.toStdString() << std::endl;
    };
    hooks.showNotice = [](const QString& message) {
        std::cerr << "fotokran: " << message.toStdString() << std::endl;
    };
    TMainForm form({*platform.grabber, clock, pump, keys, *platform.desktop, 0, platform.startNote},
                   paths, hooks);
    QString answer;
    QByteArray picture;
    form.remoteCommand(command, options, [&](bool ok, const QString& text, const QByteArray& bytes) {
        failed = failed || !ok;
        if (ok) {
            answer = text;
            picture = bytes;
        } else {
            std::cerr << "fotokran: " << text.toStdString() << std::endl;
        }
    });
    form.close();  // writes the settings; a failure there fails the command
    if (const auto& held = form.pictureForClipboard()) {
        const QString why = holdClipboardInBackground(held->path, held->png);
        if (!why.isEmpty()) {
            std::cerr << "fotokran: the picture is not on the clipboard: " << why.toStdString()
                      << std::endl;
            failed = true;
        }
    }
    if (options.output == "-") {
        std::cout.write(picture.constData(), picture.size());
        std::cout.flush();
        return failed || !std::cout ? 1 : 0;
    }
    printAnswer(answer);
    return failed ? 1 : 0;
}

}  // namespace

int runProgram(const CommandLine& line) {
    const Command command = line.command;
    // A region, or a picture with options, goes through the methods beside the plain ones.
    QApplication::setApplicationName("Fotokran");
    QApplication::setDesktopFileName("org.fotokran.Fotokran");
    QApplication::setWindowIcon(programIcon());
    // The window hides to the tray; only its own close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    if (const std::optional<std::string> unusable = unusableDisplay()) {
        std::cerr << "fotokran: " << *unusable << std::endl;
        return 1;
    }

    // The command line has handed its command to a running copy when there was one.
    if (command == Command::Screen || command == Command::Window || command == Command::Region)
        return runOnce(command, line.shot, line.language);

    SteadyClock clock;
    QtEventPump pump;
    std::unique_ptr<HotKeys> hotKeys;
    TMainForm* form = nullptr;
    RemoteControl remote([&form](Command c, const RemoteControl::Reply& reply) {
        if (form)
            form->remoteCommand(c, reply);
        else
            reply(false, "Fotokran is starting");
    });
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Taking the name first settles which of two copies started together is the running one.
    if (bus.isConnected() && !remote.publish(bus) && command == Command::Start) {
        // Bring the running copy forward instead of starting another one that holds no keys.
        CommandLine show;
        show.command = Command::Show;
        const RemoteResult shown = callRunningCopy(show, 5000);
        if (shown.kind == RemoteResult::Kind::Done)
            return 0;
        std::cerr << "fotokran: the running copy does not answer (" << shown.text
                  << "); starting another one" << std::endl;
    }
    // Only the copy that runs opens the display: a desktop may ask the user to share the screen.
    const AppPaths paths = AppPaths::forThisProgram();
    applyLanguage(startLanguage(paths.configFile, line.language));
    const Platform platform = loadPlatform(platformHost(paths.configFile, true));
    hotKeys = platform.desktop->createGlobalHotKeys();

    // Signals and the session's end close the window as its close button does.
    bool finished = false;
    ExitRequests exits([&finished] { return finished; });

    TMainForm mainForm(
        {*platform.grabber, clock, pump, *hotKeys, *platform.desktop, 0, platform.startNote}, paths);
    form = &mainForm;
    remote.setShotHandler([&mainForm](Command c, ShotOptions o, const RemoteControl::ShotReply& r) {
        mainForm.remoteCommand(c, o, r);
    });
    QObject::connect(&mainForm, &TMainForm::fileSaved, &remote, &RemoteControl::FileSaved);
    QObject::connect(&exits, &ExitRequests::closeRequested, &mainForm,
                     [&mainForm] { mainForm.close(); });
    QObject::connect(
        &mainForm, &TMainForm::finished, qApp,
        [&finished] {
            finished = true;
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    mainForm.showAtStart();
    QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.PrepareRegion(); });
    if (command == Command::Show) {
        mainForm.DoRestore();
    } else if (command == Command::Series || command == Command::Video) {
        QTimer::singleShot(0, &mainForm, [&mainForm, command] {
            mainForm.remoteCommand(command, [](bool ok, const QString& text) {
                if (!ok)
                    std::cerr << "fotokran: " << text.toStdString() << std::endl;
            });
        });
    }
    // Qt ends the process with exit() when the X connection breaks. The settings are written
    // then too: without the running number the next start would overwrite the last pictures.
    static TMainForm* live = nullptr;
    live = &mainForm;
    std::atexit([] {
        if (live)
            live->finishAtExit();
    });
    const int status = QApplication::exec();
    live = nullptr;
    form = nullptr;
    return status;
}

}  // namespace fk
