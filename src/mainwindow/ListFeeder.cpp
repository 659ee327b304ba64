#include "mainwindow/ListFeeder.h"

#include "Shared/Logging.h"
#include "engine/MediaLoader.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/MyTableView.h"
#include "mainwindow/ProblemBar.h"
#include "model/ConversionSettings.h"
#include "model/TrustedFolders.h"

#include <QHeaderView>
#include <QUrl>

ListFeeder::ListFeeder(MediaListModel *model, MyTableView *view, ProblemBar *problems,
                       QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_view(view)
    , m_problems(problems)
{
    m_loader = new MediaLoader(this);
    connect(m_loader, &MediaLoader::itemsLoaded, this, &ListFeeder::insertLoadedItems);
    connect(m_loader, &MediaLoader::inputsRefused, this, &ListFeeder::reportRefusals);
    // A folder named in a drop or import (or a link to one) becomes a trusted folder.
    connect(m_loader, &MediaLoader::foldersNamed, this, [](int, const QStringList &folders) {
        for (const QString &folder : folders)
            TrustedFolders::record(QUrl::fromLocalFile(folder));
    });
    connect(m_loader, &MediaLoader::batchFinished, this, &ListFeeder::endBatch);
}

ListFeeder::~ListFeeder()
{
    // The loading threads end before the list they fill goes.
    delete m_loader;
}

int ListFeeder::pendingLoads() const
{
    return m_loader->pendingBatches();
}

void ListFeeder::load(const QStringList &paths, qint64 row)
{
    // Choosing the files (folders listed, links followed) happens on the loader's thread, so a
    // large folder does not hold up the window. Each batch keeps an insertion point of its own:
    // a second drop while a large folder still loads must not split the first one.
    const int batch = m_model->openInsertionPoint(int(qBound<qint64>(0, row, qint64(INT_MAX))));
    m_loader->load(paths, ConversionSettings::current(), batch);
}

void ListFeeder::insertLoadedItems(int batch, const QList<LSMediaPtr> &items)
{
    m_model->insertAtPoint(batch, items);
    // New rows land where they were dropped: the list is no longer sorted by a column.
    m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    QList<ProblemBar::Problem> problems;
    for (const LSMediaPtr &media : items) {
        const QString problem = media->strInputProblem();
        if (!problem.isEmpty())
            problems.append({media->filePath(), problem, true});
    }
    m_problems->addProblems(problems);
    emit itemsInserted();
}

void ListFeeder::reportRefusals(const QList<InputRefusal> &refusedAsIs)
{
    // A file of another kind is named with how it would be taken.
    QList<InputRefusal> refused = refusedAsIs;
    for (InputRefusal &refusal : refused) {
        if (refusal.otherKind)
            refusal.reason = tr("%1; to convert it, turn on \"Also convert other audio files\" "
                                "in the preferences")
                                 .arg(refusal.reason);
    }
    QList<ProblemBar::Problem> problems;
    problems.reserve(refused.size());
    for (const InputRefusal &refusal : std::as_const(refused))
        problems.append({refusal.path, refusal.reason});
    m_problems->addProblems(problems);

    // A hand-over of many thousand paths would flood the log (and the journal, where a desktop
    // start sends it) line by line: the first few of each part are named, the rest counted.
    const qsizetype named = qMin<qsizetype>(refused.size(), kLoggedRefusals);
    for (qsizetype i = 0; i < named; ++i) {
        qCInfo(lcMainWindow).noquote()
            << QStringLiteral("skipped %1: %2").arg(refused.at(i).path, refused.at(i).reason);
    }
    if (refused.size() > named) {
        qCInfo(lcMainWindow).noquote()
            << QStringLiteral("skipped %1 more paths").arg(refused.size() - named);
    }
    emit inputsRefused(refused);
}

void ListFeeder::endBatch(int batch)
{
    m_model->closeInsertionPoint(batch);
    emit batchEnded();
    if (m_loader->pendingBatches() == 0)
        emit loadingFinished();
}
