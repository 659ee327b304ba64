#include "engine/MediaLoader.h"

#include "model/FormatUtils.h"
#include "model/MediaItemBuilder.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Items are probed and handed over in chunks of this many files, so a large folder shows up
// progressively without one queued call per file.
constexpr qsizetype kChunkSize = 32;

// A text with its own storage, made by the calling thread; a null text stays null.
QString ownCopy(const QString &text)
{
    return text.isNull() ? QString() : QString(text.constData(), text.size());
}

// How much the probing gives way to the window: with every core probing, the window's
// insertions and redraws would otherwise wait behind it.
constexpr int kLoaderNice = 10;

} // namespace

MediaLoader::MediaLoader(QObject *parent)
    : QObject(parent)
{}

MediaLoader::~MediaLoader()
{
    m_stopping = true;
    for (QThread *thread : m_threads) {
        thread->wait();
        delete thread;
    }
}

void MediaLoader::load(const QStringList &paths, const ConversionSettings &settings, int batch)
{
    reapFinishedThreads();
    ++m_pendingBatches;
    const bool lowPriority = m_lowPriority;
    QThread *thread = QThread::create([this, paths, settings, batch, lowPriority] {
        if (lowPriority)
            lowerThisThreadsPriority();
        run(paths, settings, batch, lowPriority);
    });
    thread->setObjectName(QStringLiteral("MediaLoader"));
    m_threads.push_back(thread);
    thread->start();
}

// The items are made again here, on the receiving thread, with their own copies of the per-file
// texts: made among the probe's short-lived buffers, they would keep a great many half-empty pages
// of the loader threads' heaps resident for as long as the list holds them.
QList<LSMediaPtr> MediaLoader::settled(const QList<LSMediaPtr> &items)
{
    QList<LSMediaPtr> copies;
    copies.reserve(items.size());
    for (const LSMediaPtr &item : items) {
        LSMediaPtr copy = item->copy();
        copy->setFilePath(ownCopy(item->filePath()));
        copy->setStrOutFileName(ownCopy(item->strOutFileName()));
        copies.append(std::move(copy));
    }
    return copies;
}

void MediaLoader::reapFinishedThreads()
{
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if ((*it)->isFinished()) {
            (*it)->wait();
            delete *it;
            it = m_threads.erase(it);
        } else {
            ++it;
        }
    }
}

void MediaLoader::lowerThisThreadsPriority()
{
    const id_t thread = id_t(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && current < kLoaderNice)
        ::setpriority(PRIO_PROCESS, thread, kLoaderNice);
}

void MediaLoader::run(const QStringList &paths, const ConversionSettings &settings, int batch,
                      bool lowPriority)
{
    FormatUtils::sharedInstance(); // the catalogue is loaded here, off the GUI thread, once

    const AcceptedInputs inputs =
        InputCollector::collect(paths, &m_stopping, settings.convertOtherAudio);
    const QStringList &files = inputs.files;
    // In parts, so that a hand-over of many thousand paths that are not taken lets the receiving
    // thread turn between them.
    for (qsizetype from = 0; from < inputs.refused.size(); from += kRefusalsPerHandOver) {
        const QList<InputRefusal> refused = inputs.refused.mid(from, kRefusalsPerHandOver);
        QMetaObject::invokeMethod(
            this, [this, refused] { emit inputsRefused(refused); }, Qt::QueuedConnection);
    }
    if (!inputs.folders.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, batch, folders = inputs.folders] { emit foldersNamed(batch, folders); },
            Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(
        this,
        [this, batch, files = inputs.files, roots = inputs.roots] {
            emit inputsAccepted(batch, files, roots);
        },
        Qt::QueuedConnection);

    // The files are probed in chunks by this thread and, for a larger batch, one helper thread;
    // this thread hands the finished chunks over strictly in their order.
    struct Chunk
    {
        QList<LSMediaPtr> items;
        std::atomic<bool> done{false};
    };
    const int chunkCount = int((files.size() + kChunkSize - 1) / kChunkSize);
    std::vector<Chunk> chunks(static_cast<size_t>(chunkCount));
    std::atomic<int> nextChunk{0};
    // Probes the next unclaimed chunk; false when none is left.
    auto probeNextChunk = [&] {
        const int index = nextChunk++;
        if (index >= chunkCount)
            return false;
        Chunk &chunk = chunks[size_t(index)];
        const qsizetype end = qMin(qsizetype(index + 1) * kChunkSize, files.size());
        for (qsizetype i = qsizetype(index) * kChunkSize; i < end && !m_stopping; ++i)
            chunk.items.append(
                MediaItemBuilder::makeMedia(files.at(i), settings, inputs.roots.at(i)));
        chunk.done.store(true, std::memory_order_release);
        return true;
    };
    int handedOver = 0;
    QList<LSMediaPtr> ready;
    QElapsedTimer sinceHandOver;
    auto handOverFinishedChunks = [&](bool last) {
        while (handedOver < chunkCount &&
               chunks[size_t(handedOver)].done.load(std::memory_order_acquire)) {
            ready += chunks[size_t(handedOver)].items;
            chunks[size_t(handedOver)].items.clear();
            ++handedOver;
        }
        if (ready.isEmpty())
            return;
        if (!last && sinceHandOver.isValid() && sinceHandOver.elapsed() < kHandOverIntervalMs)
            return;
        sinceHandOver.start();
        QMetaObject::invokeMethod(
            this,
            [this, batch, items = std::move(ready)] { emit itemsLoaded(batch, settled(items)); },
            Qt::QueuedConnection);
        ready = QList<LSMediaPtr>();
    };

    std::unique_ptr<QThread> helper;
    if (chunkCount > 1 && QThread::idealThreadCount() > 1) {
        helper.reset(QThread::create([&] {
            if (lowPriority)
                lowerThisThreadsPriority();
            while (probeNextChunk()) {
            }
        }));
        helper->start();
    }
    while (probeNextChunk())
        handOverFinishedChunks(false);
    if (helper)
        helper->wait();
    handOverFinishedChunks(true);

    QMetaObject::invokeMethod(
        this,
        [this, batch] {
            --m_pendingBatches;
            emit batchFinished(batch);
        },
        Qt::QueuedConnection);
}
