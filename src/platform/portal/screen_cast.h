#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/portal/pipewire_stream.h"
#include "platform/screen_grabber.h"

namespace fk {

// Where the desktop's permission to share the screen is kept between runs, so it asks once.
struct RestoreToken {
    std::function<std::string()> read;
    std::function<void(const std::string&)> keep;
};

// The ScreenCast portal's session of one monitor, opened when the program starts and kept while
// it runs; its frames come through a PipeWire stream. The desktop asks the user once which
// monitor to share; the answer is kept as a restore token, so later starts ask nothing. The
// cursor comes apart from the frames (metadata) where the desktop offers that, so pictures show
// it only when the program draws it.
class ScreenCast final : public QObject {
public:
    enum class State { Starting, Streaming, Refused, Ended };

    explicit ScreenCast(RestoreToken token);
    ~ScreenCast() override;

    // Opens a session; a session that ended (the user stopped sharing) is opened again.
    void start();
    State state() const;
    // Waits, running events, until the session streams or fails, at most `timeoutMs`.
    bool waitUntilStreaming(int timeoutMs);
    // The monitor in screen coordinates.
    ScreenRect rect() const { return m_rect; }
    // The stream while the session streams; null otherwise.
    PipeWireStream* stream() const;
    bool cursorApart() const { return m_cursorApart; }
    // What the desktop said when it refused, for messages.
    const QString& refusal() const { return m_refusal; }

private:
    void selectSources(const QString& session);
    void startSession(const QString& session);
    void openStream(const QString& session, uint32_t node);
    void fail(const QString& why);
    void closeSession();

    RestoreToken m_token;
    State m_state = State::Ended;
    QString m_session;
    QString m_refusal;
    ScreenRect m_rect;
    bool m_cursorApart = false;
    unsigned m_generation = 0;  // answers for a session given up are ignored
    std::unique_ptr<PipeWireStream> m_stream;
};

}  // namespace fk
