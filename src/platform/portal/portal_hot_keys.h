#pragma once

#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <string>
#include <vector>

#include "platform/hot_keys.h"
#include "platform/platform_host.h"

namespace fk {

// The keys through the GlobalShortcuts portal, where the desktop offers it and binds them. On
// GNOME, which has no such portal, the keys can be the desktop's own custom shortcuts running
// the program's command line (the running copy takes the command): the program adds them once,
// after asking. A key neither way takes is reported refused, so the user is told what to bind.
class PortalHotKeys final : public QObject, public HotKeys {
    Q_OBJECT
public:
    PortalHotKeys(bool gnome, PlatformHost host);
    ~PortalHotKeys() override;

    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)> onPress) override;
    void unregisterAll() override;

private slots:
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    // The actions the portal bound; none when it is missing or binds nothing.
    std::vector<HotKeyAction> bindThroughPortal();
    std::vector<HotKeyAction> bindThroughGnome();

    bool m_gnome;
    PlatformHost m_host;
    QString m_session;
    std::function<void(HotKeyAction)> m_onPress;
};

}  // namespace fk
