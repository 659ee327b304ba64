#include "engine/OperationQueue.h"

#include <QMutexLocker>
#include <QThread>

#include <algorithm>

OperationQueue::OperationQueue(int maxConcurrentOperationCount, QObject *parent)
    : QObject(parent)
    , m_width(std::max(1, maxConcurrentOperationCount))
{
    qRegisterMetaType<OperationPtr>();
}

OperationQueue::~OperationQueue()
{
    std::vector<QThread *> threads;
    {
        QMutexLocker locker(&m_lock);
        m_shuttingDown = true;
        m_waiting.clear();
        threads.swap(m_threads);
    }
    // No thread starts any more: join every one, running or finished.
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
}

void OperationQueue::addOperation(const OperationPtr &operation)
{
    if (!operation)
        return;
    QMutexLocker locker(&m_lock);
    if (m_shuttingDown)
        return;
    m_waiting.push_back(operation);
    startWaitingLocked();
}

void OperationQueue::setMaxConcurrentOperationCount(int width)
{
    QMutexLocker locker(&m_lock);
    m_width = std::max(1, width);
    startWaitingLocked();
}

int OperationQueue::maxConcurrentOperationCount() const
{
    QMutexLocker locker(&m_lock);
    return m_width;
}

int OperationQueue::operationCount() const
{
    QMutexLocker locker(&m_lock);
    return int(m_waiting.size() + m_running.size());
}

int OperationQueue::runningOperationCount() const
{
    QMutexLocker locker(&m_lock);
    return int(m_running.size());
}

QList<OperationPtr> OperationQueue::operations() const
{
    QMutexLocker locker(&m_lock);
    QList<OperationPtr> all(m_running.begin(), m_running.end());
    all.append(QList<OperationPtr>(m_waiting.begin(), m_waiting.end()));
    return all;
}

void OperationQueue::cancelAllOperations()
{
    // cancel() of an operation may take its own locks: call it outside the queue's lock.
    const QList<OperationPtr> all = operations();
    for (const OperationPtr &operation : all)
        operation->cancel();
}

void OperationQueue::setSuspended(bool suspended)
{
    QMutexLocker locker(&m_lock);
    m_suspended = suspended;
    startWaitingLocked();
}

bool OperationQueue::isSuspended() const
{
    QMutexLocker locker(&m_lock);
    return m_suspended;
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    QMutexLocker locker(&m_lock);
    while (!m_waiting.empty() || !m_running.empty())
        m_idle.wait(&m_lock);
}

void OperationQueue::startWaitingLocked()
{
    reapFinishedThreadsLocked();
    while (!m_shuttingDown && !m_suspended && int(m_running.size()) < m_width &&
           !m_waiting.empty()) {
        OperationPtr operation = m_waiting.front();
        m_waiting.pop_front();
        m_running.push_back(operation);
        // The thread object outlives the run until it is reaped: move the operation out of it.
        QThread *thread =
            QThread::create([this, operation]() mutable { run(std::move(operation)); });
        thread->setObjectName(QStringLiteral("OperationQueue worker"));
        m_threads.push_back(thread);
        thread->start();
    }
}

void OperationQueue::reapFinishedThreadsLocked()
{
    auto finished = std::partition(m_threads.begin(), m_threads.end(),
                                   [](QThread *thread) { return !thread->isFinished(); });
    for (auto it = finished; it != m_threads.end(); ++it) {
        (*it)->wait();
        delete *it;
    }
    m_threads.erase(finished, m_threads.end());
}

void OperationQueue::run(OperationPtr operation)
{
    operation->m_stage = Operation::Stage::Executing;
    if (!operation->isCancelled())
        operation->main();
    else
        operation->skipped();
    if (m_endHook)
        m_endHook(operation);

    bool nowDrained = false;
    {
        QMutexLocker locker(&m_lock);
        m_running.erase(std::find(m_running.begin(), m_running.end(), operation));
        // Finished only once the queue no longer counts it.
        operation->m_stage = Operation::Stage::Finished;
        startWaitingLocked();
        nowDrained = m_running.empty() && m_waiting.empty();
        if (nowDrained)
            m_idle.wakeAll();
    }
    // The destructor joins this thread before the queue goes away, so emitting here is safe.
    emit operationFinished(operation);
    if (nowDrained)
        emit drained();
}
