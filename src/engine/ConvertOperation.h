#pragma once

#include "engine/EncoderDiagnostics.h"
#include "engine/OperationQueue.h"
#include "engine/TaskWrapper.h"
#include "model/ConversionSettings.h"
#include "model/LSMedia.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QEventLoop;
class RunTally;

// One queued conversion of one media item: builds the output path and the encoder's command
// line, runs the encoder into a hidden temporary, follows its progress, maps its exit status to
// the item's state, gives a complete output its final name and adds it to the music library when
// it qualifies. A failed or stopped run removes its temporary; a failed one leaves its reason and
// the encoder's last lines on the item, and an output shorter than the input a warning.
//
// The item's state goes 0 (at construction) -> 1 (encoder running) -> 4 (non-zero exit status,
// or cancelled) or 2 (music library sync) -> 5 (finished), or 6 (failed, with the item's failure
// reason) when the library refused the finished output; or 0 -> 7 (up to date, nothing done) when
// "Skip files already converted" is on and the conversion record says the output was made from
// this input with the same settings and neither has changed since (UpToDateCheck). Every output
// made is entered in the record; an output the record names as this input's but out of date is
// replaced, anything else gets a numbered free name.
//
// Everything it takes from the preferences comes with the settings it was made with (the job's
// snapshot); it never reads the preferences store itself.
//
// Thread: main() and the runner callbacks run on the queue's worker thread. mediaToConvert(),
// outputPath(), lastErrorLine(), exitCode() and cancel() may be called from any thread.
class ConvertOperation : public Operation, public TaskWrapperController
{
public:
    ConvertOperation(LSMediaPtr media, ConversionSettings settings);
    // With the settings the preferences hold now.
    explicit ConvertOperation(LSMediaPtr media);
    ~ConvertOperation() override;

    void main() override;
    // Stops the encoder if it runs (the run then ends in state 4); an operation that has not
    // started yet never starts it.
    void cancel() override;
    // Like cancel(), but an operation that has not started yet leaves its item pending: the
    // user stopped the run, the file did not fail.
    void stop();
    // Suspends the running encoder (and one that starts later) or lets it go on. A stop while
    // paused ends the encoder all the same.
    void setPaused(bool paused);
    void skipped() override;

    LSMediaPtr mediaToConvert() const { return m_mediaToConvert; }

    // The output under its final name once the run has finished (the existing one for an item
    // that was up to date); empty before and after a failure.
    QString outputPath() const;
    // The hidden file the encoder writes into; empty before the run has reserved it.
    QString temporaryPath() const;
    // The encoder's last diagnostic line that is not a progress line (or why it could not be
    // started); empty when there was none.
    QString lastErrorLine() const;
    // Why the run failed, in one line: the encoder's most telling line, or what kept the run
    // from starting or the output from being named.
    QString failureReason() const;
    int exitCode() const { return m_iExitCode; }

    // Runs this program instead of the encoder beside the executable (tests, other installs).
    void setEncoderPathOverride(const QString &path);

    // Called with every change of state this operation makes to its item from main() on, on the
    // worker thread, for callers that follow a run without polling. Set it before the operation is
    // queued.
    using StateObserver = std::function<void(qint32 state)>;
    void setStateObserver(StateObserver observer) { m_stateObserver = std::move(observer); }

    // The run's tally, which counts this operation's outcome when it ends (started or not). Set
    // it before the operation is queued.
    void setTally(std::shared_ptr<RunTally> tally) { m_tally = std::move(tally); }

    // TaskWrapperController
    void processStarted() override;
    void appendOutput(const QString &output) override;
    void processFinished() override;
    void launcherDidTerminatedWithCode(int status) override;

private:
    void setState(qint32 state);
    // Writes what the encoder could not into the finished temporary (TagCompletion); false with
    // the reason when the file could not be written.
    bool completeTags(const QString &temporaryPath, const QString &encoder, QString *error);
    // Runs the encoder until it has exited; it inherits `outputDescriptor`, the file it writes.
    void runEncoder(const QStringList &arguments, int outputDescriptor);
    void endFailed(const QString &reason);
    // Not converted: the output at `outputPath` is up to date.
    void endUpToDate(const QString &outputPath);
    // True (with the item's warning set) when the output is shorter than its input.
    bool noteShortOutput(const QString &outputPath);
    // False, with the item failed and its reason set, when the library refused the output.
    // `replaced`: the output took the place of an earlier one, whose entries are brought up to
    // date instead of added again.
    bool syncToLibraryIfWanted(const QString &outputPath, bool replaced);
    void convert();
    // Counts the item's outcome in the tally, once, whichever way the operation ended.
    void tallyOnce();

    std::unique_ptr<TaskWrapper> m_wraperTask;
    LSMediaPtr m_mediaToConvert;
    const ConversionSettings m_settings;
    std::atomic<bool> m_bIsConverting{false};
    double m_dLastTime = 0.0;
    double m_dLastPrg = 0.0;
    double m_dLastLeftTime = 1000.0;
    std::atomic<int> m_iExitCode{0};
    std::atomic<bool> m_backToPending{false};
    bool m_paused = false;   // guarded by m_lock
    qint64 m_encoderPid = 0; // guarded by m_lock; 0 when no encoder runs

    StateObserver m_stateObserver;
    std::shared_ptr<RunTally> m_tally;
    std::atomic<bool> m_tallied{false};
    QEventLoop *m_waitLoop = nullptr; // the wait slice in progress, on the worker thread

    mutable QMutex m_lock; // guards the fields below and the runner pointer seen by cancel()
    TaskWrapper *m_runningTask = nullptr;
    QString m_outputPath;
    QString m_temporaryPath;
    QString m_startError;
    QString m_failureReason;
    EncoderDiagnostics m_diagnostics;
    QString m_encoderOverride;
};
