#pragma once

#include "model/LSMedia.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>

// The one count of a conversion run: how many files were converted, failed, stopped, found up to
// date or converted with a warning, and how long the run took without its paused stretches. The
// operations feed it as each one ends (ConvertOperation::setTally); the window's status area, the
// desktop notification and wavelark-cli's summary and exit status all read it, so they never
// disagree.
//
// A file whose output was written but whose playlist step failed is converted (with a failed
// playlist step). Names a folder run could not read are counted beside the files.
//
// Thread: any; every call takes an internal lock. `changed` is emitted on the thread that made
// the change.
class RunTally : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Converted,
        Failed,
        Stopped,
        UpToDate,
    };

    struct Counts
    {
        int converted = 0; // playlist-step failures and warnings included
        int failed = 0;
        int stopped = 0; // stopped while converting, or never started because of a stop
        int upToDate = 0;
        int warned = 0;         // converted, with a warning (the input ends early)
        int playlistFailed = 0; // converted, but not added to the playlist
        int unreadable = 0;     // names a folder run could not read, not files of the run
        double seconds = 0.0;   // the run's time, paused stretches left out
        bool paused = false;

        int ended() const { return converted + failed + stopped + upToDate; }
        // Nothing went wrong: every file converted or up to date, no warning, no unread name.
        bool allWell() const
        {
            return failed == 0 && stopped == 0 && warned == 0 && playlistFailed == 0 &&
                   unreadable == 0;
        }
    };

    explicit RunTally(QObject *parent = nullptr);

    // The outcome an item's final state stands for.
    static Outcome outcomeOf(qint32 state, bool hasFailureReason);

    // Counts one ended file from its item's final state.
    void count(const LSMedia &item);
    void count(Outcome outcome, bool warned = false, bool playlistFailed = false);
    void countUnreadable(int names);

    // The run clock: start() begins it (again from zero), pause() and resume() leave stretches
    // out, stop() ends it.
    void start();
    void pause();
    void resume();
    void stop();

    Counts counts() const;
    double seconds() const;
    bool isPaused() const;

    // "3 converted, 1 up to date, 2 failed, 1 stopped in 00:01:02", the parts that are not zero
    // (converted and failed always), then warnings, playlist failures and unreadable names.
    static QString summaryText(const Counts &counts);

signals:
    void changed();

private:
    double secondsLocked() const;

    mutable QMutex m_lock;
    Counts m_counts;
    QElapsedTimer m_clock;    // valid while the clock runs or is paused
    qint64 m_pausedAtMs = -1; // m_clock's reading when the pause began; -1 while not paused
    qint64 m_pausedMs = 0;    // paused stretches that have ended
    qint64 m_stoppedMs = -1;  // the run's time once stopped
};
