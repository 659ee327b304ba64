#pragma once

#include "Shared/InputCollector.h"
#include "model/LSMedia.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <vector>

class QThread;

// Turns named paths into media items off the GUI thread: each batch (one drop or import) gets a
// thread of its own that chooses the accepted input files (InputCollector: folders listed, links
// followed), creates, probes and fills the items from the format catalogue and the preferences
// (a large batch with the help of a second thread), and hands them to the GUI thread in order, a
// few at a time, together with what it refused and why.
//
// Thread: construct, call load() and destroy on the GUI thread; the signals arrive there.
// Destroying the loader stops its threads after the item they are on and waits for them.
class MediaLoader : public QObject
{
    Q_OBJECT

public:
    explicit MediaLoader(QObject *parent = nullptr);
    ~MediaLoader() override;

    // Starts a thread that loads the files `paths` name, in order; returns at once.
    void load(const QStringList &paths);

    // Batches whose threads have not finished yet.
    int pendingBatches() const { return m_pendingBatches; }

signals:
    // The next items of a batch, in the batch's order.
    void itemsLoaded(const QList<LSMediaPtr> &items);
    // Paths of a batch that were not taken, with the reasons; before its first items.
    void inputsRefused(const QList<InputRefusal> &refused);
    // A batch has handed over its last item.
    void batchFinished();

private:
    void run(const QStringList &paths);
    void reapFinishedThreads();

    std::vector<QThread *> m_threads;
    std::atomic<bool> m_stopping{false};
    int m_pendingBatches = 0;
};
