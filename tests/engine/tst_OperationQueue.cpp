#include "TestEnvironment.h"
#include "engine/OperationQueue.h"

#include <QEventLoop>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Counts how many operations of one test run at the same moment.
struct Tracker
{
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    QMutex lock;
    QList<int> order;
};

// Runs until its gate is opened.
class GatedOperation : public Operation
{
public:
    GatedOperation(Tracker &tracker, int index)
        : m_tracker(tracker)
        , m_index(index)
    {}

    void main() override
    {
        {
            QMutexLocker locker(&m_tracker.lock);
            m_tracker.order << m_index;
        }
        const int now = ++m_tracker.running;
        int most = m_tracker.most;
        while (now > most && !m_tracker.most.compare_exchange_weak(most, now)) {
        }
        ran = true;
        gate.acquire();
        --m_tracker.running;
        returned = true;
    }

    QSemaphore gate;
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};

private:
    Tracker &m_tracker;
    int m_index;
};

using GatedPtr = std::shared_ptr<GatedOperation>;

QList<GatedPtr> addGated(OperationQueue &queue, Tracker &tracker, int count)
{
    QList<GatedPtr> operations;
    for (int i = 0; i < count; ++i) {
        operations << std::make_shared<GatedOperation>(tracker, i);
        queue.addOperation(operations.last());
    }
    return operations;
}

void openAll(const QList<GatedPtr> &operations)
{
    for (const GatedPtr &operation : operations)
        operation->gate.release();
}

// Opens every gate when a test leaves early, so that the queue's destructor does not wait forever.
struct GateGuard
{
    QList<GatedPtr> operations;
    ~GateGuard()
    {
        for (const GatedPtr &operation : operations)
            operation->gate.release(100);
    }
};

} // namespace

class TestOperationQueue : public QObject
{
    Q_OBJECT

private slots:
    void widthLimitsConcurrency()
    {
        Tracker tracker;
        OperationQueue queue(2);
        QSignalSpy drained(&queue, &OperationQueue::drained);
        QSignalSpy finished(&queue, &OperationQueue::operationFinished);
        const QList<GatedPtr> operations = addGated(queue, tracker, 5);
        GateGuard guard{operations};
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(0)->ran && operations.at(1)->ran, 30000);
        QCOMPARE(queue.runningOperationCount(), 2);
        QCOMPARE(queue.operationCount(), 5);
        QVERIFY(!operations.at(2)->ran);
        openAll(operations);
        QTRY_COMPARE_WITH_TIMEOUT(drained.size(), 1, 60000);
        QCOMPARE(queue.operationCount(), 0);
        QCOMPARE(finished.size(), 5);
        QCOMPARE(tracker.most.load(), 2);
        for (const GatedPtr &operation : operations)
            QVERIFY(operation->isFinished() && !operation->isExecuting());
    }

    void raisingTheWidthStartsWaitingOperationsAtOnce()
    {
        Tracker tracker;
        OperationQueue queue(1);
        const QList<GatedPtr> operations = addGated(queue, tracker, 4);
        GateGuard guard{operations};
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(0)->ran, 30000);
        QCOMPARE(queue.runningOperationCount(), 1);
        queue.setMaxConcurrentOperationCount(3);
        // Nothing has finished, yet two more run now.
        QCOMPARE(queue.runningOperationCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(1)->ran && operations.at(2)->ran, 30000);
        QCOMPARE(queue.operationCount(), 4);
        QVERIFY(!operations.at(3)->ran);
        openAll(operations);
        queue.waitUntilAllOperationsAreFinished();
        QCOMPARE(tracker.most.load(), 3);
    }

    void loweringTheWidthLetsRunningOnesFinish()
    {
        Tracker tracker;
        OperationQueue queue(3);
        const QList<GatedPtr> operations = addGated(queue, tracker, 5);
        GateGuard guard{operations};
        QTRY_VERIFY_WITH_TIMEOUT(
            operations.at(0)->ran && operations.at(1)->ran && operations.at(2)->ran, 30000);
        queue.setMaxConcurrentOperationCount(1);
        QCOMPARE(queue.maxConcurrentOperationCount(), 1);
        operations.at(0)->gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(0)->isFinished(), 30000);
        // Two still run, above the new width: nothing new starts until one is left.
        QCOMPARE(queue.runningOperationCount(), 2);
        QCOMPARE(queue.operationCount(), 4);
        operations.at(1)->gate.release();
        operations.at(2)->gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(3)->ran, 30000);
        QCOMPARE(queue.runningOperationCount(), 1);
        openAll(operations.mid(3));
        queue.waitUntilAllOperationsAreFinished();
        QCOMPARE(tracker.most.load(), 3);
    }

    void widthBelowOneCountsAsOneAndKeepsOrder()
    {
        OperationQueue queue(0);
        QCOMPARE(queue.maxConcurrentOperationCount(), 1);
        queue.setMaxConcurrentOperationCount(-1);
        QCOMPARE(queue.maxConcurrentOperationCount(), 1);
        Tracker tracker;
        const QList<GatedPtr> operations = addGated(queue, tracker, 4);
        openAll(operations);
        queue.waitUntilAllOperationsAreFinished();
        QCOMPARE(tracker.order, (QList<int>{0, 1, 2, 3}));
        QCOMPARE(tracker.most.load(), 1);
    }

    void mainRunsAnEventLoopOnAWorkerThread()
    {
        class LoopOperation : public Operation
        {
        public:
            void main() override
            {
                thread = QThread::currentThread();
                QEventLoop loop;
                QObject here;
                QMetaObject::invokeMethod(
                    &here, [this] { queuedCallRan = true; }, Qt::QueuedConnection);
                QTimer::singleShot(10, &loop, &QEventLoop::quit);
                loop.exec();
            }
            QThread *thread = nullptr;
            bool queuedCallRan = false;
        };
        OperationQueue queue(1);
        auto operation = std::make_shared<LoopOperation>();
        queue.addOperation(operation);
        queue.waitUntilAllOperationsAreFinished();
        QVERIFY(operation->thread && operation->thread != QThread::currentThread());
        QVERIFY(operation->queuedCallRan);
    }

    void cancelledWaitingOperationsNeverRun()
    {
        Tracker tracker;
        OperationQueue queue(1);
        QSignalSpy drained(&queue, &OperationQueue::drained);
        const QList<GatedPtr> operations = addGated(queue, tracker, 3);
        GateGuard guard{operations};
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(0)->ran, 30000);
        queue.cancelAllOperations();
        QVERIFY(operations.at(0)->isCancelled());
        openAll(operations);
        QTRY_COMPARE_WITH_TIMEOUT(drained.size(), 1, 60000);
        QVERIFY(!operations.at(1)->ran && !operations.at(2)->ran);
        QVERIFY(operations.at(1)->isFinished() && operations.at(2)->isFinished());
    }

    void destructionWaitsForRunningAndDropsWaiting()
    {
        Tracker tracker;
        auto queue = std::make_unique<OperationQueue>(2);
        const QList<GatedPtr> operations = addGated(*queue, tracker, 3);
        GateGuard guard{operations};
        QTRY_VERIFY_WITH_TIMEOUT(operations.at(0)->ran && operations.at(1)->ran, 30000);
        std::thread opener([&] {
            QThread::msleep(50);
            openAll(operations);
        });
        queue.reset();
        // Both running operations returned before the queue was gone; the third never started.
        QVERIFY(operations.at(0)->returned && operations.at(1)->returned);
        QVERIFY(!operations.at(2)->ran);
        opener.join();
    }

    void addingFromManyThreadsRunsEachOnce()
    {
        class CountingOperation : public Operation
        {
        public:
            void main() override { ++runs; }
            std::atomic<int> runs{0};
        };
        OperationQueue queue(4);
        QList<std::shared_ptr<CountingOperation>> operations;
        for (int i = 0; i < 200; ++i)
            operations << std::make_shared<CountingOperation>();
        std::vector<std::thread> adders;
        for (int t = 0; t < 4; ++t) {
            adders.emplace_back([&, t] {
                for (int i = t; i < operations.size(); i += 4) {
                    queue.addOperation(operations.at(i));
                    if (i % 50 == 0)
                        queue.setMaxConcurrentOperationCount(1 + i % 3);
                }
            });
        }
        for (std::thread &adder : adders)
            adder.join();
        queue.waitUntilAllOperationsAreFinished();
        for (const auto &operation : operations)
            QCOMPARE(operation->runs.load(), 1);
        QCOMPARE(queue.operationCount(), 0);
    }
};

WAVELARK_TEST_MAIN(TestOperationQueue)
#include "tst_OperationQueue.moc"
