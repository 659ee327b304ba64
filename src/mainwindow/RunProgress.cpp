#include "mainwindow/RunProgress.h"

#include "Shared/GlobalFun.h"

#include <QSet>

#include <cmath>

namespace {

bool hasEnded(qint32 state)
{
    return state == LSMedia::CvtStateFinished || state == LSMedia::CvtStateCanceled ||
           state == LSMedia::CvtStateFailed || state == LSMedia::CvtStateUpToDate;
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
    resetSettled();
}

void RunProgress::resetSettled()
{
    m_settled = 0;
    m_settledAudio = 0.0;
}

// Rows are converted in list order: the ended rows at the front are added up once and passed
// over from then on, and past the first kLookAhead waiting rows after them nothing has started.
// So a tick looks at the rows in conversion, not at the whole list.
std::pair<int, double> RunProgress::countDone()
{
    const qsizetype count = m_items.size();
    while (m_settled < count && hasEnded(m_items.at(m_settled)->eumCvtState())) {
        m_settledAudio += lengthOf(*m_items.at(m_settled));
        ++m_settled;
    }
    int done = int(m_settled);
    double audio = m_settledAudio;
    int waiting = 0;
    for (qsizetype i = m_settled; i < count && waiting < kLookAhead; ++i) {
        const LSMedia &item = *m_items.at(i);
        const qint32 state = item.eumCvtState();
        if (hasEnded(state)) {
            ++done;
            audio += lengthOf(item);
        } else if (state == LSMedia::CvtStateConverting || state == LSMedia::CvtStateSyncing) {
            const float percent = item.dProgress();
            if (std::isfinite(percent))
                audio += lengthOf(item) * qBound(0.0, double(percent), 100.0) / 100.0;
        } else {
            ++waiting;
        }
    }
    return {done, audio};
}

RunProgress::Snapshot RunProgress::sample(double elapsedSeconds)
{
    Snapshot snapshot;
    snapshot.total = int(m_items.size());
    const auto [ended, done] = countDone();
    snapshot.done = ended;
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
    QSet<const LSMedia *> leaving;
    for (const LSMediaPtr &item : items)
        leaving.insert(item.get());
    const qsizetype removed = m_items.removeIf([&](const LSMediaPtr &item) {
        if (!leaving.contains(item.get()))
            return false;
        m_totalAudio -= lengthOf(*item);
        return true;
    });
    if (removed == 0)
        return;
    // The rate continues from what the remaining rows have done.
    resetSettled();
    m_lastDone = countDone().second;
}

void RunProgress::finish()
{
    m_items.clear();
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
