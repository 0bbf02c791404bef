#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/main_form.h"
#include "app/program_icon.h"
#include "platform/platform_loader.h"
#include "platform/qt/qt_event_pump.h"

#ifdef FOTOKRAN_HAVE_XCB
#include "app/x11_hot_keys.h"
#endif

int main(int argc, char** argv) {
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

    fk::TMainForm form({*grabber, clock, pump, *hotKeys}, fk::AppPaths::forThisProgram());
    QObject::connect(&form, &fk::TMainForm::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form.showAtStart();

    // Qt ends the process with exit() when the X connection breaks. The settings are written
    // then too: without the running number the next start would overwrite the last pictures.
    static fk::TMainForm* live = &form;
    std::atexit([] {
        if (live)
            live->saveSettingsAtExit();
    });
    const int status = QApplication::exec();
    live = nullptr;
    return status;
}
