#include "net/gui/AppGotoCell.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

AppGotoCell::AppGotoCell(QObject *parent)
    : QStyledItemDelegate(parent)
{}

QString AppGotoCell::title() const
{
    return tr("View in Appstore");
}

QRect AppGotoCell::buttonRect(const QRect &cell)
{
    const int height = qMin(cell.height() - 8, 30);
    const int width = cell.width() - 12;
    return QRect(cell.x() + 6, cell.y() + (cell.height() - height) / 2, width, height);
}

void AppGotoCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    QStyleOptionButton button;
    button.rect = buttonRect(option.rect);
    button.text = title();
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    if (m_pressed == index)
        button.state |= QStyle::State_Sunken;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
}

QSize AppGotoCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QFontMetrics metrics(option.font);
    return QSize(metrics.horizontalAdvance(title()) + 40, metrics.height() + 16);
}

bool AppGotoCell::editorEvent(QEvent *event, QAbstractItemModel *model,
                              const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const bool inside = buttonRect(option.rect).contains(mouse->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = inside && mouse->button() == Qt::LeftButton ? index : QModelIndex();
        return false; // the view still selects the row
    }
    const bool wasPressed = m_pressed == index;
    m_pressed = QModelIndex();
    if (wasPressed && inside) {
        emit clicked(index);
        return true;
    }
    return false;
}
