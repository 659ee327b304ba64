#include "mainwindow/MyTableView.h"

#include "Shared/Logging.h"
#include "mainwindow/JKDropInTipsView.h"
#include "mainwindow/ViewResizing.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {

// X keysyms of the keys the list reacts to, for events that carry none (synthetic ones).
constexpr quint16 kKeysymDelete = 0xffff;
constexpr quint16 kKeysymBackSpace = 0xff08;
constexpr quint16 kKeysymSpace = 0x0020;

} // namespace

MyTableView::MyTableView(QWidget *parent)
    : QTableView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(true);
    // A list of whole rows, read-only, several of which may be chosen.
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
}

MyTableView::~MyTableView() = default;

void MyTableView::reloadData()
{
    // The model announces its own changes; this only makes sure every visible cell is redrawn.
    viewport()->update();
    refreshState(false);
    if (m_reloadDelegate)
        m_reloadDelegate->tableViewReloaded(this);
}

void MyTableView::refreshState(bool highlighted)
{
    QWidget *area = viewport();
    if (!m_dropTipView) {
        m_dropTipView = new JKDropInTipsView(area);
        m_dropTipView->setGeometry(area->rect());
        ViewResizing::fixWidth(m_dropTipView, false);
        ViewResizing::fixHeight(m_dropTipView, false);
        m_dropTipView->setStrPromot(tr("library_drag_tip"));
        // Drags and clicks go to the list underneath.
        m_dropTipView->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_dropTipView->hide();
    }
    m_dropTipView->setGeometry(area->rect());
    m_dropTipView->setBHighlighted(highlighted);
    const bool empty = !model() || model()->rowCount() == 0;
    if (empty) {
        m_dropTipView->show();
        m_dropTipView->raise();
        m_dropTipView->update();
    } else {
        m_dropTipView->hide();
    }
}

MyTableViewDropPosition MyTableView::dropPositionAt(const QPoint &viewportPos) const
{
    const int rows = model() ? model()->rowCount() : 0;
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid())
        return {rows, false};
    const QRect rect = visualRect(index);
    // The bands at a row's top and bottom edges mean "between rows"; the rest is "onto the row".
    const int margin = qBound(2, qRound(rect.height() / 5.5), 12);
    if (viewportPos.y() - rect.top() < margin)
        return {index.row(), false};
    if (rect.bottom() - viewportPos.y() < margin)
        return {index.row() + 1, false};
    return {index.row(), true};
}

QStringList MyTableView::localFilePaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

QList<int> MyTableView::selectedRowNumbers() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows << index.row();
    return rows;
}

int MyTableView::rowToActOn() const
{
    const QList<int> rows = selectedRowNumbers();
    if (rows.isEmpty())
        return -1;
    const int current = selectionModel()->currentIndex().row();
    return selectionModel()->isRowSelected(current, QModelIndex()) ? current : rows.last();
}

void MyTableView::selectOnly(int row)
{
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->select(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

quint16 MyTableView::keyCodeOf(const QKeyEvent *event)
{
    if (event->nativeVirtualKey() != 0)
        return quint16(event->nativeVirtualKey());
    switch (event->key()) {
    case Qt::Key_Delete:
        return kKeysymDelete;
    case Qt::Key_Backspace:
        return kKeysymBackSpace;
    case Qt::Key_Space:
        return kKeysymSpace;
    default:
        return quint16(event->key());
    }
}

void MyTableView::keyPressEvent(QKeyEvent *event)
{
    qCInfo(lcMainWindow).noquote() << QStringLiteral("key down...:%1").arg(keyCodeOf(event));
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (m_reloadDelegate)
            m_reloadDelegate->deleteFileDown(this);
        event->accept();
        return;
    case Qt::Key_Space:
        if (m_reloadDelegate)
            m_reloadDelegate->spaceKeyDown(this);
        event->accept();
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

void MyTableView::validateDrag(QDropEvent *event)
{
    const MyTableViewDropPosition position = dropPositionAt(event->position().toPoint());
    const Qt::DropAction action =
        m_dropDelegate ? m_dropDelegate->validateDrop(this, event->mimeData(), position)
                       : Qt::IgnoreAction;
    setDropIndicatorRow(action == Qt::IgnoreAction ? -1 : position.row);
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void MyTableView::setDropIndicatorRow(int row)
{
    if (row == m_dropIndicatorRow)
        return;
    m_dropIndicatorRow = row;
    viewport()->update();
}

void MyTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    const int rows = model() ? model()->rowCount() : 0;
    if (m_dropIndicatorRow < 0 || rows == 0)
        return;
    // A line where the files would be inserted: above that row, or under the last one.
    const int y = m_dropIndicatorRow < rows ? rowViewportPosition(m_dropIndicatorRow)
                                            : rowViewportPosition(rows - 1) + rowHeight(rows - 1);
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

void MyTableView::dragEnterEvent(QDragEnterEvent *event)
{
    validateDrag(event);
    // A file drag that enters onto a row is still let in, so that moving it between rows can
    // be accepted.
    if (event->mimeData() && event->mimeData()->hasUrls())
        event->accept();
}

void MyTableView::dragMoveEvent(QDragMoveEvent *event)
{
    // The base class starts the auto-scroll near the edges of a long list; the verdict on the
    // drop is ours.
    QTableView::dragMoveEvent(event);
    validateDrag(event);
}

void MyTableView::dragLeaveEvent(QDragLeaveEvent *event)
{
    QTableView::dragLeaveEvent(event);
    setDropIndicatorRow(-1);
    refreshState(false);
}

void MyTableView::dropEvent(QDropEvent *event)
{
    stopAutoScroll();
    setDropIndicatorRow(-1);
    const MyTableViewDropPosition position = dropPositionAt(event->position().toPoint());
    const bool taken =
        m_dropDelegate && m_dropDelegate->acceptDrop(this, event->mimeData(), position);
    if (taken) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}
