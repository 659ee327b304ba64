#pragma once

#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QThread;

// One job of an OperationQueue: the queue calls main() once, on a worker thread of its own that
// main() may run a QEventLoop on (objects created there get their events from that loop).
//
// Thread: cancel() and the state readers may be called from any thread.
class Operation
{
public:
    Operation() = default;
    virtual ~Operation() = default;

    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    // The work itself; runs on the worker thread. Not called when the operation was cancelled
    // before its turn came.
    virtual void main() = 0;

    // Asks the operation to give up: a waiting one never runs its main(); a running one is told
    // through its own override. The base only records the request.
    virtual void cancel() { m_cancelled = true; }
    // Called on the worker thread instead of main() when the operation was cancelled before its
    // turn came.
    virtual void skipped() {}

    bool isCancelled() const { return m_cancelled; }
    bool isExecuting() const { return m_stage == Stage::Executing; }
    bool isFinished() const { return m_stage == Stage::Finished; }

private:
    friend class OperationQueue;

    // One value, so that a reader never sees an operation that is neither running nor finished
    // between the two.
    enum class Stage { Waiting, Executing, Finished };

    std::atomic<bool> m_cancelled{false};
    std::atomic<Stage> m_stage{Stage::Waiting};
};

using OperationPtr = std::shared_ptr<Operation>;
Q_DECLARE_METATYPE(OperationPtr)

// Runs operations on worker threads, at most maxConcurrentOperationCount() at once, in the order
// they were added. The width can change at any moment and takes effect at once: raising it starts
// waiting operations immediately, lowering it lets the running ones finish.
//
// Every worker thread is owned and joined by the queue. Destroying the queue drops the operations
// still waiting and waits for the running ones to return (cancel them first for a quick exit).
//
// Thread: every public function may be called from any thread, except the destructor and
// waitUntilAllOperationsAreFinished(), which must not be called from an operation of this queue.
// The signals are emitted on the worker thread that finished an operation.
class OperationQueue : public QObject
{
    Q_OBJECT

public:
    explicit OperationQueue(int maxConcurrentOperationCount = 1, QObject *parent = nullptr);
    ~OperationQueue() override;

    void addOperation(const OperationPtr &operation);

    // Values below 1 count as 1: a queue that may run nothing would never drain.
    void setMaxConcurrentOperationCount(int width);
    int maxConcurrentOperationCount() const;

    // Operations waiting or running.
    int operationCount() const;
    int runningOperationCount() const;
    // Waiting and running operations, running ones first.
    QList<OperationPtr> operations() const;

    // Cancels every waiting and running operation; waiting ones then end without running.
    void cancelAllOperations();

    // While suspended no waiting operation starts (the running ones go on; pausing them is
    // theirs to do); resuming starts them again as the width allows.
    void setSuspended(bool suspended);
    bool isSuspended() const;

    // Blocks the calling thread until no operation waits or runs.
    void waitUntilAllOperationsAreFinished();

    // Called on the worker thread after an operation's main() has returned and just before the
    // queue records its end, so tests can act at exactly that moment. Set it before adding work.
    using EndHook = std::function<void(const OperationPtr &operation)>;
    void setEndHookForTesting(EndHook hook) { m_endHook = std::move(hook); }

signals:
    // An operation has returned from main() (or was skipped because it had been cancelled).
    void operationFinished(OperationPtr operation);
    // The last operation has ended and nothing waits.
    void drained();

private:
    void startWaitingLocked();
    void reapFinishedThreadsLocked();
    void run(OperationPtr operation);

    mutable QMutex m_lock;
    QWaitCondition m_idle;
    std::deque<OperationPtr> m_waiting;
    std::vector<OperationPtr> m_running;
    std::vector<QThread *> m_threads; // running, or finished and not yet joined
    int m_width = 1;
    bool m_shuttingDown = false;
    bool m_suspended = false;
    EndHook m_endHook;
};
