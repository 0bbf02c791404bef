#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace fk {

// Turns every outside request to end the program into a request to close the main window, so that
// the program always ends through its own close path: SIGTERM, SIGHUP and SIGINT (a second signal
// of the same kind ends the program at once, as it would without this), and the desktop session's
// end, which reaches Qt as a quit. The signal handler only writes the signal's number to a pipe;
// the event loop does the rest.
class ExitRequests final : public QObject {
    Q_OBJECT
public:
    // `finished` tells whether the window has closed; until then a quit is held back.
    explicit ExitRequests(std::function<bool()> finished);
    ~ExitRequests() override;

signals:
    // From the event loop; `signal` is 0 for the session's end.
    void closeRequested(int signal);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readSignals();

    std::function<bool()> m_finished;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace fk
