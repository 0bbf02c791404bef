#pragma once

#include <cstdint>

#include "base/exceptions.h"

namespace fk {

// A monotonic millisecond clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMs() = 0;
};

// Runs the program's pending events; commands may run nested inside.
class EventPump {
public:
    virtual ~EventPump() = default;
    // Dispatches every pending event, then waits for further events for at most `maxWaitMs`
    // milliseconds, dispatching them as they come. Burns no CPU while it waits.
    virtual void processEventsFor(int64_t maxWaitMs) = 0;
};

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

class SteadyClock final : public Clock {
public:
    int64_t nowMs() override;
};

}  // namespace fk
