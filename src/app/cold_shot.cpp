#include "app/cold_shot.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "app/app_paths.h"
#include "app/bus_client.h"
#include "app/language.h"
#include "app/notifier.h"
#include "capture/capture.h"
#include "settings/ini_file.h"
#include "settings/list_entries.h"
#include "settings/stored_settings.h"

#ifdef FOTOKRAN_HAVE_X11
#include "platform/x11/x11_grabber.h"
#endif

namespace fk {

namespace {

// A run without a window waits for nothing but the clock.
class SleepingPump final : public EventPump {
public:
    void processEventsFor(int64_t maxWaitMs) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
    }
};

// The shot's host: the stored settings, as the main window would hold them after loading.
class StoredHost final : public CaptureHost {
public:
    explicit StoredHost(StoredSettings& s) : m_s(s) {}

    SaveOptions saveOptions() override {
        SaveOptions o;
        if (m_s.format >= 0 && m_s.format < int(std::size(kPictureFormatEntries)))
            o.format = pictureFormatOf(kPictureFormatEntries[m_s.format]);
        o.jpegQuality = m_s.quality;
        o.gifPalette = m_s.palette;
        o.folder = m_s.folderPath;
        o.mask = m_s.mask;
        o.counterText = m_s.counter;
        return o;
    }
    bool captureCursor() override { return m_s.cursor; }
    bool delayedShoot() override { return false; }
    std::string shotDelayText() override { return m_s.delay; }
    void setShotDelayText(const std::string& text) override { m_s.delay = text; }
    std::string runningNumberText() override { return m_s.counter; }
    void setRunningNumberText(const std::string& text) override { m_s.counter = text; }
    void pictureSaved(const std::string& path) override { saved = path; }
    void noFormatSelected() override {
        std::cerr << "fotokran: " << trForm("Формат снимка не выбран").toStdString() << "\n";
    }

    std::string saved;

private:
    StoredSettings& m_s;
};

bool waylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (wayland && *wayland) || (type && std::string(type) == "wayland");
}

// Whether the stored settings are ones this run takes exactly as the main window would: a folder
// given as the window shows it, values inside their controls' ranges, and nothing that needs a
// window (a delay's countdown, the clipboard).
bool takenAsStored(StoredSettings& s, const ShotOptions& options) {
    const std::string clean =
        QDir::cleanPath(QDir(QString::fromStdString(s.folderPath)).absolutePath()).toStdString();
    const bool delayed =
        options.delaySeconds >= 0 ? options.delaySeconds > 0 : s.delayOn && s.delay != "0";
    return !s.folderPath.empty() && clean == s.folderPath &&
           std::filesystem::is_directory(s.folderPath) && s.quality >= 0 && s.quality <= 100 &&
           s.palette >= -1 && s.palette <= 3 && !s.delay.empty() && !delayed && !s.clipboard &&
           !options.clipboard;
}

}  // namespace

std::optional<int> shootWithoutWindow(const CommandLine& line, int argc, char** argv) {
#ifdef FOTOKRAN_HAVE_X11
    if ((line.command != Command::Screen && line.command != Command::Window) || waylandSession())
        return std::nullopt;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return std::nullopt;
    QCoreApplication core(argc, argv);  // names the program's folder; no display, no plugins
    const AppPaths paths = AppPaths::forThisProgram();
    applyLanguage(startLanguage(paths.configFile, line.language));
    StoredSettings settings;
    try {
        const std::optional<IniFile> ini = IniFile::loadFile(paths.configFile);
        if (!ini || !LoadSettings(*ini, settings).empty())
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;  // the main window's path tells what is wrong with the file
    }
    if (!takenAsStored(settings, line.shot))
        return std::nullopt;
    std::unique_ptr<X11Grabber> grabber;
    try {
        grabber = std::make_unique<X11Grabber>();
    } catch (const std::exception&) {
        return std::nullopt;
    }

    SteadyClock clock;
    SleepingPump pump;
    StoredHost host(settings);
    Capture capture(*grabber, host, clock, pump);
    if (settings.desktop || line.shot.allMonitors)
        capture.setGrabArea(GrabArea::WholeDesktop);
    capture.setRequest(shotRequestOf(line.shot, settings.mask));
    const std::string counter = settings.counter;
    int status = 0;
    try {
        if (line.command == Command::Screen)
            capture.ShootScreen();
        else
            capture.ShootWindow();
    } catch (const EShotCancelled&) {
    } catch (const std::exception& e) {
        std::cerr << "fotokran: " << e.what() << std::endl;
        status = 1;
    }
    try {
        // As the window would at its close: the running number is what the next start counts on.
        if (settings.counter != counter)
            SaveRunningNumber(paths.configFile, settings.counter);
    } catch (const std::exception& e) {
        std::cerr << "fotokran: " << e.what() << std::endl;
        status = 1;
    }
    if (line.shot.output == "-") {
        const std::vector<uint8_t> bytes = capture.takeStreamed();
        if (status == 0 && bytes.empty()) {
            std::cerr << "fotokran: " << nothingWritten(line.command) << std::endl;
            return 1;
        }
        std::cout.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        std::cout.flush();
        return std::cout ? status : 1;
    }
    if (status != 0)
        return status;
    if (host.saved.empty()) {
        std::cerr << "fotokran: " << nothingWritten(line.command) << std::endl;
        return 1;
    }
    if (settings.notify) {
        const auto [summary, body] = savedFileNote(QString::fromStdString(host.saved));
        notifyOnce(
            summary.toStdString(), body.toStdString(),
            QUrl::fromLocalFile(QString::fromStdString(host.saved)).toString().toStdString());
    }
    std::cout << host.saved << std::endl;
    return 0;
#else
    (void)line;
    (void)argc;
    (void)argv;
    return std::nullopt;
#endif
}

}  // namespace fk
