#pragma once

#include "Shared/InputCollector.h"
#include "model/ConversionSettings.h"
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
// (a large batch with the help of a second thread), and hands them to the GUI thread in order,
// together with what it refused and why. The first items go over at once, later ones at most
// every kHandOverIntervalMs, so a folder of 100,000 files costs the GUI thread a hundred or so
// insertions rather than thousands.
//
// Thread: construct, call load() and destroy on the GUI thread; the signals arrive there.
// Destroying the loader stops its threads after the item they are on and waits for them.
class MediaLoader : public QObject
{
    Q_OBJECT

public:
    explicit MediaLoader(QObject *parent = nullptr);
    ~MediaLoader() override;

    static constexpr int kHandOverIntervalMs = 100;

    // Starts a thread that loads the files `paths` name, in order, filling the items as
    // `settings` say (the preferences when the drop or import came); returns at once. The
    // signals of this batch carry `batch`.
    void load(const QStringList &paths, const ConversionSettings &settings, int batch = 0);

    // Batches whose threads have not finished yet.
    int pendingBatches() const { return m_pendingBatches; }

signals:
    // The next items of a batch, in the batch's order.
    void itemsLoaded(int batch, const QList<LSMediaPtr> &items);
    // Paths of a batch that were not taken, with the reasons; before its first items.
    void inputsRefused(const QList<InputRefusal> &refused);
    // A batch has handed over its last item.
    void batchFinished(int batch);

private:
    void run(const QStringList &paths, const ConversionSettings &settings, int batch);
    static QList<LSMediaPtr> settled(const QList<LSMediaPtr> &items);
    // Linux keeps the nice value per thread: the probing threads run below the window's.
    static void lowerThisThreadsPriority();
    void reapFinishedThreads();

    std::vector<QThread *> m_threads;
    std::atomic<bool> m_stopping{false};
    int m_pendingBatches = 0;
};
