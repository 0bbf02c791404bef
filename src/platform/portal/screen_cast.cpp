#include "platform/portal/screen_cast.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QTimer>

#include "platform/errors.h"
#include "platform/portal/portal_request.h"

namespace fk {

namespace {

const char* const kCast = "org.freedesktop.portal.ScreenCast";
constexpr int kCallTimeoutMs = 30 * 1000;
// Long enough for the user to read the desktop's question and pick a monitor.
constexpr int kQuestionTimeoutMs = 3 * 60 * 1000;
constexpr uint kMonitor = 1;
constexpr uint kCursorHidden = 1, kCursorMetadata = 4;
constexpr uint kPersistUntilRevoked = 2;

ScreenRect pairOf(const QVariant& v, ScreenRect r, bool size) {
    if (!v.canConvert<QDBusArgument>())
        return r;
    const QDBusArgument a = v.value<QDBusArgument>();
    int first = 0, second = 0;
    a.beginStructure();
    a >> first >> second;
    a.endStructure();
    (size ? r.width : r.x) = first;
    (size ? r.height : r.y) = second;
    return r;
}

struct CastNode {
    uint32_t node = 0;
    ScreenRect rect;
};

// The first stream of Start's answer, a(ua{sv}).
std::optional<CastNode> firstStream(const QVariant& streams) {
    if (!streams.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument a = streams.value<QDBusArgument>();
    std::optional<CastNode> first;
    a.beginArray();
    while (!a.atEnd()) {
        uint node = 0;
        QVariantMap props;
        a.beginStructure();
        a >> node >> props;
        a.endStructure();
        if (!first) {
            CastNode c{node, {}};
            c.rect = pairOf(props.value("position"), c.rect, false);
            c.rect = pairOf(props.value("size"), c.rect, true);
            first = c;
        }
    }
    a.endArray();
    return first;
}

}  // namespace

ScreenCast::ScreenCast(RestoreToken token) : m_token(std::move(token)) {}

ScreenCast::~ScreenCast() {
    m_stream.reset();
    closeSession();
}

ScreenCast::State ScreenCast::state() const {
    if (m_state == State::Streaming && m_stream->ended())
        return State::Ended;
    return m_state;
}

PipeWireStream* ScreenCast::stream() const {
    return state() == State::Streaming ? m_stream.get() : nullptr;
}

void ScreenCast::fail(const QString& why) {
    m_stream.reset();
    closeSession();
    m_state = State::Refused;
    m_refusal = why;
}

void ScreenCast::closeSession() {
    if (m_session.isEmpty())
        return;
    QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
        kPortalService, m_session, "org.freedesktop.portal.Session", "Close"));
    m_session.clear();
}

void ScreenCast::start() {
    if (state() == State::Starting || state() == State::Streaming)
        return;
    const unsigned generation = ++m_generation;
    m_stream.reset();
    closeSession();
    m_state = State::Starting;
    m_refusal.clear();
    const QVariant version = PortalRequest::property(kCast, "version");
    if (!version.isValid())
        return fail("the desktop offers no screen sharing");
    m_cursorApart =
        PortalRequest::property(kCast, "AvailableCursorModes").toUInt() & kCursorMetadata;
    PortalRequest::start(
        this, kCast, "CreateSession", {}, {{"session_handle_token", PortalRequest::newToken()}},
        kCallTimeoutMs, [this, generation](const PortalAnswer& a) {
            if (generation != m_generation)
                return;
            if (!a.granted())
                return fail("the desktop did not open a sharing session " + a.detail);
            m_session = objectPathOf(a.results.value("session_handle"));
            selectSources(m_session);
        });
}

void ScreenCast::selectSources(const QString& session) {
    const unsigned generation = m_generation;
    const uint version = PortalRequest::property(kCast, "version").toUInt();
    QVariantMap options{
        {"types", QVariant::fromValue(kMonitor)},
        {"multiple", false},
        {"cursor_mode", QVariant::fromValue(m_cursorApart ? kCursorMetadata : kCursorHidden)}};
    if (version >= 4) {
        options.insert("persist_mode", QVariant::fromValue(kPersistUntilRevoked));
        const std::string token = m_token.read ? m_token.read() : std::string();
        if (!token.empty())
            options.insert("restore_token", QString::fromStdString(token));
    }
    PortalRequest::start(this, kCast, "SelectSources",
                         {QVariant::fromValue(QDBusObjectPath(session))}, options, kCallTimeoutMs,
                         [this, generation, session](const PortalAnswer& a) {
                             if (generation != m_generation)
                                 return;
                             if (!a.granted())
                                 return fail("the desktop refused to share a monitor " + a.detail);
                             startSession(session);
                         });
}

void ScreenCast::startSession(const QString& session) {
    const unsigned generation = m_generation;
    PortalRequest::start(
        this, kCast, "Start", {QVariant::fromValue(QDBusObjectPath(session)), QString()}, {},
        kQuestionTimeoutMs, [this, generation, session](const PortalAnswer& a) {
            if (generation != m_generation)
                return;
            if (!a.granted()) {
                // A kept permission the desktop no longer honours is asked for afresh next time.
                if (m_token.keep)
                    m_token.keep({});
                return fail(a.kind == PortalAnswer::Kind::Cancelled
                                ? QString("the user did not share the screen")
                                : "the desktop refused to share the screen " + a.detail);
            }
            // Each start hands out a new token and spends the old one.
            const QString token = a.results.value("restore_token").toString();
            if (!token.isEmpty() && m_token.keep)
                m_token.keep(token.toStdString());
            const std::optional<CastNode> node = firstStream(a.results.value("streams"));
            if (!node)
                return fail("the desktop shared no monitor");
            m_rect = node->rect;
            openStream(session, node->node);
        });
}

void ScreenCast::openStream(const QString& session, uint32_t node) {
    QDBusMessage open =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kCast, "OpenPipeWireRemote");
    open << QVariant::fromValue(QDBusObjectPath(session)) << QVariantMap();
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(open, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return fail("the desktop opened no PipeWire connection " + reply.errorMessage());
    const int fd = dup(reply.arguments().first().value<QDBusUnixFileDescriptor>().fileDescriptor());
    if (fd < 0)
        return fail("the desktop opened no PipeWire connection");
    try {
        m_stream = std::make_unique<PipeWireStream>(fd, node);
    } catch (const EGrabError& e) {
        return fail(e.what());
    }
    m_state = State::Streaming;
}

bool ScreenCast::waitUntilStreaming(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    while (state() == State::Starting && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                        QEventLoop::ExcludeUserInputEvents);
    return state() == State::Streaming;
}

}  // namespace fk
