#pragma once

#include "engine/OutputDecoder.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// The owner's side of a TaskWrapper. Every call has an empty default, so an owner implements only
// what it needs. All calls come on the thread that called TaskWrapper::startProcess().
class TaskWrapperController
{
public:
    virtual ~TaskWrapperController() = default;

    // From within startProcess(), before the child is launched.
    virtual void processStarted() {}
    // One chunk of the child's merged output as it arrived (no joining or splitting into lines,
    // but a character split between chunks comes whole with the later one); a null text when the
    // chunk was not valid UTF-8.
    virtual void appendOutput(const QString &output) { Q_UNUSED(output) }
    // From stopProcess(): the child was told to stop, or its output has ended.
    virtual void processFinished() {}
    // Once, when the child has exited: its exit code, the signal number when a signal ended it, or
    // a non-zero status (127) when it could not be started at all. Nothing reaches the owner after.
    virtual void launcherDidTerminatedWithCode(int status) { Q_UNUSED(status) }
};

// Runs one child process (the encoder) for one owner: standard output and standard error merged
// into one channel, standard input the null device. Output and the exit status are delivered by
// the event loop of the thread that called startProcess(), never from within it (except
// processStarted), and only while that loop runs. The child is killed when this process ends,
// however it ends (parent-death signal), so no encoder outlives the program.
//
// Thread: create, start, stop and destroy it on one thread, the one whose event loop serves it.
class TaskWrapper : public QObject
{
    Q_OBJECT

public:
    // Status delivered when the program could not be started (missing, not executable).
    static constexpr int kFailedToStartStatus = 127;
    // How long a child told to terminate may take before it is killed.
    static constexpr int kKillGraceMs = 3000;

    // `arguments` element 0 is the program, the rest its arguments. The owner is not held: it must
    // outlive the runner or destroy it first.
    TaskWrapper(TaskWrapperController *controller, const QStringList &arguments,
                QObject *parent = nullptr);
    ~TaskWrapper() override;

    TaskWrapper(const TaskWrapper &) = delete;
    TaskWrapper &operator=(const TaskWrapper &) = delete;

    // Lets the child inherit the open descriptor `descriptor` under the same number (the output
    // file it writes through /proc/self/fd); other children never see it. Call before
    // startProcess().
    void setInheritedDescriptor(int descriptor) { m_inheritedDescriptor = descriptor; }

    void startProcess();
    // Stops listening to the output, asks a running child to terminate (SIGTERM), then tells the
    // owner processFinished. A child still running after kKillGraceMs is killed (SIGKILL). The
    // exit status still arrives as usual.
    void stopProcess();

    // Suspends a running child (SIGSTOP) and lets it go on (SIGCONT); a suspended child told to
    // stop is let go on first, so it can act on the request.
    void suspendProcess();
    void resumeProcess();

    // The running child's process id; 0 when none runs.
    qint64 processId() const;

    QStringList arguments() const { return m_arguments; }
    // Why the program could not be started; empty when it started.
    QString startErrorString() const { return m_startError; }

private:
    void getData();
    void outputEnded();
    void FFMpegDidTerminate(int exitCode, QProcess::ExitStatus exitStatus);
    void processError(QProcess::ProcessError error);
    void deliverExitStatus(int status);
    void killIfStillRunning();
    void signalChild(int signalNumber);

    QProcess *m_task = nullptr;
    TaskWrapperController *m_controller = nullptr;
    QStringList m_arguments;
    QString m_startError;
    OutputDecoder m_decoder;
    bool m_listening = false;
    bool m_exitDelivered = false;
    bool m_killScheduled = false;
    int m_inheritedDescriptor = -1;
};
