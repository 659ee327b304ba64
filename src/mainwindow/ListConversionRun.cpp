#include "mainwindow/ListConversionRun.h"

#include "engine/ConvertOperation.h"
#include "engine/OperationQueue.h"
#include "engine/OutputLayout.h"
#include "engine/RunTally.h"
#include "engine/TemporaryOutput.h"

#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cerrno>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// How much the conversions give way to the window: the encoders take every core they can, and
// at the same priority the window's redraws would wait behind them.
constexpr int kConversionNice = 10;

// A conversion that runs, with its encoder, below the window's priority. Linux keeps the nice
// value per thread, and the encoder inherits it from the thread that starts it.
class BackgroundConvertOperation final : public ConvertOperation
{
public:
    using ConvertOperation::ConvertOperation;

    void main() override
    {
        const id_t thread = id_t(::gettid());
        errno = 0;
        const int current = ::getpriority(PRIO_PROCESS, thread);
        if (errno == 0 && current < kConversionNice)
            ::setpriority(PRIO_PROCESS, thread, kConversionNice);
        ConvertOperation::main();
    }
};

} // namespace

ListConversionRun::ListConversionRun(int width, QObject *parent)
    : QObject(parent)
    , m_queue(std::make_unique<OperationQueue>(width))
    , m_tally(std::make_shared<RunTally>())
{}

ListConversionRun::~ListConversionRun()
{
    if (m_sweeper.joinable())
        m_sweeper.join();
    if (m_timer)
        m_timer->stop();
    m_queue->cancelAllOperations();
    // Suspended encoders would keep a stop pending for ever.
    resume();
    m_queue.reset();
}

void ListConversionRun::start(const QList<LSMediaPtr> &items)
{
    start(items, ConversionSettings::current());
}

void ListConversionRun::start(const QList<LSMediaPtr> &items, const ConversionSettings &settings)
{
    m_settings = settings;
    m_isConverting = true;
    m_stopping = false;
    m_paused = false;
    m_queue->setSuspended(false);
    m_tally = std::make_shared<RunTally>();
    m_tally->start();
    // Every row waits from now on; the conversions themselves are queued a share at a time, so
    // a list of 100,000 rows does not hold the window up while they are made.
    for (const LSMediaPtr &media : items) {
        media->clearConversionNotes();
        media->setEumCvtState(LSMedia::CvtStatePending);
    }
    m_toQueue = items;
    m_queued = 0;
    m_leaving.clear();
    sweepThenQueue(items);

    if (m_timer) {
        m_timer->stop();
        m_timer->deleteLater();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &ListConversionRun::refreshTableProgress);
    m_timer->start();
}

// The temporaries that killed programs left behind are removed before the first conversion
// starts (a new one must not be taken for an old one), on a thread of their own: listing a large
// output folder would stall the window.
void ListConversionRun::sweepThenQueue(const QList<LSMediaPtr> &items)
{
    if (m_sweeper.joinable())
        m_sweeper.join();
    if (m_settings.audioOutputFolder.isEmpty()) {
        queueNextShare();
        return;
    }
    QStringList roots;
    QStringList files;
    roots.reserve(items.size());
    files.reserve(items.size());
    for (const LSMediaPtr &media : items) {
        roots << media->strSourceRoot();
        files << media->filePath();
    }
    // A run stopped and started again while its sweep went on must not queue twice.
    const quint64 sweep = ++m_sweeps;
    m_sweeper = std::thread([this, sweep, folder = m_settings.audioOutputFolder, roots, files,
                             keepFolders = m_settings.keepFolders] {
        OutputLayout::removeStaleTemporaries(folder, roots, files, keepFolders);
        // The destructor joins this thread first, so `this` is alive here; the call runs on the
        // GUI thread.
        QMetaObject::invokeMethod(
            this,
            [this, sweep] {
                if (sweep == m_sweeps)
                    queueNextShare();
            },
            Qt::QueuedConnection);
    });
}

void ListConversionRun::queueNextShare()
{
    const qsizetype end = std::min(m_toQueue.size(), m_queued + kQueuedPerTurn);
    for (; m_queued < end; ++m_queued) {
        const LSMediaPtr &media = m_toQueue.at(m_queued);
        if (m_leaving.contains(media.get()))
            continue;
        auto operation = std::make_shared<BackgroundConvertOperation>(media, m_settings);
        operation->setTally(m_tally);
        operation->setPaused(m_paused);
        m_queue->addOperation(operation);
    }
    if (m_queued < m_toQueue.size())
        QTimer::singleShot(0, this, &ListConversionRun::queueNextShare);
    else
        stopQueueing();
}

void ListConversionRun::stopQueueing()
{
    m_toQueue.clear();
    m_queued = 0;
    m_leaving.clear();
}

void ListConversionRun::stop()
{
    if (!m_isConverting)
        return;
    m_stopping = true;
    // Rows not queued yet stay pending, as waiting ones do, and count as stopped.
    for (qsizetype i = m_queued; i < m_toQueue.size(); ++i) {
        if (!m_leaving.contains(m_toQueue.at(i).get()))
            m_tally->count(RunTally::Outcome::Stopped);
    }
    stopQueueing();
    for (const OperationPtr &operation : m_queue->operations()) {
        if (auto conversion = std::dynamic_pointer_cast<ConvertOperation>(operation))
            conversion->stop();
        else
            operation->cancel();
    }
    // The stopped encoders are let go on so they can end; the waiting ones end unstarted.
    resume();
}

void ListConversionRun::pause()
{
    if (!m_isConverting || m_stopping || m_paused)
        return;
    m_paused = true;
    m_queue->setSuspended(true);
    for (const OperationPtr &operation : m_queue->operations()) {
        if (auto conversion = std::dynamic_pointer_cast<ConvertOperation>(operation))
            conversion->setPaused(true);
    }
    m_tally->pause();
}

void ListConversionRun::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_tally->resume();
    for (const OperationPtr &operation : m_queue->operations()) {
        if (auto conversion = std::dynamic_pointer_cast<ConvertOperation>(operation))
            conversion->setPaused(false);
    }
    m_queue->setSuspended(false);
}

void ListConversionRun::cancelItems(const QList<LSMediaPtr> &items)
{
    // A set, so that removing many rows from a long run stays linear.
    QSet<const LSMedia *> leaving;
    for (const LSMediaPtr &media : items) {
        leaving.insert(media.get());
        // Not queued yet: it never will be.
        if (!m_toQueue.isEmpty()) {
            m_leaving.insert(media.get());
            if (media->eumCvtState() == LSMedia::CvtStatePending)
                media->setEumCvtState(LSMedia::CvtStateCanceled);
        }
    }
    for (const OperationPtr &operation : m_queue->operations()) {
        auto conversion = std::dynamic_pointer_cast<ConvertOperation>(operation);
        if (conversion && leaving.contains(conversion->mediaToConvert().get()))
            conversion->cancel();
    }
}

QSet<const LSMedia *> ListConversionRun::heldItems() const
{
    QSet<const LSMedia *> held;
    for (const OperationPtr &operation : m_queue->operations()) {
        if (auto conversion = std::dynamic_pointer_cast<ConvertOperation>(operation))
            held.insert(conversion->mediaToConvert().get());
    }
    return held;
}

void ListConversionRun::refreshTableProgress()
{
    emit ticked();
    if (!m_timer || m_queue->operationCount() > 0 || !m_toQueue.isEmpty())
        return;
    m_timer->stop();
    m_timer->deleteLater();
    m_timer = nullptr;
    m_isConverting = false;
    m_stopping = false;
    m_tally->stop();
    emit runEnded();
}
