#pragma once

#include "mainwindow/JKDropInTipsView.h"

#include <QPointer>
#include <QTableView>

class MyTableView;
class QMimeData;

// What the list view reports back to its controller.
class MyTableViewDelegate
{
public:
    virtual ~MyTableViewDelegate() = default;
    // The Delete (or BackSpace) key.
    virtual void deleteFileDown(MyTableView *tableView) = 0;
    // The Space bar.
    virtual void spaceKeyDown(MyTableView *tableView) = 0;
    // After every reloadData().
    virtual void tableViewReloaded(MyTableView *tableView) = 0;
};

// Where a drag hovers or drops: between rows (the row the files would be inserted at, the row
// count for "after the last row") or onto a row.
struct MyTableViewDropPosition
{
    int row = 0;
    bool onRow = false;
};

// Judges and takes the files dragged onto the list.
class MyTableViewDropDelegate
{
public:
    virtual ~MyTableViewDropDelegate() = default;
    // The drop action to allow at `position`, or Qt::IgnoreAction to refuse.
    virtual Qt::DropAction validateDrop(MyTableView *tableView, const QMimeData *data,
                                        MyTableViewDropPosition position) = 0;
    virtual bool acceptDrop(MyTableView *tableView, const QMimeData *data,
                            MyTableViewDropPosition position) = 0;
};

// The file list: a table that reports reloads and the Delete and Space keys to its delegate,
// hands drags to its drop delegate, and shows the drop prompt while it has no rows.
// Thread: main thread.
class MyTableView : public QTableView
{
    Q_OBJECT

public:
    explicit MyTableView(QWidget *parent = nullptr);
    ~MyTableView() override;

    // Not owned; the delegates must outlive the view or be reset to null first.
    MyTableViewDelegate *reloadDelegate() const { return m_reloadDelegate; }
    void setReloadDelegate(MyTableViewDelegate *delegate) { m_reloadDelegate = delegate; }
    MyTableViewDropDelegate *dropDelegate() const { return m_dropDelegate; }
    void setDropDelegate(MyTableViewDropDelegate *delegate) { m_dropDelegate = delegate; }

    // Redraws the rows from the model, updates the prompt and tells the delegate.
    void reloadData();

    // Shows the prompt (highlighted or not) while the list is empty, hides it otherwise.
    void refreshState(bool highlighted);

    // The prompt, once the first refreshState() has created it.
    JKDropInTipsView *dropTipView() const { return m_dropTipView; }

    // Where a drop at `viewportPos` would land.
    MyTableViewDropPosition dropPositionAt(const QPoint &viewportPos) const;

    // The key code logged for a key press: the X keysym when the platform gives one.
    static quint16 keyCodeOf(const QKeyEvent *event);
    // The local files a drag carries, in its order.
    static QStringList localFilePaths(const QMimeData *data);

    // The selected rows, in the order they were selected.
    QList<int> selectedRowNumbers() const;
    // The row to act on for a single-row command: the current row when it is selected, else the
    // row selected last; -1 without a selection.
    int rowToActOn() const;
    // Selects `row` alone and makes it current without extending the selection.
    void selectOnly(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void validateDrag(QDropEvent *event);
    // The row above which a hovering drag would insert (the row count: below the last row);
    // -1 for none.
    void setDropIndicatorRow(int row);

    QPointer<JKDropInTipsView> m_dropTipView;
    MyTableViewDelegate *m_reloadDelegate = nullptr;
    MyTableViewDropDelegate *m_dropDelegate = nullptr;
    int m_dropIndicatorRow = -1;
};
