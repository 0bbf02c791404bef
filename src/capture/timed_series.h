#pragma once

#include <string>

#include "capture/capture.h"

namespace fk {

// What the series reads from and shows in the main window besides the shots' settings.
class TimedSeriesHost {
public:
    virtual ~TimedSeriesHost() = default;
    // The interval box, milliseconds as text.
    virtual std::string intervalText() = 0;
    virtual void setIntervalText(const std::string& text) = 0;
    virtual void setSeriesCaption(const std::string& caption) = 0;
};

// Whole-screen shots one after another with a pause between them, until toggled off. The loop
// runs inside the command that started it; the command that stops it runs inside a pause.
class TimedSeries {
public:
    static constexpr int kMinimumIntervalMs = 10;
    static constexpr const char* kIdleCaption = "Снятие по таймеру";
    static constexpr const char* kRunningCaption = "СТОП!";

    TimedSeries(Capture& capture, TimedSeriesHost& host) : m_capture(capture), m_host(host) {}

    // Starts a series and returns when it has ended, or stops the running one and returns.
    void ToggleTimedSeries();
    // Ends the running series at its next pause (used when the program closes).
    void stop();

    bool TimerOn = false;

private:
    void correctInterval();
    void setRunning(bool on);

    Capture& m_capture;
    TimedSeriesHost& m_host;
};

}  // namespace fk
