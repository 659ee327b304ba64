#include "app/RunAnnouncer.h"

#include "app/DesktopNotifier.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/RunController.h"

RunAnnouncer::RunAnnouncer(MainWndController &window)
    : m_window(window)
{
    connect(window.run(), &RunController::runEnded, this, &RunAnnouncer::runEnded);
}

QString RunAnnouncer::title(bool stoppedByUser)
{
    return stoppedByUser ? tr("Conversion stopped") : tr("Conversion finished");
}

void RunAnnouncer::runEnded(const RunTally::Counts &counts, bool stoppedByUser)
{
    if (m_window.isActiveWindow() || m_window.run()->quitsAfterRun())
        return;
    DesktopNotifier::notify(title(stoppedByUser), DesktopNotifier::runSummary(counts));
}
