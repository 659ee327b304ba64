#include "engine/RunTally.h"

#include "Shared/GlobalFun.h"

#include <QMutexLocker>

#include <cmath>

RunTally::RunTally(QObject *parent)
    : QObject(parent)
{}

RunTally::Outcome RunTally::outcomeOf(qint32 state, bool hasFailureReason)
{
    switch (state) {
    case LSMedia::CvtStateFinished:
    case LSMedia::CvtStateFailed: // the output is there; only the playlist step failed
        return Outcome::Converted;
    case LSMedia::CvtStateUpToDate:
        return Outcome::UpToDate;
    case LSMedia::CvtStateCanceled:
        return hasFailureReason ? Outcome::Failed : Outcome::Stopped;
    default:
        // Pending (stopped before it started), or a state a conversion never ends in.
        return Outcome::Stopped;
    }
}

void RunTally::count(const LSMedia &item)
{
    const qint32 state = item.eumCvtState();
    const Outcome outcome = outcomeOf(state, !item.failureReason().isEmpty());
    const bool converted = outcome == Outcome::Converted;
    count(outcome, converted && !item.strWarning().isEmpty(),
          converted && state == LSMedia::CvtStateFailed);
}

void RunTally::count(Outcome outcome, bool warned, bool playlistFailed)
{
    {
        QMutexLocker locker(&m_lock);
        switch (outcome) {
        case Outcome::Converted:
            ++m_counts.converted;
            break;
        case Outcome::Failed:
            ++m_counts.failed;
            break;
        case Outcome::Stopped:
            ++m_counts.stopped;
            break;
        case Outcome::UpToDate:
            ++m_counts.upToDate;
            break;
        }
        m_counts.warned += warned ? 1 : 0;
        m_counts.playlistFailed += playlistFailed ? 1 : 0;
    }
    emit changed();
}

void RunTally::countUnreadable(int names)
{
    {
        QMutexLocker locker(&m_lock);
        m_counts.unreadable += names;
    }
    emit changed();
}

void RunTally::start()
{
    QMutexLocker locker(&m_lock);
    m_clock.start();
    m_pausedAtMs = -1;
    m_pausedMs = 0;
    m_stoppedMs = -1;
    m_counts.paused = false;
}

void RunTally::pause()
{
    {
        QMutexLocker locker(&m_lock);
        if (m_counts.paused)
            return;
        m_counts.paused = true;
        if (m_clock.isValid() && m_stoppedMs < 0)
            m_pausedAtMs = m_clock.elapsed();
    }
    emit changed();
}

void RunTally::resume()
{
    {
        QMutexLocker locker(&m_lock);
        if (!m_counts.paused)
            return;
        m_counts.paused = false;
        if (m_pausedAtMs >= 0)
            m_pausedMs += m_clock.elapsed() - m_pausedAtMs;
        m_pausedAtMs = -1;
    }
    emit changed();
}

void RunTally::stop()
{
    QMutexLocker locker(&m_lock);
    if (!m_clock.isValid() || m_stoppedMs >= 0)
        return;
    m_stoppedMs = qint64(secondsLocked() * 1000.0);
}

RunTally::Counts RunTally::counts() const
{
    QMutexLocker locker(&m_lock);
    Counts counts = m_counts;
    counts.seconds = secondsLocked();
    return counts;
}

double RunTally::seconds() const
{
    QMutexLocker locker(&m_lock);
    return secondsLocked();
}

bool RunTally::isPaused() const
{
    QMutexLocker locker(&m_lock);
    return m_counts.paused;
}

double RunTally::secondsLocked() const
{
    if (m_stoppedMs >= 0)
        return m_stoppedMs / 1000.0;
    if (!m_clock.isValid())
        return 0.0;
    // One reading of the one clock: while paused the time stands exactly still.
    const qint64 now = m_pausedAtMs >= 0 ? m_pausedAtMs : m_clock.elapsed();
    return qMax(qint64(0), now - m_pausedMs) / 1000.0;
}

QString RunTally::summaryText(const Counts &counts)
{
    QStringList parts{tr("%1 converted").arg(counts.converted)};
    if (counts.upToDate > 0)
        parts << tr("%1 up to date").arg(counts.upToDate);
    parts << tr("%1 failed").arg(counts.failed);
    if (counts.stopped > 0)
        parts << tr("%1 stopped").arg(counts.stopped);
    QString text = parts.join(QStringLiteral(", ")) + QLatin1Char(' ') +
                   tr("in %1").arg(GlobalFun::getTimeStringBySecond(std::round(counts.seconds)));
    QStringList notes;
    if (counts.warned > 0)
        notes << tr("%1 with a warning").arg(counts.warned);
    if (counts.playlistFailed > 0)
        notes << tr("%1 not added to the playlist").arg(counts.playlistFailed);
    if (counts.unreadable > 0)
        notes << tr("%1 unreadable paths skipped").arg(counts.unreadable);
    if (!notes.isEmpty())
        text += QStringLiteral(" (") + notes.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}
