#pragma once

#include <cstdint>

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

class SteadyClock final : public Clock {
public:
    int64_t nowMs() override;
};

}  // namespace fk
