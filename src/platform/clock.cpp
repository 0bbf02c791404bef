#include <chrono>

#include "platform/event_pump.h"

namespace fk {

int64_t SteadyClock::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace fk
