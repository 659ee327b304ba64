#pragma once

#include "model/LSMedia.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The rows of the conversion list: one item per row, in display order, held by shared ownership
// (a conversion keeps its item alive after the row is gone). Every text is computed from the
// items when it is asked for, so a repaint shows their current state and progress.
// Thread: main thread (the items' state and progress are written by conversions elsewhere).
class QTableView;

class MediaListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TitleColumn, DurationColumn, FormatColumn, ProgressColumn, ColumnCount };

    explicit MediaListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Reorders the items themselves, so a run converts them in the order shown: by name in
    // natural order (2 before 10, case-insensitive), by duration, by state or by output format.
    // Rows that compare equal keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const QList<LSMediaPtr> &items() const { return m_aryItems; }
    LSMediaPtr itemAt(int row) const;

    // Inserts `items` in order at `row` (clamped to the list); answers the row actually used.
    int insertItems(int row, const QList<LSMediaPtr> &items);

    // Insertion points of batches that arrive a part at a time (one per drop or import): each
    // follows the rows inserted and removed around it, so the parts of one batch stay together
    // and in order whatever else is added or removed meanwhile. Rows inserted exactly at another
    // batch's point go after it (that batch's next rows follow its last ones).
    int openInsertionPoint(int row);
    // Inserts `items` at the point and moves the point after them; answers the row used.
    int insertAtPoint(int point, const QList<LSMediaPtr> &items);
    void closeInsertionPoint(int point);
    // The row a point stands at; -1 for an unknown point.
    int insertionRow(int point) const { return m_points.value(point, -1); }
    // Removes the rows at `rows` (duplicates and rows out of range are ignored).
    void removeItemsAtRows(const QList<int> &rows);
    void removeAllItems();
    // Tells the views that every cell may have changed (states and progress move on their own).
    void refreshAll();

    // Orders names as people count: digit runs by their value ("2" before "10"), the rest
    // without regard to case. Negative, 0 or positive.
    static int naturalCompare(QStringView a, QStringView b);

    // The sum of every item's duration, in seconds; kept up to date by insertions and removals,
    // so the status line costs the same however long the list is.
    double totalDuration() const { return m_totalDuration; }

    // Column identifiers: "title", "duration", "format", "progress".
    static QString columnIdentifier(int column);
    // The text of the cell of `media` in the column named `identifier`; empty for other names.
    // The format cell names the output the row will get ("MP3", "M4A").
    static QString cellText(const LSMedia &media, const QString &identifier);
    // What the progress cell says beside its state: why a row failed, what a finished row's
    // warning is, why a waiting row will not convert.
    enum class Note { None, Failed, Warning, WillFail };
    static Note noteKind(const LSMedia &media);
    // The cell's tooltip for the note; empty without one.
    static QString noteText(const LSMedia &media);
    static QVariant noteIcon(const LSMedia &media);

    // The progress column's text for a state (and the progress shown while converting).
    static QString progressText(qint32 state, float progress);
    // The status line: empty for no items, else "StatusBarInfo" filled with the count and the
    // total duration.
    // Gives `view` the list's column widths, stretching the title, and lets its headers sort.
    static void arrangeColumns(QTableView *view);
    static QString statusText(qsizetype count, double totalSeconds);

private:
    // More separate runs of removed rows than this are removed in one pass and a reset.
    static constexpr int kMaxRemovedRuns = 32;

    static double durationOf(const LSMedia &media);
    void recountTotalDuration();

    void shiftPointsForRemoval(int first, int last);

    QList<LSMediaPtr> m_aryItems;
    double m_totalDuration = 0.0;
    QHash<int, int> m_points; // insertion point -> row
    int m_nextPoint = 1;
};
