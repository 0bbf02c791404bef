#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/hot_keys.h"

namespace fk {

// The keys as passive grabs on the X11 root window, on every key code that carries the key's
// symbol, also with Caps Lock and Num Lock on. A key of which any of these grabs is refused by the
// server (BadAccess: another program or the window manager holds it) is reported as refused and
// not grabbed at all.
class X11HotKeys final : public HotKeys, private QAbstractNativeEventFilter {
public:
    // Over the toolkit's own connection (an xcb_connection_t) and its screen's root window.
    X11HotKeys(void* connection, uint32_t root);
    ~X11HotKeys() override;

    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)> onPress) override;
    void unregisterAll() override;
    bool grabCancelKey(std::function<void()> onPress) override;
    void releaseCancelKey() override;

private:
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
        HotKeyAction action;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    std::vector<uint8_t> keycodesOf(uint32_t keysym);
    // Grabs the key on every key code and lock variant into `into`, or none of them; false then.
    bool grabWhole(uint32_t keysym, uint16_t modifiers, HotKeyAction action,
                   std::vector<Grab>& into);
    void ungrabAll(std::vector<Grab>& grabs);

    void* m_connection;  // xcb_connection_t, owned by Qt
    uint32_t m_root;
    std::vector<Grab> m_grabs;        // the grabs the server granted
    std::vector<Grab> m_cancelGrabs;  // Esc, while a delayed shot waits
    std::function<void(HotKeyAction)> m_onPress;
    std::function<void()> m_onCancel;
    QObject m_context;  // queued calls die with it
};

}  // namespace fk
