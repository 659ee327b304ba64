#include "engine/TaskWrapper.h"

#include "Shared/Logging.h"

#include <QTimer>

#include <csignal>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

TaskWrapper::TaskWrapper(TaskWrapperController *controller, const QStringList &arguments,
                         QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_arguments(arguments)
{}

TaskWrapper::~TaskWrapper()
{
    // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
    qCInfo(lcEngine).noquote() << QStringLiteral("Task dealloc");
    stopProcess();
    if (m_task) {
        // Nothing of the process may reach this half-destroyed object any more; a child still
        // running is killed and reaped by QProcess itself.
        disconnect(m_task, nullptr, this, nullptr);
        delete m_task;
        m_task = nullptr;
    }
}

void TaskWrapper::startProcess()
{
    if (m_controller)
        m_controller->processStarted();
    if (m_task || m_arguments.isEmpty()) {
        // A runner starts once; with no program there is nothing to start.
        if (!m_task)
            QMetaObject::invokeMethod(
                this, [this] { deliverExitStatus(kFailedToStartStatus); }, Qt::QueuedConnection);
        return;
    }

    m_task = new QProcess(this);
    m_task->setProcessChannelMode(QProcess::MergedChannels);
    m_task->setStandardInputFile(QProcess::nullDevice());
    m_task->setProgram(m_arguments.first());
    m_task->setArguments(m_arguments.mid(1));
    // Runs in the child between fork and exec: only async-signal-safe calls. The signal is bound
    // to the thread that starts the child, which waits for its exit status anyway; a parent that
    // died before the call is caught by comparing the parent's id.
    const pid_t parent = ::getpid();
    const int inherited = m_inheritedDescriptor;
    m_task->setChildProcessModifier([parent, inherited] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(kFailedToStartStatus);
        // Kept close-on-exec in this process, so that no other child inherits it.
        if (inherited >= 0 && ::fcntl(inherited, F_SETFD, 0) != 0)
            ::_exit(kFailedToStartStatus);
    });

    connect(m_task, &QProcess::readyReadStandardOutput, this, &TaskWrapper::getData);
    connect(m_task, &QProcess::readChannelFinished, this, &TaskWrapper::outputEnded);
    connect(m_task, &QProcess::finished, this, &TaskWrapper::FFMpegDidTerminate);
    connect(m_task, &QProcess::errorOccurred, this, &TaskWrapper::processError);

    m_listening = true;
    m_task->start(QIODevice::ReadOnly);
}

void TaskWrapper::getData()
{
    const QByteArray chunk = m_task->readAllStandardOutput();
    if (!m_listening || chunk.isEmpty())
        return;
    const QString text = m_decoder.decode(chunk);
    // A chunk holding only the start of a character has nothing to tell yet.
    if (!text.isNull() && text.isEmpty())
        return;
    if (m_controller)
        m_controller->appendOutput(text);
}

void TaskWrapper::outputEnded()
{
    if (m_listening)
        stopProcess();
}

void TaskWrapper::stopProcess()
{
    qCInfo(lcEngine).noquote() << QStringLiteral("stop process");
    m_listening = false;
    if (m_task && m_task->state() != QProcess::NotRunning) {
        m_task->terminate();
        // A suspended child keeps the request pending until it runs again.
        signalChild(SIGCONT);
        if (!m_killScheduled) {
            m_killScheduled = true;
            QTimer::singleShot(kKillGraceMs, this, &TaskWrapper::killIfStillRunning);
        }
    }
    if (m_controller)
        m_controller->processFinished();
}

qint64 TaskWrapper::processId() const
{
    return m_task && m_task->state() != QProcess::NotRunning ? m_task->processId() : 0;
}

void TaskWrapper::suspendProcess()
{
    signalChild(SIGSTOP);
}

void TaskWrapper::resumeProcess()
{
    signalChild(SIGCONT);
}

void TaskWrapper::signalChild(int signalNumber)
{
    const qint64 pid = processId();
    if (pid > 0)
        ::kill(pid_t(pid), signalNumber);
}

void TaskWrapper::killIfStillRunning()
{
    if (!m_task || m_task->state() == QProcess::NotRunning)
        return;
    qCWarning(lcEngine).noquote()
        << QStringLiteral("%1 ignored the request to stop; killing it").arg(m_arguments.first());
    m_task->kill();
}

void TaskWrapper::FFMpegDidTerminate(int exitCode, QProcess::ExitStatus exitStatus)
{
    // Output still buffered when the child exited belongs to this run.
    if (m_listening && m_task->bytesAvailable() > 0)
        getData();
    // For a child ended by a signal QProcess reports the signal's number as the exit code.
    Q_UNUSED(exitStatus)
    deliverExitStatus(exitCode);
}

void TaskWrapper::processError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return;
    m_startError = m_task->errorString();
    m_listening = false;
    // QProcess never reports `finished` for a program that did not start; the owner waits for an
    // exit status all the same. Deliver it from the event loop, as a real exit would be.
    QMetaObject::invokeMethod(
        this, [this] { deliverExitStatus(kFailedToStartStatus); }, Qt::QueuedConnection);
}

void TaskWrapper::deliverExitStatus(int status)
{
    if (m_exitDelivered)
        return;
    m_exitDelivered = true;
    // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
    qCInfo(lcEngine).noquote()
        << QStringLiteral("ffmpeg did finished:terminate status:%1").arg(status);
    TaskWrapperController *controller = m_controller;
    m_controller = nullptr;
    if (controller)
        controller->launcherDidTerminatedWithCode(status);
}
