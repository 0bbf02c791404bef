#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <cstdint>
#include <functional>

namespace fk {

// How the desktop portal answered a request.
struct PortalAnswer {
    enum class Kind { Granted, Cancelled, Refused, NoAnswer };
    Kind kind = Kind::NoAnswer;
    QVariantMap results;
    QString detail;  // what went wrong, for messages
    bool granted() const { return kind == Kind::Granted; }
};

inline const char* const kPortalService = "org.freedesktop.portal.Desktop";
inline const char* const kPortalPath = "/org/freedesktop/portal/desktop";

// A session handle, which portals hand out as an object path or as a string.
QString objectPathOf(const QVariant& value);

// One call of a portal method that answers later: the method returns a request object at once,
// and the answer comes as that object's Response signal (0 granted, 1 cancelled by the user,
// anything else refused). The options, with a fresh handle token, are the method's last argument.
// An answer that does not come in time closes the request (and any dialog it shows).
class PortalRequest final : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const PortalAnswer&)>;

    // Starts the call; `done` runs once, from the event loop, unless `context` is destroyed first.
    static void start(QObject* context, const QString& interface, const QString& method,
                      QVariantList arguments, QVariantMap options, int timeoutMs, Done done);
    // The same, waiting for the answer in a local event loop.
    static PortalAnswer wait(const QString& interface, const QString& method,
                             QVariantList arguments, QVariantMap options, int timeoutMs);

    // A portal interface's property; invalid when the portal or the interface is missing.
    static QVariant property(const QString& interface, const QString& name);
    // A token unique within this process, for handle and session tokens.
    static QString newToken();

private slots:
    void onResponse(uint code, const QVariantMap& results);

private:
    PortalRequest(QObject* context, Done done);
    void listenOn(const QString& path);
    void finish(const PortalAnswer& answer);

    Done m_done;
    QString m_path;
    bool m_finished = false;
};

}  // namespace fk
