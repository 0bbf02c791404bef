#include "platform/portal/portal_request.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <atomic>

namespace fk {

namespace {

const char* const kRequestInterface = "org.freedesktop.portal.Request";

// The request object's path is known before the call, so the answer cannot come unheard.
QString requestPath(const QString& token) {
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace('.', '_');
    return QString("%1/request/%2/%3").arg(kPortalPath, sender, token);
}

}  // namespace

QString objectPathOf(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>() && !value.value<QDBusObjectPath>().path().isEmpty())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QString PortalRequest::newToken() {
    static std::atomic<unsigned> counter{0};
    return QString("fotokran%1").arg(++counter);
}

PortalRequest::PortalRequest(QObject* context, Done done)
    : QObject(context), m_done(std::move(done)) {}

void PortalRequest::listenOn(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_path.isEmpty())
        bus.disconnect(QString(), m_path, kRequestInterface, "Response", this,
                       SLOT(onResponse(uint, QVariantMap)));
    m_path = path;
    bus.connect(QString(), m_path, kRequestInterface, "Response", this,
                SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint code, const QVariantMap& results) {
    PortalAnswer answer;
    answer.kind = code == 0   ? PortalAnswer::Kind::Granted
                  : code == 1 ? PortalAnswer::Kind::Cancelled
                              : PortalAnswer::Kind::Refused;
    answer.results = results;
    finish(answer);
}

void PortalRequest::finish(const PortalAnswer& answer) {
    if (m_finished)
        return;
    m_finished = true;
    QDBusConnection::sessionBus().disconnect(QString(), m_path, kRequestInterface, "Response", this,
                                             SLOT(onResponse(uint, QVariantMap)));
    deleteLater();
    m_done(answer);
}

void PortalRequest::start(QObject* context, const QString& interface, const QString& method,
                          QVariantList arguments, QVariantMap options, int timeoutMs, Done done) {
    auto* request = new PortalRequest(context, std::move(done));
    const QString token = newToken();
    options.insert("handle_token", token);
    request->listenOn(requestPath(token));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    arguments << options;
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, timeoutMs), request);
    QPointer<PortalRequest> alive(request);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, request, [alive, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            PortalAnswer failed;
            failed.kind = PortalAnswer::Kind::Refused;
            failed.detail = reply.error().message();
            alive->finish(failed);
        } else if (reply.value().path() != alive->m_path) {
            alive->listenOn(reply.value().path());  // a portal older than the handle token
        }
    });
    QTimer::singleShot(timeoutMs, request, [alive] {
        if (!alive || alive->m_finished)
            return;
        QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
            kPortalService, alive->m_path, kRequestInterface, "Close"));
        PortalAnswer late;
        late.detail = "the desktop did not answer in time";
        alive->finish(late);
    });
}

PortalAnswer PortalRequest::wait(const QString& interface, const QString& method,
                                 QVariantList arguments, QVariantMap options, int timeoutMs) {
    QEventLoop loop;
    PortalAnswer answer;
    bool done = false;
    QObject context;
    start(&context, interface, method, std::move(arguments), std::move(options), timeoutMs,
          [&](const PortalAnswer& a) {
              answer = a;
              done = true;
              loop.quit();
          });
    if (!done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

QVariant PortalRequest::property(const QString& interface, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

}  // namespace fk
