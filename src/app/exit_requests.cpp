#include "app/exit_requests.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <cerrno>

#include "base/file.h"

namespace fk {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The handler writes to the pipe, the event loop reads from it.
FileDescriptor g_readEnd;
FileDescriptor g_writeEnd;

// All a signal handler may safely do: note the signal where the event loop will see it.
void noteSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd.get(), &number, 1);
    errno = saved;
}

}  // namespace

ExitRequests::ExitRequests(std::function<bool()> finished) : m_finished(std::move(finished)) {
    QCoreApplication::instance()->installEventFilter(this);
    if (!g_readEnd) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        g_readEnd.reset(ends[0]);
        g_writeEnd.reset(ends[1]);
    }
    m_notifier = new QSocketNotifier(g_readEnd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ExitRequests::readSignals);
    for (int s : kSignals) {
        struct sigaction old {};
        ::sigaction(s, nullptr, &old);
        // A signal the program was started to ignore (nohup, a background job) stays ignored.
        if (old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        ::sigaction(s, &action, nullptr);
    }
}

ExitRequests::~ExitRequests() {
    for (int s : kSignals) {
        struct sigaction current {};
        ::sigaction(s, nullptr, &current);
        if (current.sa_handler == noteSignal)
            ::signal(s, SIG_DFL);
    }
    if (g_readEnd) {
        delete m_notifier;
        g_readEnd.reset();
        g_writeEnd.reset();
    }
}

void ExitRequests::readSignals() {
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(g_readEnd.get(), numbers, sizeof numbers)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            emit closeRequested(numbers[i]);
}

bool ExitRequests::eventFilter(QObject* watched, QEvent* event) {
    // Qt ends the event loops on a quit, also the nested ones of a running series, which would
    // then no longer wait; the window's close ends them properly and quits afterwards.
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !m_finished()) {
        emit closeRequested(0);
        return true;
    }
    return false;
}

}  // namespace fk
