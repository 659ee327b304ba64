#include "mainwindow/ListCommands.h"

#include "mainwindow/MediaListModel.h"
#include "mainwindow/MyTableView.h"
#include "mainwindow/ProblemBar.h"
#include "mainwindow/RunController.h"
#include "model/ConversionSettings.h"
#include "model/MediaItemBuilder.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QMenu>

#include <algorithm>

ListCommands::ListCommands(MediaListModel *model, MyTableView *view, ProblemBar *problems,
                           RunController *run, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_view(view)
    , m_problems(problems)
    , m_run(run)
{}

void ListCommands::deleteSelection()
{
    const QList<int> rows = m_view->selectedRowNumbers();
    if (rows.isEmpty())
        return;
    const QList<LSMediaPtr> removed = selectedItems();
    m_model->removeItemsAtRows(rows);
    removeItems(removed);
    if (m_model->rowCount() > 0)
        m_view->selectOnly(qMax(*std::min_element(rows.begin(), rows.end()) - 1, 0));
    emit rowsRemoved();
}

void ListCommands::clear()
{
    const QList<LSMediaPtr> removed = m_model->items();
    m_model->removeAllItems();
    removeItems(removed);
    m_problems->dismiss();
    emit rowsRemoved();
}

void ListCommands::removeListedWithProblems(const QStringList &paths)
{
    const QSet<QString> named(paths.cbegin(), paths.cend());
    QList<int> rows;
    QList<LSMediaPtr> removed;
    const QList<LSMediaPtr> &items = m_model->items();
    for (int row = 0; row < items.size(); ++row) {
        const LSMediaPtr &media = items.at(row);
        if (!media->strInputProblem().isEmpty() && named.contains(media->filePath())) {
            rows << row;
            removed << media;
        }
    }
    m_model->removeItemsAtRows(rows);
    removeItems(removed);
    emit rowsRemoved();
}

// Nothing of a removed row's conversion reaches the output folder or the playlist.
void ListCommands::removeItems(const QList<LSMediaPtr> &items)
{
    m_run->cancelItems(items);
    for (const LSMediaPtr &media : items)
        m_formatSetByHand.remove(media.get());
}

QMenu *ListCommands::outputFormatMenu(QWidget *parent)
{
    auto *formats = new QMenu(parent);
    for (const OutputFormat &format : OutputFormat::all()) {
        QAction *choice = formats->addAction(format.paneLabel());
        const QString title = format.catalogueTitle();
        connect(choice, &QAction::triggered, this,
                [this, title] { setOutputFormatOfSelection(title); });
    }
    return formats;
}

void ListCommands::setOutputFormatOfSelection(const QString &title)
{
    const ConversionSettings settings = ConversionSettings::current();
    for (const LSMediaPtr &media : waitingAmong(selectedItems())) {
        MediaItemBuilder::setOutputFormat(*media, title, settings);
        m_formatSetByHand.insert(media.get());
    }
    emit rowsChanged();
}

QList<LSMediaPtr> ListCommands::waitingItems() const
{
    QList<LSMediaPtr> waiting = waitingAmong(m_model->items());
    if (!m_formatSetByHand.isEmpty()) {
        waiting.removeIf(
            [this](const LSMediaPtr &media) { return m_formatSetByHand.contains(media.get()); });
    }
    return waiting;
}

QList<LSMediaPtr> ListCommands::waitingAmong(const QList<LSMediaPtr> &items) const
{
    const QSet<const LSMedia *> held = m_run->heldItems();
    QList<LSMediaPtr> waiting;
    for (const LSMediaPtr &media : items) {
        if (media->eumCvtState() == LSMedia::CvtStatePending && !held.contains(media.get()))
            waiting.append(media);
    }
    return waiting;
}

QList<LSMediaPtr> ListCommands::selectedItems() const
{
    QList<LSMediaPtr> selected;
    for (const int row : m_view->selectedRowNumbers()) {
        if (const LSMediaPtr media = m_model->itemAt(row))
            selected.append(media);
    }
    return selected;
}

QList<LSMediaPtr> ListCommands::itemsToConvert() const
{
    if (!UserDefaults::standard().boolForKey(PrefKeys::AppSkipFinished))
        return m_model->items();
    QList<LSMediaPtr> unfinished;
    for (const LSMediaPtr &media : m_model->items()) {
        if (media->eumCvtState() != LSMedia::CvtStateFinished)
            unfinished.append(media);
    }
    return unfinished;
}
