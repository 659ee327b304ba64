#pragma once

#include "RecordingWorkspace.h"
#include "Shared/Workspace.h"
#include "TestEnvironment.h"
#include "WidgetTestMain.h"
#include "mainwindow/MyTableView.h"
#include "mainwindow/Translations.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QTest>
#include <QUrl>

// What a synthetic drag did at one place of the list.
struct DropOutcome
{
    bool hoverAccepted = false; // the drag move was accepted
    bool dropAccepted = false;
};

// Drags `paths` over the list's viewport to `pos` and drops them there, as a file manager would.
inline DropOutcome dropPaths(MyTableView *view, const QStringList &paths, const QPoint &pos)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    DropOutcome outcome;
    // The application hands moves and the drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    outcome.hoverAccepted = move.isAccepted();
    if (!enter.isAccepted())
        return outcome;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    outcome.dropAccepted = drop.isAccepted();
    return outcome;
}

// Drags `mime` into the list at `pos` and hovers there; answers whether the hover was accepted.
inline bool hover(MyTableView *view, const QMimeData *mime, const QPoint &pos)
{
    QDragEnterEvent enter(pos, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    return move.isAccepted();
}

// Where to drop for "between rows, above `row`": just inside the row's top edge.
inline QPoint aboveRow(MyTableView *view, int row)
{
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    return QPoint(rect.center().x(), rect.top() + 1);
}

inline QPoint ontoRow(MyTableView *view, int row)
{
    return view->visualRect(view->model()->index(row, 0)).center();
}
