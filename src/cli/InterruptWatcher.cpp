#include "cli/InterruptWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    // Nothing else is safe here; a full pipe already holds a pending signal.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

// A closed pipe shows as EPIPE from the write instead of ending the program. A handler rather
// than SIG_IGN, so that the encoders (which exec) start with the default action again.
void onBrokenPipe(int)
{}

} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    for (const int signalNumber : kSignals) {
        struct sigaction previous = {};
        ::sigaction(signalNumber, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signalNumber, &action, nullptr);
    }
    struct sigaction brokenPipe = {};
    brokenPipe.sa_handler = onBrokenPipe;
    sigemptyset(&brokenPipe.sa_mask);
    brokenPipe.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &brokenPipe, nullptr);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatcher::readPipe);
}

InterruptWatcher::~InterruptWatcher()
{
    for (const int signalNumber : kSignals) {
        struct sigaction current = {};
        ::sigaction(signalNumber, nullptr, &current);
        if (current.sa_handler == onSignal)
            ::signal(signalNumber, SIG_DFL);
    }
    struct sigaction current = {};
    ::sigaction(SIGPIPE, nullptr, &current);
    if (current.sa_handler == onBrokenPipe)
        ::signal(SIGPIPE, SIG_DFL);
}

void InterruptWatcher::readPipe()
{
    char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1)
        return;
    if (int(byte) == SIGTSTP) {
        // Held first (encoders, queue, clock), then stopped as the terminal asked; `fg` sends
        // SIGCONT, which arrives here as `continued`.
        emit stopRequested();
        ::raise(SIGSTOP);
        return;
    }
    if (int(byte) == SIGCONT) {
        emit continued();
        return;
    }
    // The next signal of this kind ends the program the ordinary way.
    ::signal(int(byte), SIG_DFL);
    emit interrupted(int(byte));
}
