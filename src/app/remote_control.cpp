#include "app/remote_control.h"

#include <QDBusMessage>
#include <QTimer>
#include <string>
#include <utility>
#include <vector>

namespace fk {

RemoteControl::RemoteControl(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

bool RemoteControl::publish(QDBusConnection bus) {
    if (!bus.registerObject(
            kBusPath, kBusInterface, this,
            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals))
        return false;
    if (bus.registerService(kBusService))
        return true;
    bus.unregisterObject(kBusPath);
    return false;
}

QString RemoteControl::dispatch(Command command) {
    return answerLater([this, command](const Reply& reply) { m_handler(command, reply); });
}

QString RemoteControl::Shoot(const QString& command, const QString& region, bool allMonitors,
                            bool clipboard, const QString& output, const QString& format,
                            int delay, QByteArray&) {
    // The same words as the command line's, so that both are checked alike.
    std::vector<std::string> words{"--" + command.toLower().toStdString()};
    if (command == "Region" && !region.isEmpty())
        words.push_back(region.toStdString());
    if (allMonitors)
        words.push_back("--all-monitors");
    if (clipboard)
        words.push_back("--clipboard");
    const std::pair<const char*, QString> valued[] = {
        {"--output", output},
        {"--format", format},
        {"--delay", delay >= 0 ? QString::number(delay) : QString()}};
    for (const auto& [option, value] : valued)
        if (!value.isEmpty())
            words.insert(words.end(), {option, value.toStdString()});
    CommandLine line = parseCommandLine(words);
    if (line.error.empty() && line.command != Command::Screen &&
        line.command != Command::Window && line.command != Command::Region)
        line.error = "Shoot takes Screen, Window or Region";
    if (line.error.empty() && !line.shot.output.empty() && line.shot.output != "-" &&
        line.shot.output[0] != '/')
        line.error = "the output file must be given by its absolute path";
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    if (!line.error.empty()) {
        bus.send(call.createErrorReply("org.freedesktop.DBus.Error.InvalidArgs",
                                       QString::fromStdString(line.error)));
        return {};
    }
    QTimer::singleShot(0, this, [this, line, call, bus]() mutable {
        auto reply = [call, bus](bool ok, const QString& text, const QByteArray& picture) mutable {
            bus.send(ok ? call.createReply(QVariantList{text, picture})
                        : call.createErrorReply(kFailedError, text));
        };
        if (m_shotHandler)
            m_shotHandler(line.command, line.shot, reply);
        else
            reply(false, "Fotokran is starting", {});
    });
    return {};
}

QString RemoteControl::answerLater(const std::function<void(Reply)>& run) {
    // The answer comes when the command has run; meanwhile the bus goes on serving others.
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    // Commands run from the event loop, as hot keys do, never inside the bus's dispatch.
    QTimer::singleShot(0, this, [run, call, bus]() mutable {
        run([call, bus](bool ok, const QString& text) mutable {
            bus.send(ok ? call.createReply(text) : call.createErrorReply(kFailedError, text));
        });
    });
    return {};
}

}  // namespace fk
