#include "platform/qt/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace fk {

void QtEventPump::processEventsFor(int64_t maxWaitMs) {
    if (m_ended)
        throw EWaitsEnded();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_ended)
        throw EWaitsEnded();
    if (maxWaitMs <= 0)
        return;

    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(std::min<int64_t>(maxWaitMs, INT32_MAX)));
    m_loops.push_back(&loop);
    loop.exec();
    m_loops.pop_back();
    if (m_ended)
        throw EWaitsEnded();
}

void QtEventPump::endAllWaits() {
    m_ended = true;
    // Each loop is left on its own; QCoreApplication::quit() would also end the main loop.
    for (QEventLoop* loop : m_loops)
        loop->exit();
}

}  // namespace fk
