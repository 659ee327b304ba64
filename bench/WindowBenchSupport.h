#pragma once

// What the window benchmarks share: a workspace that opens nothing, a meter of the GUI thread's
// stalls, a loop that waits without taking a core, and a drop of a folder on the list.

#include "Shared/Workspace.h"
#include "mainwindow/MyTableView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTimer>

// Offscreen unless a display was given, so the benchmarks run on a server as well.
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A whole number from the environment, or `fallback` when the variable is not set.
inline int environmentNumber(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

class SilentWorkspace final : public Workspace
{
public:
    bool openUrl(const QUrl &) override { return true; }
    void selectFile(const QString &) override {}
};

// Measures the gaps between the turns of the GUI thread's event loop.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = qMax(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
    }
    void restart()
    {
        m_clock.start();
        m_lastNs = 0;
        m_longestNs = 0;
        m_timer.start();
    }
    double longestMs() const { return m_longestNs / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// Runs the event loop until `done` holds or `timeoutMs` has passed; false on time-out. It blocks
// between events (a wake-up every 5 ms at the latest): a loop that only polls would take a core
// away from the threads it measures.
template<typename Done>
bool spinUntil(Done done, qint64 timeoutMs)
{
    QTimer wake;
    wake.start(5);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Drags `folder` onto the list's first row and drops it there, as a file manager would.
inline void dropFolder(MyTableView *view, const QString &folder)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(folder)});
    const QPoint pos(20, 20);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent dropEvent(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &dropEvent);
}
