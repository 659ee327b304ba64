#pragma once

#include "model/LSMedia.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <vector>

class QThread;

// Turns accepted paths into media items off the GUI thread: each batch (one drop or import) gets
// a thread of its own that lists the supported files of its folders, creates, probes and fills
// the items from the format catalogue and the preferences (a large batch with the help of a
// second thread), and hands them to the GUI thread in order, a few at a time.
//
// Thread: construct, call load() and destroy on the GUI thread; the signals arrive there.
// Destroying the loader stops its threads after the item they are on and waits for them.
class MediaLoader : public QObject
{
    Q_OBJECT

public:
    // A file to load, or a folder whose supported files (at any depth) are loaded.
    struct Source
    {
        QString path;
        bool isFolder = false;
    };

    explicit MediaLoader(QObject *parent = nullptr);
    ~MediaLoader() override;

    // Starts a thread that loads `sources` in order; returns at once.
    void load(const QList<Source> &sources);

    // Batches whose threads have not finished yet.
    int pendingBatches() const { return m_pendingBatches; }

signals:
    // The next items of a batch, in the batch's order.
    void itemsLoaded(const QList<LSMediaPtr> &items);
    // A batch has handed over its last item.
    void batchFinished();

private:
    void run(const QList<Source> &sources);
    void reapFinishedThreads();

    std::vector<QThread *> m_threads;
    std::atomic<bool> m_stopping{false};
    int m_pendingBatches = 0;
};
