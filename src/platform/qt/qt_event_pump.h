#pragma once

#include <vector>

#include "platform/event_pump.h"

class QEventLoop;

namespace fk {

// Waits in nested Qt event loops: every event is dispatched as it comes, the loop ends at the
// deadline, and nothing spins while waiting. All waits can be ended at once.
class QtEventPump final : public ClosableEventPump {
public:
    void processEventsFor(int64_t maxWaitMs) override;
    void endAllWaits() override;

private:
    std::vector<QEventLoop*> m_loops;  // the running waits, innermost last
    bool m_ended = false;
};

}  // namespace fk
