#pragma once

#include "model/LSMedia.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>

class MediaListModel;
class MyTableView;
class ProblemBar;
class QMenu;
class QWidget;
class RunController;

// The commands on the list's rows and the questions about them: delete the selection, clear the
// list, take out the files the problem bar names, give selected rows an output format by hand;
// which rows wait for a run and which a start converts. Rows that leave the list take their
// conversions with them.
//
// Thread: main thread.
class ListCommands : public QObject
{
    Q_OBJECT

public:
    ListCommands(MediaListModel *model, MyTableView *view, ProblemBar *problems, RunController *run,
                 QObject *parent = nullptr);

    void deleteSelection();
    void clear();
    // The bar's "Remove them from the list": the listed files it names that cannot convert.
    void removeListedWithProblems(const QStringList &paths);

    // A menu of the output formats, each giving the selected waiting rows that format.
    QMenu *outputFormatMenu(QWidget *parent);
    // Gives the selected waiting rows the output format titled `title` (a catalogue title).
    void setOutputFormatOfSelection(const QString &title);

    // Rows whose output settings the preferences may still change: pending, not held by a run,
    // and not given a format by hand.
    QList<LSMediaPtr> waitingItems() const;
    QList<LSMediaPtr> waitingAmong(const QList<LSMediaPtr> &items) const;
    QList<LSMediaPtr> selectedItems() const;
    // The rows a start converts: all of them, or, with "Skip finished files when starting
    // again", those not finished.
    QList<LSMediaPtr> itemsToConvert() const;

signals:
    // Rows left the list.
    void rowsRemoved();
    // Rows were given an output format by hand.
    void rowsChanged();

private:
    void removeItems(const QList<LSMediaPtr> &items);

    MediaListModel *m_model;
    MyTableView *m_view;
    ProblemBar *m_problems;
    RunController *m_run;
    QSet<const LSMedia *> m_formatSetByHand; // rows of the list only
};
