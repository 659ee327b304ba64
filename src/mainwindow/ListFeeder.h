#pragma once

#include "Shared/InputCollector.h"
#include "model/LSMedia.h"

#include <QList>
#include <QObject>
#include <QStringList>

class MediaListModel;
class MediaLoader;
class MyTableView;
class ProblemBar;

// Brings files to the list: the paths of a drop, an import or a later start's hand-over are
// turned into rows off the GUI thread (MediaLoader), and each batch is inserted at the row it was
// dropped at, however the batches interleave. Named folders become trusted folders; what was not
// taken, and listed files that will fail, are named in the problem bar and the log.
//
// Thread: main thread. Destroying it stops the loading threads and waits for them.
class ListFeeder : public QObject
{
    Q_OBJECT

public:
    // Refused paths named one by one in the log, per part the loader hands over.
    static constexpr int kLoggedRefusals = 20;

    ListFeeder(MediaListModel *model, MyTableView *view, ProblemBar *problems,
               QObject *parent = nullptr);
    ~ListFeeder() override;

    // Has the files `paths` name loaded in order from `row` on; returns at once.
    void load(const QStringList &paths, qint64 row);
    // Batches still being loaded.
    int pendingLoads() const;

signals:
    // Rows were inserted.
    void itemsInserted();
    // A batch has handed over all it had.
    void batchEnded();
    // Paths that were not taken, and why.
    void inputsRefused(const QList<InputRefusal> &refused);
    // Every batch of a drop or import has been listed.
    void loadingFinished();

private:
    void insertLoadedItems(int batch, const QList<LSMediaPtr> &items);
    void reportRefusals(const QList<InputRefusal> &refusedAsIs);
    void endBatch(int batch);

    MediaListModel *m_model;
    MyTableView *m_view;
    ProblemBar *m_problems;
    MediaLoader *m_loader = nullptr;
};
