#pragma once

#include "model/LSMedia.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the conversion list: one item per row, in display order, held by shared ownership
// (a conversion keeps its item alive after the row is gone). Every text is computed from the
// items when it is asked for, so a repaint shows their current state and progress.
// Thread: main thread (the items' state and progress are written by conversions elsewhere).
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
    // Removes the rows at `rows` (duplicates and rows out of range are ignored).
    void removeItemsAtRows(const QList<int> &rows);
    void removeAllItems();
    // Tells the views that every cell may have changed (states and progress move on their own).
    void refreshAll();

    // Orders names as people count: digit runs by their value ("2" before "10"), the rest
    // without regard to case. Negative, 0 or positive.
    static int naturalCompare(QStringView a, QStringView b);

    // The sum of every item's duration, in seconds.
    double totalDuration() const;

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
    static QString statusText(qsizetype count, double totalSeconds);

private:
    QList<LSMediaPtr> m_aryItems;
};
