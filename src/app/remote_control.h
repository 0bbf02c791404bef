#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>

#include "app/bus_client.h"
#include "app/command_line.h"

namespace fk {

// The running copy's face on the session bus: a method per command, answered once the command
// has done its part, and a signal for every file saved.
class RemoteControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fotokran.Fotokran")
public:
    // `ok` false: `text` is the error; otherwise the saved file's path or the new state.
    using Reply = std::function<void(bool ok, const QString& text)>;
    using Handler = std::function<void(Command, Reply)>;
    // A picture's command with the options of the command line; its reply may carry the
    // picture's bytes (output "-").
    using ShotReply = std::function<void(bool ok, const QString& text, const QByteArray& bytes)>;
    using ShotHandler = std::function<void(Command, ShotOptions, ShotReply)>;

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
    // A picture with the command line's options: `command` "Screen", "Window" or "Region";
    // `region` empty to choose it on the screen, "last", or "X,Y,W,H"; `output` a file, "-"
    // for the picture's bytes in `bytes`, or empty; `format` an extension or empty; `delay` in
    // seconds, -1 for the stored one. Answers the written file's path.
    Q_SCRIPTABLE QString Shoot(const QString& command, const QString& region, bool allMonitors,
                               bool clipboard, const QString& output, const QString& format,
                               int delay, QByteArray& bytes);

signals:
    Q_SCRIPTABLE void FileSaved(const QString& path);

private:
    QString dispatch(Command command);
    // Answers the call once `run` has called back; `run` runs from the event loop.
    QString answerLater(const std::function<void(Reply)>& run);

    Handler m_handler;
    ShotHandler m_shotHandler;
};


}  // namespace fk
