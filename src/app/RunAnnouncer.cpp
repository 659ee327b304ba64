#include "app/RunAnnouncer.h"

#include "app/DesktopNotifier.h"
#include "mainwindow/MainWndController.h"

RunAnnouncer::RunAnnouncer(MainWndController &window)
    : m_window(window)
{
    connect(&window, &MainWndController::runFinished, this, &RunAnnouncer::runFinished);
}

RunAnnouncer::Outcome RunAnnouncer::countOutcome(const QList<LSMediaPtr> &items)
{
    Outcome outcome;
    for (const LSMediaPtr &item : items) {
        const qint32 state = item->eumCvtState();
        if (state == LSMedia::CvtStateFinished)
            ++outcome.finished;
        else if (state == LSMedia::CvtStateCanceled || state == LSMedia::CvtStateFailed)
            ++outcome.failed;
    }
    return outcome;
}

void RunAnnouncer::runFinished()
{
    if (m_window.isActiveWindow())
        return;
    const Outcome outcome = countOutcome(m_window.items());
    DesktopNotifier::notify(tr("Conversion finished"),
                            DesktopNotifier::runSummary(outcome.finished, outcome.failed));
}
