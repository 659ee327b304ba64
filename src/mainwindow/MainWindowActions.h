#pragma once

#include <QObject>

class BottomBar;
class QAction;
class QWidget;

// The main window's commands (menu entries, their shortcuts, the row commands) and the one place
// where what the user can do is enabled or disabled, the bottom bar's buttons included. The
// window connects the actions and calls update() whenever the list, the selection or the run
// changes.
//
// Thread: main thread.
class MainWindowActions : public QObject
{
    Q_OBJECT

public:
    // What the enabled states follow.
    struct State
    {
        qsizetype rows = 0;
        bool converting = false;
        bool stopping = false;
        bool paused = false;
        bool currentHasOutput = false;    // the current row has encoder output to show
        bool selectionHasWaiting = false; // a selected row's settings may still change
    };

    // The actions belong to `window`, which gets the shortcuts; `bar` gets its enabled states.
    MainWindowActions(QWidget *window, BottomBar *bar);

    void update(const State &state);

    // Menu entries: delete, clear and reveal need rows; start needs rows and no run; import is
    // always possible; stop and pause only while a run goes on and is not already stopping.
    QAction *importAction() const { return m_import; }
    QAction *startAction() const { return m_start; }
    QAction *deleteAction() const { return m_delete; }
    QAction *clearAction() const { return m_clear; }
    QAction *revealAction() const { return m_reveal; }
    QAction *stopAction() const { return m_stop; }
    // "Pause Converting", or "Resume Converting" while the run is paused; so is the bar's button.
    QAction *pauseAction() const { return m_pause; }
    // Escape during a run: asks before it stops.
    QAction *escapeAction() const { return m_escape; }
    // Row commands.
    QAction *showOutputAction() const { return m_showOutput; }
    QAction *formatAction() const { return m_format; }
    // Application menu entries, titled after the product by retitle(); Hide minimises the window.
    QAction *aboutAction() const { return m_about; }
    QAction *hideAction() const { return m_hide; }
    QAction *quitAction() const { return m_quit; }
    QAction *helpAction() const { return m_help; }
    void retitle(const QString &product);

private:
    BottomBar *m_bar = nullptr;
    QAction *m_import = nullptr;
    QAction *m_start = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_clear = nullptr;
    QAction *m_reveal = nullptr;
    QAction *m_stop = nullptr;
    QAction *m_pause = nullptr;
    QAction *m_escape = nullptr;
    QAction *m_showOutput = nullptr;
    QAction *m_format = nullptr;
    QAction *m_about = nullptr;
    QAction *m_hide = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_help = nullptr;
};
