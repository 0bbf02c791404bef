#include "app/remote_control.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QTimer>

namespace fk {

namespace {

constexpr const char* kFailedError = "org.fotokran.Fotokran.Error.Failed";

}  // namespace

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

QString RemoteControl::dispatchShot(Command command, ShotOptions options) {
    return answerLater([this, command, options](const Reply& reply) {
        if (m_shotHandler)
            m_shotHandler(command, options, reply);
        else
            reply(false, "Fotokran is starting");
    });
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

namespace {

RemoteResult callMethod(const char* method, const QVariantList& arguments, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        return {RemoteResult::Kind::NoBus, why.isEmpty() ? "no session bus" : why};
    }
    if (!bus.interface()->isServiceRegistered(kBusService).value())
        return {RemoteResult::Kind::NotRunning, {}};
    QDBusInterface copy(kBusService, kBusPath, kBusInterface, bus);
    copy.setTimeout(timeoutMs);
    const QDBusMessage reply = copy.callWithArgumentList(QDBus::AutoDetect, method, arguments);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {RemoteResult::Kind::Done,
                reply.arguments().isEmpty() ? QString() : reply.arguments().first().toString()};
    if (reply.errorName() == kFailedError)
        return {RemoteResult::Kind::Failed, reply.errorMessage()};
    // The copy has gone between the question and the call.
    if (reply.errorName() == "org.freedesktop.DBus.Error.ServiceUnknown")
        return {RemoteResult::Kind::NotRunning, {}};
    if (reply.errorName() == "org.freedesktop.DBus.Error.NoReply")
        return {RemoteResult::Kind::Failed,
                QString("the running Fotokran did not answer within %1 s (it may be busy "
                        "writing a video)")
                    .arg(timeoutMs / 1000)};
    return {RemoteResult::Kind::Failed, reply.errorMessage()};
}

}  // namespace

RemoteResult callRunningCopy(Command command, int timeoutMs) {
    return callMethod(remoteMethod(command), {}, timeoutMs);
}

RemoteResult callRunningCopy(const CommandLine& line, int timeoutMs) {
    const ShotOptions& s = line.shot;
    QVariantList arguments;
    if (line.command == Command::Region)
        arguments = {QString::fromStdString(s.region), s.clipboard};
    else if (line.command == Command::Screen)
        arguments = {s.allMonitors, s.clipboard};
    else
        arguments = {s.clipboard};
    return callMethod(remoteShotMethod(line.command), arguments, timeoutMs);
}

}  // namespace fk
