#include <QApplication>
#include <csignal>
#include <memory>

#include "app/exit_requests.h"
#include "app/main_form.h"
#include "app/program_icon.h"
#include "platform/platform_loader.h"
#include "platform/qt/qt_event_pump.h"

#ifdef FOTOKRAN_HAVE_XCB
#include "app/x11_hot_keys.h"
#endif

int main(int argc, char** argv) {
    // A file size limit then fails the write like a full disk, instead of ending the program with
    // its settings unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Fotokran");
    QApplication::setWindowIcon(fk::programIcon());
    // The window hides to the tray; only its own close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<fk::ScreenGrabber> grabber = fk::createScreenGrabber();
    fk::SteadyClock clock;
    fk::QtEventPump pump;
    std::unique_ptr<fk::HotKeys> hotKeys;
#ifdef FOTOKRAN_HAVE_XCB
    hotKeys = fk::X11HotKeys::create();
#endif
    if (!hotKeys)
        hotKeys = std::make_unique<fk::NoHotKeys>();

    // Signals and the session's end close the window as its close button does.
    bool finished = false;
    fk::ExitRequests exits([&finished] { return finished; });

    fk::TMainForm form({*grabber, clock, pump, *hotKeys}, fk::AppPaths::forThisProgram());
    QObject::connect(&exits, &fk::ExitRequests::closeRequested, &form, [&form] { form.close(); });
    QObject::connect(
        &form, &fk::TMainForm::finished, &app,
        [&finished] {
            finished = true;
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
    form.showAtStart();
    return QApplication::exec();
}
