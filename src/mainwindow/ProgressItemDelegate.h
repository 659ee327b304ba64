#pragma once

#include <QStyledItemDelegate>

// Draws the progress cell of a converting row as a progress bar carrying the same text
// ("12.5%"); every other cell as usual. The model answers the bar's value (0 to 100) for
// kProgressRole only while a row converts.
//
// Thread: main thread.
class ProgressItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kProgressRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
