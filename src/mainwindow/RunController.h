#pragma once

#include "engine/RunTally.h"
#include "mainwindow/RunProgress.h"
#include "model/LSMedia.h"

#include <QObject>
#include <QSet>
#include <QString>

class ListConversionRun;
struct ConversionSettings;
class OperationQueue;

// A conversion run of the window's list, without the window: the run itself
// (ListConversionRun), its progress, and what the user asked of it (pause, stop, stop and then
// quit). It reports the run's line, the overall share done and, at its end, the summary of the
// run's tally (RunTally, whose clock leaves paused stretches out); the window only shows them.
//
// Thread: main thread.
class RunController : public QObject
{
    Q_OBJECT

public:
    // The queue runs at most `width` conversions at once.
    explicit RunController(int width, QObject *parent = nullptr);
    // Running encoders stop before the controller goes.
    ~RunController() override;

    OperationQueue *queue() const;
    bool isConverting() const;
    void setIsConverting(bool converting);
    bool isStopping() const;
    // The user asked to quit once the encoders have stopped.
    bool quitsAfterRun() const { return m_quitAfterRun; }

    // Converts `items` in order with the settings the preferences hold now; a second start
    // during a run does nothing. `finishedLeftOut` rows of the list were left out as finished
    // ("Skip finished files when starting again"); the summary says so.
    void start(const QList<LSMediaPtr> &items, int finishedLeftOut = 0);
    // The settings of the run in progress, or of the last one.
    const ConversionSettings &settings() const;
    // Stops at once: running encoders are stopped, waiting rows go back to pending.
    void stop();
    // Stops, then asks to quit (quitRequested) once no encoder is left writing. A paused run
    // is stopped the same way: its encoders are let go on so that they act on the stop.
    void stopThenQuit();
    // Holds the run: running encoders suspended, no further file started, the clock and the
    // time left standing still. resume() goes on; togglePause() does the one that applies.
    void pause();
    void resume();
    void togglePause();
    bool isPaused() const;
    // The count of the run in progress, or of the last one.
    RunTally::Counts counts() const;

    // The summary of a run that has ended: the tally's, or why nothing was converted.
    static QString summaryText(const RunTally::Counts &counts, int finishedLeftOut);
    // Rows leaving the list take their conversions with them.
    void cancelItems(const QList<LSMediaPtr> &items);
    // The rows whose conversions are queued or running.
    QSet<const LSMedia *> heldItems() const;

signals:
    // Every tick of the run: the rows should be redrawn.
    void ticked();
    // The run's line ("2 of 5 files — 3:05 left"), then the summary of the run that ended.
    void runStatusChanged(const QString &text);
    // The run's share done (0..1) every tick, and not visible once it has ended.
    void progressChanged(double fraction, bool visible);
    // The run was paused or goes on again.
    void pausedChanged(bool paused);
    // The run has ended with `counts`; `stoppedByUser` when the user stopped it.
    void runEnded(const RunTally::Counts &counts, bool stoppedByUser);
    // The run the user stopped in order to quit has ended.
    void quitRequested();

private:
    void sampleProgress();
    void finishRun();

    ListConversionRun *m_run = nullptr;
    RunProgress m_progress;
    int m_finishedLeftOut = 0;
    bool m_stopRequested = false;
    bool m_quitAfterRun = false;
};
