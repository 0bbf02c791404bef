#include "platform/qt/qt_event_pump.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "capture/capture.h"

namespace fk {
namespace {

TEST(QtEventPump, EndingTheWaitsLeavesEveryNestedWaitAtOnce) {
    QtEventPump pump;
    SteadyClock clock;
    bool innerEnded = false;
    bool outerEnded = false;
    QTimer::singleShot(10, [&] {
        try {
            Delay(600000, clock, pump);  // a command waiting inside the outer wait
        } catch (const EWaitsEnded&) {
            innerEnded = true;
        }
    });
    QTimer::singleShot(30, [&] { pump.endAllWaits(); });
    const int64_t start = clock.nowMs();
    try {
        Delay(600000, clock, pump);
    } catch (const EWaitsEnded&) {
        outerEnded = true;
    }
    EXPECT_TRUE(innerEnded);
    EXPECT_TRUE(outerEnded);
    EXPECT_LT(clock.nowMs() - start, 60000) << "a wait ran on after the program began to close";
    // Once closing, every later wait ends at once too.
    EXPECT_THROW(pump.processEventsFor(0), EWaitsEnded);
}

}  // namespace
}  // namespace fk
