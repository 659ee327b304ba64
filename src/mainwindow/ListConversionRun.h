#pragma once

#include "model/ConversionSettings.h"
#include "model/LSMedia.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <memory>
#include <thread>

class OperationQueue;
class QTimer;
class RunTally;

// A conversion run over the list: one ConvertOperation per item on the operation queue, and a
// 0.5-second tick that lets the window redraw the rows until the queue has drained. The run reads
// the preferences once, when it starts (settings()), and every conversion of it works with that
// snapshot.
//
// Thread: GUI thread. The queue's workers write the items' state and progress; the tick only
// reads them (through the window).
class ListConversionRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickIntervalMs = 500;
    // Conversions queued per turn of the event loop while a run starts.
    static constexpr int kQueuedPerTurn = 1000;

    // The queue runs at most `width` conversions at once.
    explicit ListConversionRun(int width, QObject *parent = nullptr);
    // Cancels what still runs or waits and waits for the running encoders to stop.
    ~ListConversionRun() override;

    OperationQueue *queue() const { return m_queue.get(); }
    bool isConverting() const { return m_isConverting; }
    void setIsConverting(bool converting) { m_isConverting = converting; }

    // Queues one conversion per item, in order (each item goes back to pending at once, without
    // what its last conversion left on it; the conversions are queued a share per turn of the
    // event loop), and starts the tick. Items that leave the list meanwhile stay alive until
    // their conversion has ended. First removes the temporaries that killed programs left in
    // the output folder (and the kept folders below it the items go into).
    void start(const QList<LSMediaPtr> &items, const ConversionSettings &settings);
    // The same with the settings the preferences hold now.
    void start(const QList<LSMediaPtr> &items);
    // The settings of the run in progress, or of the last one.
    const ConversionSettings &settings() const { return m_settings; }

    // Ends the run early: running encoders are stopped (their items end "Canceled."), waiting
    // items go back to pending. The run then ends as usual once the encoders have exited. A
    // paused run goes on again after the stop, so that its held encoders act on it.
    void stop();

    // Holds the run: running encoders suspended, no new conversion started, the tally's clock
    // paused. resume() goes on.
    void pause();
    void resume();
    bool isPaused() const { return m_paused; }

    // The count of the run in progress, or of the last one (empty before the first).
    std::shared_ptr<RunTally> tally() const { return m_tally; }
    bool isStopping() const { return m_stopping; }
    // Cancels the conversions of `items` (rows leaving the list): a running encoder is stopped
    // and its temporary removed, a waiting one never starts.
    void cancelItems(const QList<LSMediaPtr> &items);

    // The items whose conversions are queued or running; their settings must not change.
    QSet<const LSMedia *> heldItems() const;

    // One tick: ticked(), then, when nothing waits or runs any more, the end of the run.
    void refreshTableProgress();

signals:
    // Every tick; the rows should be redrawn.
    void ticked();
    // The tick that found the queue empty (emitted once per run, after isConverting() turned
    // false).
    void runEnded();

private:
    void sweepThenQueue(const QList<LSMediaPtr> &items);
    void queueNextShare();
    void stopQueueing();

    std::unique_ptr<OperationQueue> m_queue;
    ConversionSettings m_settings;
    QList<LSMediaPtr> m_toQueue;     // the run's rows while they are being queued
    qsizetype m_queued = 0;          // rows of m_toQueue handled so far
    QSet<const LSMedia *> m_leaving; // rows removed before they were queued
    QTimer *m_timer = nullptr;
    bool m_isConverting = false;
    bool m_stopping = false;
    bool m_paused = false;
    std::shared_ptr<RunTally> m_tally;
    std::thread m_sweeper; // clears stale temporaries before a run's first conversion
    quint64 m_sweeps = 0;  // sweeps started; only the latest one queues its run
};
