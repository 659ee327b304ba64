#pragma once

#include "engine/MediaLoader.h"
#include "engine/OperationQueue.h"
#include "model/ConversionSettings.h"
#include "model/LSMedia.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class ConvertOperation;
class RunTally;
class ProgressDisplay;

// One run of wavelark-cli: lists and probes the named paths through the loader the window uses
// (MediaLoader), prints what it skipped, queues a conversion for each file as soon as it is
// probed, follows them for the display, prints each file's result, and ends with the program's
// exit status (1 when a file failed or finished with a warning; files skipped as up to date
// count as done; 2 when no file was accepted). Each step costs the same however many files the run
// holds. An interrupt cancels everything (unfinished outputs never get their final name) and ends
// with 128 + the signal number.
//
// Thread: the main thread. Operations end on worker threads; their completion is handed over
// with queued signals.
class ConversionRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int kExitAllFinished = 0;
    static constexpr int kExitSomeFailed = 1;
    static constexpr int kExitNothingAccepted = 2;

    // Every file of the run is filled and converted as `settings` say.
    ConversionRun(ProgressDisplay *display, int width, ConversionSettings settings,
                  QObject *parent = nullptr);
    ~ConversionRun() override;

    // Starts converting the files `paths` (files and folders, as named) lead to.
    void start(const QStringList &paths);
    void interrupt(int signalNumber);
    // Holds the run (Ctrl-Z): running encoders suspended, no new file started, the clock
    // stopped; resume() goes on.
    void pause();
    void resume();
    bool isPaused() const { return m_paused; }

signals:
    void finished(int exitStatus);

private:
    struct Entry
    {
        LSMediaPtr item;
        std::shared_ptr<ConvertOperation> operation;
        QElapsedTimer started; // valid once the encoder is seen running
        bool reported = false;
    };

    void inputsRefused(const QList<InputRefusal> &refused);
    void inputsAccepted(const QStringList &files, const QStringList &roots);
    void itemsLoaded(const QList<LSMediaPtr> &items);
    void loadingFinished();
    void operationEnded(const OperationPtr &operation);
    void report(Entry &entry);
    void refresh();
    void finishIfDone();
    void printSummary();
    // From the media seconds converted so far (`runningDone` of them by the files in conversion)
    // and the wall time it took.
    double secondsLeftOverall(double runningDone) const;

    ProgressDisplay *m_display;
    const ConversionSettings m_settings;
    OperationQueue m_queue;
    QList<Entry> m_entries;
    MediaLoader m_loader;
    bool m_loading = false;                        // files are still being listed or probed
    bool m_listed = false;                         // the files to convert are known (m_total)
    QHash<const Operation *, qsizetype> m_entryOf; // operation -> index in m_entries
    qsizetype m_firstOpen = 0;                     // the entries before this one have ended
    double m_totalSeconds = 0.0; // media seconds of the probed files still to convert or done
    double m_doneSeconds = 0.0;  // media seconds of the files whose conversion has ended
    int m_total = 0;
    int m_ended = 0;
    std::shared_ptr<RunTally> m_tally; // the counts and the clock of the summary
    bool m_paused = false;
    int m_interruptSignal = 0;
    QTimer m_refreshTimer;
    bool m_done = false;
};
