#include "mainwindow/RunController.h"

#include "mainwindow/ListConversionRun.h"

RunController::RunController(int width, QObject *parent)
    : QObject(parent)
    , m_run(new ListConversionRun(width, this))
{
    connect(m_run, &ListConversionRun::ticked, this, &RunController::sampleProgress);
    connect(m_run, &ListConversionRun::ticked, this, &RunController::ticked);
    connect(m_run, &ListConversionRun::runEnded, this, &RunController::finishRun);
}

RunController::~RunController()
{
    delete m_run;
    m_run = nullptr;
}

OperationQueue *RunController::queue() const
{
    return m_run ? m_run->queue() : nullptr;
}

bool RunController::isConverting() const
{
    return m_run && m_run->isConverting();
}

void RunController::setIsConverting(bool converting)
{
    if (m_run)
        m_run->setIsConverting(converting);
}

bool RunController::isStopping() const
{
    return m_run && m_run->isStopping();
}

const ConversionSettings &RunController::settings() const
{
    return m_run->settings();
}

void RunController::start(const QList<LSMediaPtr> &items, int finishedLeftOut)
{
    // A second start while converting would run the same items twice at once.
    if (isConverting())
        return;
    m_stopRequested = false;
    m_finishedLeftOut = finishedLeftOut;
    m_progress.start(items);
    m_run->start(items);
    sampleProgress();
}

void RunController::stop()
{
    if (!isConverting())
        return;
    m_stopRequested = true;
    const bool wasPaused = isPaused();
    m_run->stop();
    if (wasPaused)
        emit pausedChanged(false);
    sampleProgress();
}

void RunController::pause()
{
    if (!isConverting() || isStopping() || isPaused())
        return;
    m_run->pause();
    emit pausedChanged(true);
    sampleProgress();
}

void RunController::resume()
{
    if (!isPaused())
        return;
    m_run->resume();
    emit pausedChanged(false);
    sampleProgress();
}

void RunController::togglePause()
{
    if (isPaused())
        resume();
    else
        pause();
}

bool RunController::isPaused() const
{
    return m_run && m_run->isPaused();
}

RunTally::Counts RunController::counts() const
{
    return m_run->tally()->counts();
}

void RunController::stopThenQuit()
{
    if (!isConverting()) {
        emit quitRequested();
        return;
    }
    // Quit once the encoders have really stopped: none may be left writing.
    m_quitAfterRun = true;
    stop();
}

void RunController::cancelItems(const QList<LSMediaPtr> &items)
{
    if (!isConverting() || items.isEmpty())
        return;
    m_run->cancelItems(items);
    m_progress.forget(items);
}

QSet<const LSMedia *> RunController::heldItems() const
{
    return isConverting() ? m_run->heldItems() : QSet<const LSMedia *>();
}

void RunController::sampleProgress()
{
    if (!isConverting())
        return;
    // The tally's clock stands still while the run is paused, and so does the time left.
    const RunProgress::Snapshot snapshot = m_progress.sample(m_run->tally()->seconds());
    QString text = RunProgress::filesText(snapshot);
    const QString left = RunProgress::timeLeftText(snapshot.secondsLeft);
    if (m_run->isStopping())
        text += tr(" \u2014 stopping...");
    else if (m_run->isPaused())
        text += tr(" \u2014 paused");
    else if (!left.isEmpty())
        text += QStringLiteral(" \u2014 ") + left;
    emit runStatusChanged(text);
    emit progressChanged(snapshot.fraction, true);
}

QString RunController::summaryText(const RunTally::Counts &counts, int finishedLeftOut)
{
    if (counts.ended() > 0 || finishedLeftOut == 0)
        return RunTally::summaryText(counts);
    // A Start that left every row out as finished converted nothing: say why.
    if (finishedLeftOut == 1)
        return tr("Nothing to convert: the file is finished already");
    return tr("Nothing to convert: all %1 files are finished already").arg(finishedLeftOut);
}

void RunController::finishRun()
{
    m_progress.finish();
    const RunTally::Counts counts = m_run->tally()->counts();
    const bool stoppedByUser = m_stopRequested;
    m_stopRequested = false;
    emit runStatusChanged(summaryText(counts, m_finishedLeftOut));
    emit progressChanged(1.0, false);
    emit runEnded(counts, stoppedByUser);
    if (m_quitAfterRun) {
        m_quitAfterRun = false;
        emit quitRequested();
    }
}
