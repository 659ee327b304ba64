#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

// One pane of the preferences window. A pane names itself for the toolbar, gives the widget it
// shows, and may refuse to be left or closed by answering false from `commitEditing`, which is
// also where it saves or validates its fields. Panes are usually widgets that implement this
// interface and answer themselves from `view()`.
//
// The view's size policy stands for its resizing mask: a direction whose policy can grow is
// resizable; in any other direction the pane keeps the size in which it was first shown.
//
// The pane owns its view; while the view is shown, the preferences window is its parent.
// Thread: main thread.
class PrefsViewController
{
public:
    virtual ~PrefsViewController() = default;

    // Unique among the panes of one window; also the toolbar item's identifier.
    virtual QString identifier() const = 0;
    virtual QIcon toolbarItemImage() const = 0;
    virtual QString toolbarItemLabel() const = 0;

    virtual QWidget *view() = 0;

    // Saves or validates the pane's fields; false keeps the pane shown and the window open.
    virtual bool commitEditing() { return true; }
    virtual void viewWillAppear() {}
    virtual void viewDidDisappear() {}
    // The control to focus when the pane appears; null lets the window take the first one.
    virtual QWidget *initialKeyView() const { return nullptr; }

    // The object whose slots receive the actions sent to this pane; the view by default.
    virtual QObject *responder() { return view(); }

    // Where actions go on when this pane does not handle them (set by the window).
    QObject *nextResponder() const { return m_nextResponder.data(); }
    void setNextResponder(QObject *responder) { m_nextResponder = responder; }

private:
    QPointer<QObject> m_nextResponder;
};
