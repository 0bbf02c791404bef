#include "capture/timed_series.h"

#include <algorithm>

#include "base/text.h"

namespace fk {

void TimedSeries::correctInterval() {
    const std::string text = m_host.intervalText();
    if (text.empty() || StrToInt(text) < kMinimumIntervalMs)
        m_host.setIntervalText(std::to_string(kMinimumIntervalMs));
}

void TimedSeries::setRunning(bool on) {
    TimerOn = on;
    m_host.setSeriesCaption(on ? kRunningCaption : kIdleCaption);
}

void TimedSeries::stop() {
    if (TimerOn)
        setRunning(false);
}

void TimedSeries::ToggleTimedSeries() {
    correctInterval();
    const bool starting = !TimerOn;
    setRunning(starting);
    if (!starting) {
        // The running loop notices at the end of its pause.
        if (m_capture.host().shotDelayText().empty())
            m_capture.host().setShotDelayText("0");
        return;
    }
    try {
        m_capture.WaitShotDelay();
        while (TimerOn) {
            m_capture.ShootScreen();
            // Read anew each time; a pause shorter than the minimum would stop all event
            // handling and write shots until the disk is full.
            const int32_t interval = StrToInt(m_host.intervalText());
            m_capture.Delay(std::max(interval, int32_t(kMinimumIntervalMs)));
        }
    } catch (...) {
        // A failed shot ends the series rather than leaving it marked as running.
        stop();
        throw;
    }
}

}  // namespace fk
