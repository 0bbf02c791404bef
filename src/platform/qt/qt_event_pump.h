#pragma once

#include "platform/event_pump.h"

namespace fk {

// Waits in a nested Qt event loop: every event is dispatched as it comes, and the loop ends at
// the deadline. Nothing spins while waiting.
class QtEventPump final : public EventPump {
public:
    void processEventsFor(int64_t maxWaitMs) override;
};

}  // namespace fk
