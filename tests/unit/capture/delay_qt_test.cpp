#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>

#include "capture/capture.h"
#include "platform/qt/qt_event_pump.h"

namespace fk {
namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(QtDelay, DispatchesEventsWaitsTheWholeTimeAndStaysIdle) {
    int argc = 1;
    char name[] = "delay_qt_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    SteadyClock clock;
    QtEventPump pump;

    bool posted = false, timed = false;
    QTimer::singleShot(0, [&] { posted = true; });
    QTimer::singleShot(40, [&] {
        timed = true;
        Delay(30, clock, pump);  // a nested command's own wait
    });
    const int64_t start = clock.nowMs();
    const double cpuStart = cpuSeconds();
    Delay(300, clock, pump);
    const int64_t elapsed = clock.nowMs() - start;
    const double cpu = cpuSeconds() - cpuStart;

    EXPECT_TRUE(posted);
    EXPECT_TRUE(timed);
    EXPECT_GE(elapsed, 300);
    // A busy wait would use the whole 300 ms of processor time.
    EXPECT_LT(cpu, 0.1);

    const int64_t before = clock.nowMs();
    Delay(0, clock, pump);
    EXPECT_LT(clock.nowMs() - before, 5);
}

}  // namespace
}  // namespace fk
