#pragma once

#include "model/LSMedia.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <utility>

// The progress of a whole run, from its items' states and progress: files done of the total,
// the share of the audio converted, and the time left from the audio seconds converted per wall
// second, smoothed over the samples so that one slow moment does not swing it. What the run's
// files came to is counted by the run's RunTally, not here.
//
// Thread: main thread (the items' fields it reads are atomics).
class RunProgress
{
    Q_DECLARE_TR_FUNCTIONS(RunProgress)

public:
    struct Snapshot
    {
        int done = 0; // files that have ended, whatever the outcome
        int total = 0;
        double fraction = 0.0;     // 0..1, of the audio to convert
        double secondsLeft = -1.0; // negative while unknown
    };

    // Weight of the newest rate sample.
    static constexpr double kSmoothing = 0.3;
    // Waiting rows looked at past the ended ones: more than the widest queue can have started.
    static constexpr int kLookAhead = 1024;

    void start(const QList<LSMediaPtr> &items);
    // One sample, `elapsedSeconds` of the run's own time (paused stretches left out) after
    // start().
    Snapshot sample(double elapsedSeconds);
    // The run has ended; the items are let go.
    void finish();
    // Rows removed during the run count no more (and are not held).
    void forget(const QList<LSMediaPtr> &items);

    // "2 of 5 files", for the status line.
    static QString filesText(const Snapshot &snapshot);
    // "3:05 left", "about a minute"...; empty while unknown.
    static QString timeLeftText(double seconds);

private:
    // Rows ended and audio seconds done, the ended front rows counted once.
    std::pair<int, double> countDone();
    void resetSettled();

    QList<LSMediaPtr> m_items;
    double m_totalAudio = 0.0;
    double m_lastElapsed = 0.0;
    double m_lastDone = 0.0;
    double m_rate = -1.0;    // audio seconds per wall second, smoothed; negative before a sample
    qsizetype m_settled = 0; // the rows before this one have ended
    double m_settledAudio = 0.0;
};
