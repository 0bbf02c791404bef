#include "platform/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace fk {

void QtEventPump::processEventsFor(int64_t maxWaitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxWaitMs <= 0)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::min<int64_t>(maxWaitMs, INT32_MAX)));
    loop.exec();
}

}  // namespace fk
