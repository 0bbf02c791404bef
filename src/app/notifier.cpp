#include "app/notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>
#include <QVariantMap>

namespace fk {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
constexpr const char* kOpen = "open";
constexpr const char* kFolder = "folder";

// Calls a method without waiting; `done` gets the reply or the error later.
void callLater(const QDBusMessage& call, QObject* context,
               const std::function<void(const QDBusMessage&)>& done) {
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call);
    auto* watcher = new QDBusPendingCallWatcher(pending, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done](QDBusPendingCallWatcher*) {
                         done(watcher->reply());
                         watcher->deleteLater();
                     });
}

}  // namespace

Notifier::Notifier(OpenUrl openUrl, Fallback fallback, QObject* parent)
    : QObject(parent), m_openUrl(std::move(openUrl)), m_fallback(std::move(fallback)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kInterface, "ActionInvoked", this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, "NotificationClosed", this,
                SLOT(onClosed(uint, uint)));
}

std::pair<QString, QString> savedFileNote(const QString& path) {
    const QFileInfo file(path);
    return {Notifier::tr("Сохранено: %1").arg(file.fileName()),
            Notifier::tr("В папке %1").arg(file.absolutePath())};
}

void Notifier::fileSaved(const QString& path) {
    const auto [summary, body] = savedFileNote(path);
    notify(summary, body, path);
}

void Notifier::note(const QString& summary, const QString& body) {
    notify(summary, body, {});
}

void Notifier::notify(const QString& summary, const QString& body, const QString& file) {
    QStringList actions;
    if (m_actions && !file.isEmpty())
        actions << kOpen << tr("Открыть") << kFolder << tr("Открыть папку");
    QVariantMap hints;
    hints["desktop-entry"] = "org.fotokran.Fotokran";
    if (!file.isEmpty())
        hints["image-path"] = QUrl::fromLocalFile(file).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << QString("Fotokran") << uint(0) << QString("org.fotokran.Fotokran") << summary << body
         << actions << hints << int(-1);
    if (!QDBusConnection::sessionBus().isConnected()) {
        if (m_fallback)
            m_fallback(summary, body);
        return;
    }
    callLater(call, this, [this, summary, body, file](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            if (m_fallback)
                m_fallback(summary, body);
            return;
        }
        if (!file.isEmpty() && m_actions)
            m_files.insert(reply.arguments().first().toUInt(), file);
    });
}

void Notifier::onActionInvoked(uint id, const QString& action) {
    const auto it = m_files.constFind(id);
    if (it == m_files.constEnd())
        return;  // another program's notification
    if (action == kOpen)
        m_openUrl(QUrl::fromLocalFile(*it));
    else if (action == kFolder)
        showInFolder(*it);
}

void Notifier::onClosed(uint id, uint) {
    m_files.remove(id);
}

void Notifier::showInFolder(const QString& file) {
    // The file manager marks the file in its folder; without one the folder opens.
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                       "/org/freedesktop/FileManager1",
                                                       "org.freedesktop.FileManager1", "ShowItems");
    call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
    callLater(call, this, [this, file](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage)
            m_openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
    });
}

}  // namespace fk
