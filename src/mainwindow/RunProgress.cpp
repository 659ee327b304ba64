#include "mainwindow/RunProgress.h"

#include "Shared/GlobalFun.h"

#include <QCoreApplication>

#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RunProgress", text);
}

bool hasEnded(qint32 state)
{
    return state == LSMedia::CvtStateFinished || state == LSMedia::CvtStateCanceled ||
           state == LSMedia::CvtStateFailed;
}

double lengthOf(const LSMedia &item)
{
    const double length = item.dTrimLength() > 0.0 ? item.dTrimLength() : item.duration();
    return std::isfinite(length) && length > 0.0 ? length : 0.0;
}

} // namespace

void RunProgress::start(const QList<LSMediaPtr> &items)
{
    m_items = items;
    m_totalAudio = 0.0;
    for (const LSMediaPtr &item : items)
        m_totalAudio += lengthOf(*item);
    m_lastElapsed = 0.0;
    m_lastDone = 0.0;
    m_rate = -1.0;
}

double RunProgress::audioDone() const
{
    double done = 0.0;
    for (const LSMediaPtr &item : m_items) {
        const qint32 state = item->eumCvtState();
        if (hasEnded(state))
            done += lengthOf(*item);
        else if (state == LSMedia::CvtStateConverting || state == LSMedia::CvtStateSyncing) {
            const float percent = item->dProgress();
            if (std::isfinite(percent))
                done += lengthOf(*item) * qBound(0.0, double(percent), 100.0) / 100.0;
        }
    }
    return done;
}

RunProgress::Snapshot RunProgress::sample(double elapsedSeconds)
{
    Snapshot snapshot;
    snapshot.total = int(m_items.size());
    for (const LSMediaPtr &item : m_items) {
        if (hasEnded(item->eumCvtState()))
            ++snapshot.done;
    }
    const double done = audioDone();
    snapshot.fraction = m_totalAudio > 0.0   ? qBound(0.0, done / m_totalAudio, 1.0)
                        : snapshot.total > 0 ? double(snapshot.done) / snapshot.total
                                             : 0.0;

    const double wall = elapsedSeconds - m_lastElapsed;
    if (wall > 0.0 && done > m_lastDone) {
        const double rate = (done - m_lastDone) / wall;
        m_rate = m_rate < 0.0 ? rate : kSmoothing * rate + (1.0 - kSmoothing) * m_rate;
        m_lastElapsed = elapsedSeconds;
        m_lastDone = done;
    }
    if (m_rate > 0.0)
        snapshot.secondsLeft = std::max(0.0, m_totalAudio - done) / m_rate;
    return snapshot;
}

void RunProgress::forget(const QList<LSMediaPtr> &items)
{
    for (const LSMediaPtr &item : items) {
        if (m_items.removeOne(item))
            m_totalAudio -= lengthOf(*item);
    }
    // The rate continues from what the remaining rows have done.
    m_lastDone = audioDone();
}

RunProgress::Summary RunProgress::finish(double elapsedSeconds)
{
    Summary summary;
    summary.seconds = elapsedSeconds;
    for (const LSMediaPtr &item : m_items) {
        const qint32 state = item->eumCvtState();
        if (state == LSMedia::CvtStateFinished)
            ++summary.converted;
        else if (state == LSMedia::CvtStateCanceled && item->failureReason().isEmpty())
            ++summary.stopped;
        else if (state == LSMedia::CvtStateCanceled || state == LSMedia::CvtStateFailed)
            ++summary.failed;
    }
    m_items.clear();
    return summary;
}

QString RunProgress::filesText(const Snapshot &snapshot)
{
    if (snapshot.total == 1)
        return tr("%1 of 1 file").arg(snapshot.done);
    return tr("%1 of %2 files").arg(snapshot.done).arg(snapshot.total);
}

QString RunProgress::timeLeftText(double seconds)
{
    if (seconds < 0.0 || !std::isfinite(seconds))
        return QString();
    return tr("%1 left").arg(GlobalFun::getTimeStringBySecond(std::ceil(seconds)));
}

QString RunProgress::summaryText(const Summary &summary)
{
    const QString duration = GlobalFun::getTimeStringBySecond(std::round(summary.seconds));
    if (summary.stopped > 0)
        return tr("%1 converted, %2 failed, %3 stopped in %4")
            .arg(summary.converted)
            .arg(summary.failed)
            .arg(summary.stopped)
            .arg(duration);
    return tr("%1 converted, %2 failed in %3")
        .arg(summary.converted)
        .arg(summary.failed)
        .arg(duration);
}
