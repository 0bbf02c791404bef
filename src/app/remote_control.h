#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>

#include "app/command_line.h"

namespace fk {

// The names of the running copy on the session bus.
inline constexpr const char* kBusService = "org.fotokran.Fotokran";
inline constexpr const char* kBusPath = "/org/fotokran/Fotokran";
inline constexpr const char* kBusInterface = "org.fotokran.Fotokran";

// The running copy's face on the session bus: a method per command, answered once the command
// has done its part, and a signal for every file saved.
class RemoteControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fotokran.Fotokran")
public:
    // `ok` false: `text` is the error; otherwise the saved file's path or the new state.
    using Reply = std::function<void(bool ok, const QString& text)>;
    using Handler = std::function<void(Command, Reply)>;
    // A picture's command with the options of the command line.
    using ShotHandler = std::function<void(Command, ShotOptions, Reply)>;

    explicit RemoteControl(Handler handler, QObject* parent = nullptr);
    void setShotHandler(ShotHandler handler) { m_shotHandler = std::move(handler); }
    // Offers the object, then takes the service name; false when another copy holds the name.
    bool publish(QDBusConnection bus);

public slots:
    Q_SCRIPTABLE QString Screen() { return dispatch(Command::Screen); }
    Q_SCRIPTABLE QString Window() { return dispatch(Command::Window); }
    Q_SCRIPTABLE QString Series() { return dispatch(Command::Series); }
    Q_SCRIPTABLE QString Video() { return dispatch(Command::Video); }
    Q_SCRIPTABLE QString Show() { return dispatch(Command::Show); }
    Q_SCRIPTABLE QString Quit() { return dispatch(Command::Quit); }
    // `area`: empty to choose the region on the screen, "last", or "X,Y,W,H".
    Q_SCRIPTABLE QString Region(const QString& area, bool clipboard) {
        return dispatchShot(Command::Region, {area.toStdString(), false, clipboard});
    }
    Q_SCRIPTABLE QString ScreenWith(bool allMonitors, bool clipboard) {
        return dispatchShot(Command::Screen, {{}, allMonitors, clipboard});
    }
    Q_SCRIPTABLE QString WindowWith(bool clipboard) {
        return dispatchShot(Command::Window, {{}, false, clipboard});
    }

signals:
    Q_SCRIPTABLE void FileSaved(const QString& path);

private:
    QString dispatch(Command command);
    QString dispatchShot(Command command, ShotOptions options);
    // Answers the call once `run` has called back; `run` runs from the event loop.
    QString answerLater(const std::function<void(Reply)>& run);

    Handler m_handler;
    ShotHandler m_shotHandler;
};

// What became of a command handed to the running copy.
struct RemoteResult {
    enum class Kind { NoBus, NotRunning, Done, Failed } kind;
    QString text;  // the answer, the error, or why there is no bus
};

// Hands the command to the copy running in this user's session and waits for its answer for at
// most `timeoutMs`.
RemoteResult callRunningCopy(Command command, int timeoutMs);
// The same for a picture's command with options (or a region), through the methods beside.
RemoteResult callRunningCopy(const CommandLine& line, int timeoutMs);

}  // namespace fk
