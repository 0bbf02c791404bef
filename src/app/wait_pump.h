#pragma once

#include <vector>

#include "graphics/exceptions.h"
#include "platform/event_pump.h"

class QEventLoop;

namespace fk {

// Thrown out of a wait once the program is closing: it unwinds every command that is waiting,
// however deeply nested, and is never shown to the user.
class EWaitsEnded : public Exception {
public:
    EWaitsEnded() : Exception("The program is closing") {}
};

// An event pump whose waits can all be ended at once, so that closing the program never has to
// wait for a long pause or quit event loops from inside.
class ClosableEventPump : public EventPump {
public:
    // Every running wait returns at once and throws EWaitsEnded, and so does every later one.
    virtual void endAllWaits() = 0;
};

// Waits in nested Qt event loops: every event is dispatched as it comes, nothing spins.
class QtWaitPump final : public ClosableEventPump {
public:
    void processEventsFor(int64_t maxWaitMs) override;
    void endAllWaits() override;

private:
    std::vector<QEventLoop*> m_loops;  // the running waits, innermost last
    bool m_ended = false;
};

}  // namespace fk
