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

// Turns named paths into media items off the calling thread, for the window and wavelark-cli
// alike: each batch (a drop, an import, the paths of one command line) gets a thread of its own
// that chooses the accepted input files (InputCollector: folders listed, links followed),
// creates, probes and fills the items from the format catalogue and the batch's settings (a
// large batch with the help of a second thread), and hands them over in order, after what it
// refused and why and which files it took. The first items go over at once, later ones at most
// every kHandOverIntervalMs, so a folder of 100,000 files costs the receiving thread a hundred or
// so insertions rather than thousands.
//
// Thread: construct, call load() and stop() and destroy on one thread with an event loop (the
// GUI thread of the window, the main thread of wavelark-cli); the signals arrive there.
// Destroying the loader stops its threads after the item they are on and waits for them.
class MediaLoader : public QObject
{
    Q_OBJECT

public:
    explicit MediaLoader(QObject *parent = nullptr);
    ~MediaLoader() override;

    static constexpr int kHandOverIntervalMs = 100;
    static constexpr int kRefusalsPerHandOver = 1000;

    // Starts a thread that loads the files `paths` name, in order, filling the items as
    // `settings` say (the preferences when the drop or import came); returns at once. The
    // signals of this batch carry `batch`.
    void load(const QStringList &paths, const ConversionSettings &settings, int batch = 0);

    // Whether the loading threads run at nice 10, below the window's redraws (the default).
    // wavelark-cli, whose encoders run at the normal priority, probes at that priority too.
    void setLowPriority(bool low) { m_lowPriority = low; }

    // Batches whose threads have not finished yet.
    int pendingBatches() const { return m_pendingBatches; }

    // Stops every batch after the item it is on, for good: nothing more is listed or probed (a
    // later load() finds nothing), and what was probed already is still handed over, followed by
    // batchFinished().
    void stop() { m_stopping = true; }

    // The items as the receiving thread keeps them: copies made there with their own per-file
    // texts, carrying every field (LSMedia::copy()).
    static QList<LSMediaPtr> settled(const QList<LSMediaPtr> &items);

signals:
    // The next items of a batch, in the batch's order.
    void itemsLoaded(int batch, const QList<LSMediaPtr> &items);
    // Paths of a batch that were not taken, with the reasons, in order and in parts of at most
    // kRefusalsPerHandOver; before its first items, and only when there are some.
    void inputsRefused(const QList<InputRefusal> &refused);
    // The named paths of a batch that are folders (InputCollector's AcceptedInputs::folders);
    // before inputsAccepted(), and only when there are some.
    void foldersNamed(int batch, const QStringList &folders);
    // The files a batch took, in order, with the named path that led to each (its source root);
    // after inputsRefused() and before the first items, also when none was taken.
    void inputsAccepted(int batch, const QStringList &files, const QStringList &roots);
    // A batch has handed over its last item.
    void batchFinished(int batch);

private:
    void run(const QStringList &paths, const ConversionSettings &settings, int batch,
             bool lowPriority);
    // Linux keeps the nice value per thread: the probing threads run below the window's.
    static void lowerThisThreadsPriority();
    void reapFinishedThreads();

    std::vector<QThread *> m_threads;
    std::atomic<bool> m_stopping{false};
    bool m_lowPriority = true;
    int m_pendingBatches = 0;
};
