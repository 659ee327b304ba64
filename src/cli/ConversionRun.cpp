#include "cli/ConversionRun.h"

#include "Shared/GlobalFun.h"
#include "cli/ProgressDisplay.h"
#include "engine/ConvertOperation.h"
#include "engine/OutputLayout.h"
#include "engine/RunTally.h"
#include "engine/TemporaryOutput.h"

#include <QTimer>

#include <cmath>

namespace {

constexpr int kRefreshMs = 500;

double finitePercent(float percent)
{
    return std::isfinite(percent) ? qBound(0.0, double(percent), 100.0) : 0.0;
}

} // namespace

ConversionRun::ConversionRun(ProgressDisplay *display, int width, ConversionSettings settings,
                             QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_settings(std::move(settings))
    , m_queue(width)
    , m_tally(std::make_shared<RunTally>())
{
    connect(&m_queue, &OperationQueue::operationFinished, this, &ConversionRun::operationEnded,
            Qt::QueuedConnection);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ConversionRun::refresh);
}

ConversionRun::~ConversionRun()
{
    m_queue.cancelAllOperations();
    resume();
    m_queue.waitUntilAllOperationsAreFinished();
}

void ConversionRun::start(const QStringList &paths)
{
    connect(&m_loader, &MediaLoader::inputsRefused, this, &ConversionRun::inputsRefused);
    connect(&m_loader, &MediaLoader::inputsAccepted, this,
            [this](int, const QStringList &files, const QStringList &roots) {
                inputsAccepted(files, roots);
            });
    connect(&m_loader, &MediaLoader::itemsLoaded, this,
            [this](int, const QList<LSMediaPtr> &items) { itemsLoaded(items); });
    connect(&m_loader, &MediaLoader::batchFinished, this, &ConversionRun::loadingFinished);
    m_loading = true;
    m_tally->start();
    m_loader.setLowPriority(false);
    m_loader.load(paths, m_settings);
    // Off a terminal, and until the files are listed, the timer only watches for a reader of the
    // output that went away.
    m_refreshTimer.start();
}

void ConversionRun::inputsRefused(const QList<InputRefusal> &refused)
{
    if (m_done)
        return;
    int unreadable = 0;
    for (const InputRefusal &refusal : refused) {
        const QString hint =
            refusal.otherKind ? QStringLiteral(" (--all-audio converts it)") : QString();
        m_display->printMessage(QStringLiteral("wavelark-cli: skipped %1: %2%3")
                                    .arg(refusal.path, refusal.reason, hint));
        unreadable += refusal.unreadable ? 1 : 0;
    }
    m_tally->countUnreadable(unreadable);
}

void ConversionRun::inputsAccepted(const QStringList &files, const QStringList &roots)
{
    if (m_done || m_interruptSignal != 0)
        return;
    if (files.isEmpty()) {
        m_done = true;
        m_loader.stop();
        m_display->printMessage(
            m_settings.convertOtherAudio
                ? QStringLiteral("wavelark-cli: no audio file to convert\n"
                                 "Try 'wavelark-cli --help'.")
                : QStringLiteral("wavelark-cli: no FLAC or Ogg file to convert\n"
                                 "Try 'wavelark-cli --help'."));
        emit finished(kExitNothingAccepted);
        return;
    }
    // Temporaries of conversions whose program was killed; those of running ones stay.
    OutputLayout::removeStaleTemporaries(m_settings.audioOutputFolder, roots, files,
                                         m_settings.keepFolders);
    m_total = int(files.size());
    m_listed = true;
    if (m_display->isLive())
        refresh();
}

// Conversions start while the rest is still probed.
void ConversionRun::itemsLoaded(const QList<LSMediaPtr> &items)
{
    if (m_done || m_interruptSignal != 0)
        return;
    for (const LSMediaPtr &item : items) {
        Entry entry;
        entry.item = item;
        entry.operation = std::make_shared<ConvertOperation>(item, m_settings);
        entry.operation->setTally(m_tally);
        entry.operation->setPaused(m_paused);
        m_entryOf.insert(entry.operation.get(), m_entries.size());
        m_totalSeconds += qMax(0.0, item->duration());
        m_entries.append(entry);
        m_queue.addOperation(entry.operation);
    }
}

void ConversionRun::loadingFinished()
{
    m_loading = false;
    finishIfDone();
}

void ConversionRun::interrupt(int signalNumber)
{
    if (m_interruptSignal != 0)
        return;
    m_interruptSignal = signalNumber;
    m_loader.stop();
    m_loading = false;
    m_display->printMessage(QStringLiteral("wavelark-cli: interrupted, stopping the encoders"));
    m_queue.cancelAllOperations();
    // Held encoders act on the stop only once they run again.
    resume();
    finishIfDone();
}

void ConversionRun::pause()
{
    if (m_paused || m_done)
        return;
    m_paused = true;
    // No file starts while the program is stopped, and the ones running hold still.
    m_queue.setSuspended(true);
    for (const Entry &entry : std::as_const(m_entries))
        entry.operation->setPaused(true);
    m_tally->pause();
}

void ConversionRun::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_tally->resume();
    for (const Entry &entry : std::as_const(m_entries))
        entry.operation->setPaused(false);
    m_queue.setSuspended(false);
}

void ConversionRun::operationEnded(const OperationPtr &operation)
{
    const auto found = m_entryOf.constFind(operation.get());
    if (found != m_entryOf.cend()) {
        Entry &entry = m_entries[found.value()];
        ++m_ended;
        const double seconds = qMax(0.0, entry.item->duration());
        // A file that needed no conversion says nothing about the pace of the others.
        if (entry.item->eumCvtState() == LSMedia::CvtStateUpToDate)
            m_totalSeconds -= seconds;
        else
            m_doneSeconds += seconds;
        report(entry);
    }
    finishIfDone();
}

void ConversionRun::report(Entry &entry)
{
    entry.reported = true;
    const qint32 state = entry.item->eumCvtState();
    const QString input = entry.item->filePath();
    const QString output = entry.operation->outputPath();
    if (state == LSMedia::CvtStatePending)
        return; // cancelled before it started: nothing to say about it
    if (state == LSMedia::CvtStateUpToDate) {
        m_display->printLine(QStringLiteral("%1  %2 -> %3")
                                 .arg(LSMedia::progressText(state, 100.0f), input, output));
        return;
    }
    if (state == LSMedia::CvtStateFinished) {
        m_display->printLine(QStringLiteral("%1  %2 -> %3")
                                 .arg(LSMedia::progressText(state, 100.0f), input, output));
        const QString warning = entry.item->strWarning();
        if (!warning.isEmpty())
            m_display->printLine(QStringLiteral("    warning: ") + warning);
        return;
    }
    if (state == LSMedia::CvtStateFailed) {
        // Converted, but the playlist step failed: the output is there and stays.
        m_display->printLine(QStringLiteral("%1  %2 -> %3")
                                 .arg(LSMedia::progressText(state, 100.0f), input, output));
        m_display->printLine(QStringLiteral("    ") + entry.item->failureReason());
        return;
    }
    m_display->printLine(QStringLiteral("%1  %2").arg(LSMedia::progressText(state, 100.0f), input));
    QString why = entry.operation->failureReason();
    if (why.isEmpty())
        why = entry.operation->lastErrorLine();
    if (!why.isEmpty() && m_interruptSignal == 0)
        m_display->printLine(QStringLiteral("    ") + why);
}

void ConversionRun::finishIfDone()
{
    if (m_done || m_loading || m_ended < m_entries.size())
        return;
    // Everything queued has ended, and nothing is left to probe (or an interrupt dropped it).
    m_done = true;
    m_refreshTimer.stop();
    m_display->finish();

    if (m_interruptSignal != 0) {
        // The conversions removed their own temporaries; nothing unfinished got a final name.
        int removed = 0;
        for (const Entry &entry : m_entries) {
            const qint32 state = entry.item->eumCvtState();
            const bool complete =
                state == LSMedia::CvtStateFinished || state == LSMedia::CvtStateFailed;
            if (!complete && !entry.operation->temporaryPath().isEmpty())
                ++removed;
        }
        m_display->printMessage(
            QStringLiteral("wavelark-cli: interrupted; %1 unfinished output(s) removed")
                .arg(removed));
        emit finished(128 + m_interruptSignal);
        return;
    }
    printSummary();
}

void ConversionRun::printSummary()
{
    m_tally->stop();
    const RunTally::Counts counts = m_tally->counts();
    m_display->printLine(
        QStringLiteral("%1 of %2 files converted").arg(counts.converted).arg(m_total));
    if (counts.upToDate > 0 || m_settings.skipConverted)
        m_display->printLine(QStringLiteral("%1 of %2 files skipped as up to date")
                                 .arg(counts.upToDate)
                                 .arg(m_total));
    if (counts.warned > 0)
        m_display->printLine(QStringLiteral("%1 of them with a warning").arg(counts.warned));
    if (counts.playlistFailed > 0)
        m_display->printLine(
            QStringLiteral("%1 of them not added to the playlist").arg(counts.playlistFailed));
    if (counts.failed > 0)
        m_display->printLine(
            QStringLiteral("%1 of %2 files failed").arg(counts.failed).arg(m_total));
    if (counts.unreadable > 0)
        m_display->printLine(
            QStringLiteral("%1 paths could not be read and were skipped").arg(counts.unreadable));
    m_display->printLine(QStringLiteral("Time taken: %1")
                             .arg(GlobalFun::getTimeStringBySecond(std::round(counts.seconds))));
    emit finished(counts.allWell() ? kExitAllFinished : kExitSomeFailed);
}

void ConversionRun::refresh()
{
    m_display->checkStreams();
    if (!m_display->isLive() || !m_listed)
        return;
    // Conversions start in the order they were queued: past the ended ones at the front, the
    // running ones come next, and the first that still waits ends them.
    while (m_firstOpen < m_entries.size() && m_entries.at(m_firstOpen).reported)
        ++m_firstOpen;
    QList<ProgressDisplay::RunningFile> running;
    double runningDone = 0.0;
    for (qsizetype i = m_firstOpen; i < m_entries.size(); ++i) {
        Entry &entry = m_entries[i];
        if (entry.reported)
            continue;
        if (!entry.operation->isExecuting() && !entry.operation->isFinished())
            break;
        const qint32 state = entry.item->eumCvtState();
        if (state != LSMedia::CvtStateConverting && state != LSMedia::CvtStateSyncing)
            continue;
        if (!entry.started.isValid())
            entry.started.start();
        ProgressDisplay::RunningFile file;
        file.name = entry.item->filePath().section(QLatin1Char('/'), -1);
        file.percent = finitePercent(entry.item->dProgress());
        const double elapsed = entry.started.elapsed() / 1000.0;
        if (file.percent > 0.0 && elapsed > 0.0)
            file.secondsLeft = elapsed * (100.0 - file.percent) / file.percent;
        runningDone += qMax(0.0, entry.item->duration()) * file.percent / 100.0;
        running.append(file);
    }
    m_display->showProgress(running, m_ended, m_total, secondsLeftOverall(runningDone));
}

double ConversionRun::secondsLeftOverall(double runningDone) const
{
    const double done = m_doneSeconds + runningDone;
    double total = m_totalSeconds;
    // Paused stretches are no encoding time.
    const double elapsed = m_tally->seconds();
    if (done <= 0.0 || elapsed <= 0.0)
        return -1.0;
    // Files not probed yet are counted like the average of the probed ones.
    if (!m_entries.isEmpty())
        total *= double(m_total) / double(m_entries.size());
    return (total - done) * elapsed / done;
}
