#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (the terminal closed) into a Qt signal on the main thread. The
// handler only writes the signal number into a pipe; the main loop reads it. After the first signal
// the default action is restored, so a second Ctrl-C ends the program at once. A signal that was
// ignored when the program started (a background job, nohup) stays ignored. SIGPIPE is caught and
// dropped, so a closed pipe shows as a failed write (see ProgressDisplay) instead of ending the
// program with the encoders still running. SIGTSTP (Ctrl-Z) gives `stopRequested`, after which
// the program stops itself; SIGCONT (`fg`, `bg`) gives `continued`.
//
// Thread: the main thread; one instance per process.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void interrupted(int signalNumber);
    void stopRequested();
    void continued();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
