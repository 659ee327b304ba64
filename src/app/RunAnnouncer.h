#pragma once

#include "engine/RunTally.h"

#include <QObject>

class MainWndController;

// Tells the desktop how a conversion run ended when the user is looking elsewhere: a
// notification with what the run's tally counted, titled after how the run ended (finished, or
// stopped by the user). Nothing is announced for a run the user stopped in order to quit. It has
// no parent: its owner (main()) keeps it beside the window and ends it before the window.
// Thread: main thread.
class RunAnnouncer : public QObject
{
    Q_OBJECT

public:
    explicit RunAnnouncer(MainWndController &window);

    // "Conversion finished", or "Conversion stopped" for a run the user stopped.
    static QString title(bool stoppedByUser);

private:
    void runEnded(const RunTally::Counts &counts, bool stoppedByUser);

    MainWndController &m_window;
};
