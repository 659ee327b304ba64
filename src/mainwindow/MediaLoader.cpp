#include "mainwindow/MediaLoader.h"

#include "model/FormatUtils.h"
#include "model/MediaItemBuilder.h"

#include <QThread>

#include <memory>

namespace {

// Items are probed and handed over in chunks of this many files, so a large folder shows up
// progressively without one queued call per file.
constexpr qsizetype kChunkSize = 32;

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

void MediaLoader::load(const QStringList &paths)
{
    reapFinishedThreads();
    ++m_pendingBatches;
    QThread *thread = QThread::create([this, paths] { run(paths); });
    thread->setObjectName(QStringLiteral("MediaLoader"));
    m_threads.push_back(thread);
    thread->start();
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

void MediaLoader::run(const QStringList &paths)
{
    FormatUtils::sharedInstance(); // the catalogue is loaded here, off the GUI thread, once

    const AcceptedInputs inputs = InputCollector::collect(paths, &m_stopping);
    const QStringList &files = inputs.files;
    if (!inputs.refused.isEmpty()) {
        const QList<InputRefusal> refused = inputs.refused;
        QMetaObject::invokeMethod(
            this, [this, refused] { emit inputsRefused(refused); }, Qt::QueuedConnection);
    }

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
            chunk.items.append(MediaItemBuilder::makeMedia(files.at(i), inputs.roots.at(i)));
        chunk.done.store(true, std::memory_order_release);
        return true;
    };
    int handedOver = 0;
    auto handOverFinishedChunks = [&] {
        QList<LSMediaPtr> ready;
        while (handedOver < chunkCount &&
               chunks[size_t(handedOver)].done.load(std::memory_order_acquire)) {
            ready += chunks[size_t(handedOver)].items;
            chunks[size_t(handedOver)].items.clear();
            ++handedOver;
        }
        if (ready.isEmpty())
            return;
        QMetaObject::invokeMethod(
            this, [this, ready] { emit itemsLoaded(ready); }, Qt::QueuedConnection);
    };

    std::unique_ptr<QThread> helper;
    if (chunkCount > 1 && QThread::idealThreadCount() > 1) {
        helper.reset(QThread::create([&] {
            while (probeNextChunk()) {
            }
        }));
        helper->start();
    }
    while (probeNextChunk())
        handOverFinishedChunks();
    if (helper)
        helper->wait();
    handOverFinishedChunks();

    QMetaObject::invokeMethod(
        this,
        [this] {
            --m_pendingBatches;
            emit batchFinished();
        },
        Qt::QueuedConnection);
}
