#include "platform/x11/x11_hot_keys.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace fk {

namespace {

constexpr uint32_t kPrintKeysym = 0xff61;
constexpr uint32_t kScrollLockKeysym = 0xff14;
constexpr uint32_t kEscapeKeysym = 0xff1b;
// Caps Lock and Num Lock must not stop a key from working.
constexpr uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                      XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint16_t kRelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

struct KeyDef {
    uint32_t keysym;
    uint16_t modifiers;
    HotKeyAction action;
};
constexpr KeyDef kKeys[] = {
    {kPrintKeysym, 0, HotKeyAction::ShootScreen},
    {kPrintKeysym, XCB_MOD_MASK_CONTROL, HotKeyAction::ShootWindow},
    {kPrintKeysym, XCB_MOD_MASK_SHIFT, HotKeyAction::TimedSeries},
    {kScrollLockKeysym, XCB_MOD_MASK_SHIFT, HotKeyAction::Video},
    {kPrintKeysym, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT, HotKeyAction::ShootRegion},
};

xcb_connection_t* conn(void* c) {
    return static_cast<xcb_connection_t*>(c);
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

X11HotKeys::X11HotKeys(void* connection, uint32_t root) : m_connection(connection), m_root(root) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
    unregisterAll();
    releaseCancelKey();
}

std::vector<uint8_t> X11HotKeys::keycodesOf(uint32_t keysym) {
    xcb_connection_t* c = conn(m_connection);
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeDeleter> reply(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr));
    std::vector<uint8_t> codes;
    if (!reply)
        return codes;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int perCode = reply->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    // The key's own symbol comes first in its row; other columns are shifted levels.
    for (int column = 0; column < perCode && codes.empty(); ++column) {
        for (int i = 0; (i + 1) * perCode <= total; ++i)
            if (syms[i * perCode + column] == keysym)
                codes.push_back(uint8_t(first + i));
    }
    return codes;
}

bool X11HotKeys::grabWhole(uint32_t keysym, uint16_t modifiers, HotKeyAction action,
                           std::vector<Grab>& into) {
    // A symbol can sit on several keys (Print does on 107 and 218 of the usual keymap), and a
    // window manager binds only one of them. The key is ours only when every key code with
    // every lock variant is: a partial grab would make it work on one keyboard or with Num
    // Lock on, and do the other program's action otherwise.
    xcb_connection_t* c = conn(m_connection);
    const std::vector<uint8_t> codes = keycodesOf(keysym);
    std::vector<Grab> granted;
    bool taken = !codes.empty();
    for (uint8_t code : codes) {
        for (uint16_t lock : kLockVariants) {
            const uint16_t mods = modifiers | lock;
            const std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(
                c, xcb_grab_key_checked(c, 1, m_root, mods, code, XCB_GRAB_MODE_ASYNC,
                                        XCB_GRAB_MODE_ASYNC)));
            if (error) {
                taken = false;
                continue;
            }
            granted.push_back({code, mods, action});
        }
    }
    if (taken) {
        into.insert(into.end(), granted.begin(), granted.end());
    } else {
        for (const Grab& g : granted)
            xcb_ungrab_key(c, g.keycode, m_root, g.modifiers);
    }
    return taken;
}

std::vector<HotKeyAction> X11HotKeys::registerAll(std::function<void(HotKeyAction)> onPress) {
    m_onPress = std::move(onPress);
    std::vector<HotKeyAction> refused;
    for (const KeyDef& key : kKeys)
        if (!grabWhole(key.keysym, key.modifiers, key.action, m_grabs))
            refused.push_back(key.action);
    xcb_flush(conn(m_connection));
    return refused;
}

bool X11HotKeys::grabCancelKey(std::function<void()> onPress) {
    releaseCancelKey();
    m_onCancel = std::move(onPress);
    // The action is never looked at: these grabs have a list of their own.
    const bool taken = grabWhole(kEscapeKeysym, 0, HotKeyAction::ShootScreen, m_cancelGrabs);
    xcb_flush(conn(m_connection));
    return taken;
}

void X11HotKeys::releaseCancelKey() {
    ungrabAll(m_cancelGrabs);
    m_onCancel = nullptr;
}

void X11HotKeys::ungrabAll(std::vector<Grab>& grabs) {
    xcb_connection_t* c = conn(m_connection);
    for (const Grab& g : grabs)
        xcb_ungrab_key(c, g.keycode, m_root, g.modifiers);
    if (!grabs.empty())
        xcb_flush(c);
    grabs.clear();
}

void X11HotKeys::unregisterAll() {
    ungrabAll(m_grabs);
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != m_root)
        return false;
    const uint16_t mods = key->state & kRelevantModifiers;
    auto matches = [&](const Grab& g) {
        return g.keycode == key->detail && (g.modifiers & kRelevantModifiers) == mods;
    };
    if (std::any_of(m_cancelGrabs.begin(), m_cancelGrabs.end(), matches)) {
        if (type == XCB_KEY_PRESS && m_onCancel)
            QMetaObject::invokeMethod(
                &m_context, [this] { if (m_onCancel) m_onCancel(); }, Qt::QueuedConnection);
        return true;
    }
    auto it = std::find_if(m_grabs.begin(), m_grabs.end(), matches);
    if (it == m_grabs.end())
        return false;
    if (type == XCB_KEY_PRESS && m_onPress) {
        // Commands run from the event loop, never inside Qt's event reading.
        const HotKeyAction action = it->action;
        QMetaObject::invokeMethod(
            &m_context, [this, action] { m_onPress(action); }, Qt::QueuedConnection);
    }
    return true;
}

}  // namespace fk
