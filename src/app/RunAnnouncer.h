#pragma once

#include "model/LSMedia.h"

#include <QObject>

class MainWndController;

// Tells the desktop how a conversion run ended when the user is looking elsewhere: a
// notification with the number of files that finished and that failed. It has no parent: its
// owner (main()) keeps it beside the window and ends it before the window.
// Thread: main thread.
class RunAnnouncer : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        int finished = 0;
        int failed = 0;
    };

    explicit RunAnnouncer(MainWndController &window);

    static Outcome countOutcome(const QList<LSMediaPtr> &items);

private:
    void runFinished();

    MainWndController &m_window;
};
