#pragma once

#include <QModelIndex>
#include <QStyledItemDelegate>

// The store button drawn in every row of the product table's "button" column: a rounded push
// button titled "View in Appstore" (shown with the English table's words). A click on it reports
// its row through clicked(). Thread: main thread.
class AppGotoCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit AppGotoCell(QObject *parent = nullptr);

    QString title() const;
    // Where the button sits inside a cell.
    static QRect buttonRect(const QRect &cell);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

signals:
    void clicked(const QModelIndex &index);

private:
    QPersistentModelIndex m_pressed;
};
