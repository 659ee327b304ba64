#include "mainwindow/MediaListModel.h"

#include "model/OutputFormat.h"

#include "Shared/GlobalFun.h"
#include "Shared/NaturalOrder.h"
#include "Shared/PathText.h"

#include "mainwindow/ProgressItemDelegate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

int MediaListModel::naturalCompare(QStringView a, QStringView b)
{
    return NaturalOrder::compareNames(a, b);
}

MediaListModel::MediaListModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

int MediaListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_aryItems.size());
}

int MediaListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MediaListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_aryItems.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return cellText(*m_aryItems.at(index.row()), columnIdentifier(index.column()));
    const LSMedia &media = *m_aryItems.at(index.row());
    if (role == Qt::ToolTipRole && index.column() == TitleColumn)
        return media.filePath();
    if (index.column() != ProgressColumn)
        return QVariant();
    switch (role) {
    case Qt::ToolTipRole: {
        const QString note = noteText(media);
        return note.isEmpty() ? QVariant() : QVariant(note);
    }
    case Qt::DecorationRole:
        return noteIcon(media);
    case ProgressItemDelegate::kProgressRole:
        if (media.eumCvtState() == LSMedia::CvtStateConverting && std::isfinite(media.dProgress()))
            return double(media.dProgress());
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant MediaListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TitleColumn:
        return QCoreApplication::translate("MediaListModel", "File");
    case DurationColumn:
        return QCoreApplication::translate("MediaListModel", "Duration");
    case FormatColumn:
        return QCoreApplication::translate("MediaListModel", "Format");
    case ProgressColumn:
        return QCoreApplication::translate("MediaListModel", "Progress");
    default:
        return QVariant();
    }
}

void MediaListModel::sort(int column, Qt::SortOrder order)
{
    if (m_aryItems.size() < 2 || column < 0 || column >= ColumnCount)
        return;
    const auto less = [&](const LSMediaPtr &a, const LSMediaPtr &b) {
        switch (column) {
        case DurationColumn:
            return a->duration() < b->duration();
        case ProgressColumn:
            return a->eumCvtState() < b->eumCvtState();
        case FormatColumn:
            return a->strOutFileExt().compare(b->strOutFileExt(), Qt::CaseInsensitive) < 0;
        default:
            return naturalCompare(PathText::lastComponent(a->filePath()),
                                  PathText::lastComponent(b->filePath())) < 0;
        }
    };

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Rows are sorted as their old numbers, so selections and the current row can follow.
    QList<int> oldRows(m_aryItems.size());
    std::iota(oldRows.begin(), oldRows.end(), 0);
    std::stable_sort(oldRows.begin(), oldRows.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? less(m_aryItems.at(a), m_aryItems.at(b))
                                           : less(m_aryItems.at(b), m_aryItems.at(a));
    });
    QList<int> newRowOf(oldRows.size());
    QList<LSMediaPtr> sorted;
    sorted.reserve(m_aryItems.size());
    for (int row = 0; row < oldRows.size(); ++row) {
        newRowOf[oldRows.at(row)] = row;
        sorted.append(m_aryItems.at(oldRows.at(row)));
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newRowOf.at(index.row()), index.column()));
    m_aryItems = sorted;
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

LSMediaPtr MediaListModel::itemAt(int row) const
{
    if (row < 0 || row >= m_aryItems.size())
        return nullptr;
    return m_aryItems.at(row);
}

int MediaListModel::insertItems(int row, const QList<LSMediaPtr> &items)
{
    const int at = std::clamp(row, 0, int(m_aryItems.size()));
    if (items.isEmpty())
        return at;
    beginInsertRows(QModelIndex(), at, at + int(items.size()) - 1);
    m_aryItems.insert(at, items.size(), nullptr);
    std::copy(items.cbegin(), items.cend(), m_aryItems.begin() + at);
    for (const LSMediaPtr &media : items)
        m_totalDuration += durationOf(*media);
    // Points after the row move down with their rows; one at the row stays before the new rows,
    // so that a batch arriving there does not push another one's next rows away from its last.
    for (int &point : m_points) {
        if (point > at)
            point += int(items.size());
    }
    endInsertRows();
    return at;
}

int MediaListModel::openInsertionPoint(int row)
{
    const int point = m_nextPoint++;
    m_points.insert(point, std::clamp(row, 0, int(m_aryItems.size())));
    return point;
}

int MediaListModel::insertAtPoint(int point, const QList<LSMediaPtr> &items)
{
    const auto found = m_points.find(point);
    if (found == m_points.end())
        return insertItems(int(m_aryItems.size()), items);
    const int at = insertItems(found.value(), items);
    m_points[point] = at + int(items.size());
    return at;
}

void MediaListModel::closeInsertionPoint(int point)
{
    m_points.remove(point);
}

void MediaListModel::shiftPointsForRemoval(int first, int last)
{
    const int count = last - first + 1;
    for (int &point : m_points) {
        if (point > last)
            point -= count;
        else if (point > first)
            point = first;
    }
}

void MediaListModel::removeItemsAtRows(const QList<int> &rows)
{
    QList<int> sorted;
    for (int row : rows) {
        if (row >= 0 && row < m_aryItems.size())
            sorted << row;
    }
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    if (sorted.isEmpty())
        return;
    // Contiguous runs of rows, top down.
    QList<std::pair<int, int>> runs;
    for (int row : std::as_const(sorted)) {
        if (!runs.isEmpty() && runs.last().second == row - 1)
            runs.last().second = row;
        else
            runs.append({row, row});
    }
    if (runs.size() > kMaxRemovedRuns) {
        // Many scattered rows: one pass over the list instead of one shift of the rest per run.
        beginResetModel();
        std::vector<bool> removed(size_t(m_aryItems.size()), false);
        for (int row : std::as_const(sorted))
            removed[size_t(row)] = true;
        // Each point moves up by the number of removed rows above it.
        std::vector<int> removedAbove(size_t(m_aryItems.size()) + 1, 0);
        qsizetype kept = 0;
        for (qsizetype i = 0; i < m_aryItems.size(); ++i) {
            removedAbove[size_t(i) + 1] = removedAbove[size_t(i)] + (removed[size_t(i)] ? 1 : 0);
            if (!removed[size_t(i)])
                m_aryItems[kept++] = std::move(m_aryItems[i]);
        }
        m_aryItems.resize(kept);
        for (int &point : m_points)
            point -= removedAbove[size_t(point)];
        recountTotalDuration();
        endResetModel();
        return;
    }
    // From the bottom up, so that earlier rows keep their index.
    for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
        beginRemoveRows(QModelIndex(), run->first, run->second);
        m_aryItems.remove(run->first, run->second - run->first + 1);
        shiftPointsForRemoval(run->first, run->second);
        endRemoveRows();
    }
    recountTotalDuration();
}

void MediaListModel::removeAllItems()
{
    if (m_aryItems.isEmpty())
        return;
    beginResetModel();
    m_aryItems.clear();
    m_totalDuration = 0.0;
    for (int &point : m_points)
        point = 0;
    endResetModel();
}

void MediaListModel::refreshAll()
{
    if (m_aryItems.isEmpty())
        return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

double MediaListModel::durationOf(const LSMedia &media)
{
    const double seconds = media.duration();
    return std::isfinite(seconds) ? seconds : 0.0;
}

// After removals the total is summed afresh (removing is linear anyway), so that rounding does
// not pile up over many insertions and removals.
void MediaListModel::recountTotalDuration()
{
    m_totalDuration = 0.0;
    for (const LSMediaPtr &media : std::as_const(m_aryItems))
        m_totalDuration += durationOf(*media);
}

QString MediaListModel::columnIdentifier(int column)
{
    switch (column) {
    case TitleColumn:
        return QStringLiteral("title");
    case DurationColumn:
        return QStringLiteral("duration");
    case FormatColumn:
        return QStringLiteral("format");
    case ProgressColumn:
        return QStringLiteral("progress");
    default:
        return QString();
    }
}

QString MediaListModel::cellText(const LSMedia &media, const QString &identifier)
{
    if (identifier == QLatin1String("title"))
        return PathText::lastComponent(media.filePath());
    if (identifier == QLatin1String("duration"))
        return GlobalFun::getTimeStringBySecond(media.duration());
    if (identifier == QLatin1String("format")) {
        const OutputFormat *format = OutputFormat::withTitle(media.strFmtName());
        return format ? format->columnLabel() : media.strOutFileExt().toUpper();
    }
    if (identifier == QLatin1String("progress"))
        return progressText(media.eumCvtState(), media.dProgress());
    return QString();
}

MediaListModel::Note MediaListModel::noteKind(const LSMedia &media)
{
    const qint32 state = media.eumCvtState();
    if ((state == LSMedia::CvtStateCanceled || state == LSMedia::CvtStateFailed) &&
        !media.failureReason().isEmpty())
        return Note::Failed;
    if (state == LSMedia::CvtStateFinished && !media.strWarning().isEmpty())
        return Note::Warning;
    if (state != LSMedia::CvtStateFinished && state != LSMedia::CvtStateUpToDate &&
        !media.strInputProblem().isEmpty())
        return Note::WillFail;
    return Note::None;
}

QString MediaListModel::noteText(const LSMedia &media)
{
    switch (noteKind(media)) {
    case Note::Failed:
        return QCoreApplication::translate("MediaListModel", "Failed: %1")
            .arg(media.failureReason());
    case Note::Warning:
        return QCoreApplication::translate("MediaListModel", "Finished with a warning: %1")
            .arg(media.strWarning());
    case Note::WillFail:
        return QCoreApplication::translate("MediaListModel", "Will not convert: %1")
            .arg(media.strInputProblem());
    case Note::None:
        break;
    }
    return QString();
}

QVariant MediaListModel::noteIcon(const LSMedia &media)
{
    QStyle *style = QApplication::style();
    switch (noteKind(media)) {
    case Note::Failed:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case Note::Warning:
    case Note::WillFail:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case Note::None:
        break;
    }
    return QVariant();
}

QString MediaListModel::progressText(qint32 state, float progress)
{
    // The state texts are compared as they are spelled; the row shows the English table's words.
    if (state == LSMedia::CvtStateSyncing)
        return tr("Syncing to iTunes...");
    return LSMedia::progressText(state, progress);
}

QString MediaListModel::statusText(qsizetype count, double totalSeconds)
{
    if (count <= 0)
        return QString();
    // A format with the count first and the total duration second; without a translation the
    // key shows as itself, so only the markers that are there are filled in.
    QString text = QCoreApplication::translate("MediaListModel", "StatusBarInfo");
    text.replace(QLatin1String("%1"), QString::number(quint64(count)));
    text.replace(QLatin1String("%2"), GlobalFun::getTimeStringBySecond(totalSeconds));
    return text;
}

void MediaListModel::arrangeColumns(QTableView *view)
{
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView *header = view->horizontalHeader();
    header->setSectionResizeMode(TitleColumn, QHeaderView::Stretch);
    header->resizeSection(DurationColumn, 90);
    header->resizeSection(FormatColumn, 70);
    header->resizeSection(ProgressColumn, 140);
    // Clicking a header sorts the rows themselves; a run converts them in the order shown.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
}
