#include "platform/portal/portal_hot_keys.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QFileInfo>
#include <QTimer>
#include <array>

#include "platform/portal/gnome_keybindings.h"
#include "platform/portal/portal_request.h"

namespace fk {

namespace {

const char* const kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr int kCallTimeoutMs = 10 * 1000;
// A desktop may ask the user to confirm the keys.
constexpr int kBindTimeoutMs = 60 * 1000;

const char* const kOfferedKey = "GnomeShortcutsOffered";
// Shown to the user, translated by the program's window.
const char* const kGnomeQuestion = QT_TRANSLATE_NOOP(
    "fk::PortalHotKeys",
    "На этом рабочем столе GNOME программы не могут сами занять горячие клавиши. Fotokran может "
    "добавить в сочетания клавиш GNOME свои: Print, Ctrl+Print, Shift+Print и Shift+Scroll Lock "
    "(Print и Shift+Print перестанут вызывать снимок экрана GNOME). Добавить их?");

struct Key {
    HotKeyAction action;
    const char* id;
    const char* trigger;  // as the portal's preferred triggers are spelled
    const char* description;
};

constexpr std::array<Key, 4> kKeys{{
    {HotKeyAction::ShootScreen, "screen", "Print",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Снимок экрана")},
    {HotKeyAction::ShootWindow, "window", "CTRL+Print",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Снимок окна")},
    {HotKeyAction::TimedSeries, "series", "SHIFT+Print",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Съемка по таймеру")},
    {HotKeyAction::Video, "video", "SHIFT+Scroll_Lock",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Съемка видео")},
}};

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& a, const PortalShortcut& s) {
    a.beginStructure();
    a << s.id << s.properties;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, PortalShortcut& s) {
    a.beginStructure();
    a >> s.id >> s.properties;
    a.endStructure();
    return a;
}

std::vector<HotKeyAction> allKeys() {
    std::vector<HotKeyAction> all;
    for (const Key& k : kKeys)
        all.push_back(k.action);
    return all;
}

std::string thisProgram() {
    return QFileInfo("/proc/self/exe").symLinkTarget().toStdString();
}

}  // namespace

}  // namespace fk

Q_DECLARE_METATYPE(fk::PortalShortcut)

namespace fk {

PortalHotKeys::PortalHotKeys(bool gnome, PlatformHost host)
    : m_gnome(gnome), m_host(std::move(host)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalHotKeys::~PortalHotKeys() {
    unregisterAll();
}

std::vector<HotKeyAction> PortalHotKeys::registerAll(std::function<void(HotKeyAction)> onPress) {
    m_onPress = std::move(onPress);
    std::vector<HotKeyAction> taken = bindThroughPortal();
    if (taken.empty() && m_gnome)
        taken = bindThroughGnome();
    std::vector<HotKeyAction> refused;
    for (HotKeyAction a : allKeys())
        if (std::find(taken.begin(), taken.end(), a) == taken.end())
            refused.push_back(a);
    return refused;
}

std::vector<HotKeyAction> PortalHotKeys::bindThroughPortal() {
    if (!PortalRequest::property(kShortcuts, "version").isValid())
        return {};
    const PortalAnswer created =
        PortalRequest::wait(kShortcuts, "CreateSession", {},
                            {{"session_handle_token", PortalRequest::newToken()}}, kCallTimeoutMs);
    if (!created.granted())
        return {};
    m_session = objectPathOf(created.results.value("session_handle"));
    QDBusConnection::sessionBus().connect(
        kPortalService, kPortalPath, kShortcuts, "Activated", this,
        SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QList<PortalShortcut> wanted;
    for (const Key& k : kKeys)
        wanted.push_back(
            {k.id,
             {{"description", QCoreApplication::translate("fk::PortalHotKeys", k.description)},
              {"preferred_trigger", QString(k.trigger)}}});
    const PortalAnswer bound = PortalRequest::wait(
        kShortcuts, "BindShortcuts",
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(wanted), QString()},
        {}, kBindTimeoutMs);
    QList<PortalShortcut> given;
    if (bound.granted())
        bound.results.value("shortcuts").value<QDBusArgument>() >> given;
    std::vector<HotKeyAction> taken;
    for (const PortalShortcut& s : given)
        for (const Key& k : kKeys)
            if (s.id == k.id)
                taken.push_back(k.action);
    // A desktop that answers but binds nothing (KDE 5.27) holds no session for us.
    if (taken.empty())
        unregisterAll();
    return taken;
}

std::vector<HotKeyAction> PortalHotKeys::bindThroughGnome() {
    const GnomeKeybindings bindings(thisProgram());
    if (bindings.installed())
        return allKeys();
    const bool offered = m_host.keptValue && !m_host.keptValue(kOfferedKey).empty();
    if (offered || !m_host.askUser)
        return {};
    const bool yes = m_host.askUser(kGnomeQuestion);
    if (m_host.keepValue)
        m_host.keepValue(kOfferedKey, "1");
    return yes && bindings.install() ? allKeys() : std::vector<HotKeyAction>{};
}

void PortalHotKeys::unregisterAll() {
    if (m_session.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.disconnect(kPortalService, kPortalPath, kShortcuts, "Activated", this,
                   SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, m_session,
                                                 "org.freedesktop.portal.Session", "Close"));
    m_session.clear();
}

void PortalHotKeys::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                const QVariantMap&) {
    if (session.path() != m_session || !m_onPress)
        return;
    for (const Key& k : kKeys)
        if (id == k.id)
            QTimer::singleShot(0, this, [this, action = k.action] {
                if (m_onPress)
                    m_onPress(action);
            });
}

}  // namespace fk
