#include "mainwindow/MediaLoader.h"

#include "Shared/GlobalFun.h"
#include "Shared/PathText.h"
#include "model/FormatUtils.h"
#include "model/MVMediaInfo.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

// A batch hands its items over when this many are ready or this long has passed, so a large
// folder shows up progressively without one queued call per file.
constexpr int kHandOverCount = 64;
constexpr qint64 kHandOverMs = 40;

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

void MediaLoader::load(const QList<Source> &sources)
{
    reapFinishedThreads();
    ++m_pendingBatches;
    QThread *thread = QThread::create([this, sources] { run(sources); });
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

LSMediaPtr MediaLoader::makeMedia(const QString &path)
{
    auto media = std::make_shared<LSMedia>();
    media->setFilePath(path);
    media->setStrOutFileName(PathText::baseName(path));
    MVMediaInfo::dumpMediaInfo(media.get());
    media->setDTrimLength(media->duration());

    UserDefaults &prefs = UserDefaults::standard();
    const QString preferred = prefs.stringForKey(PrefKeys::PreferedFormatName);
    const QString formatName = preferred.contains(QLatin1String("AAC"))
                                   ? QString(FormatNames::AacAudio)
                                   : QString(FormatNames::Mp3Audio);
    FormatUtils::sharedInstance()->fillMedia(media.get(), formatName);

    media->setBSampeQuality(prefs.boolForKey(PrefKeys::BSameQuality));
    if (!media->bSampeQuality()) {
        media->setDAOSamplerate(prefs.doubleForKey(PrefKeys::DoubleSamepleRate));
        media->setDAOBitrate(prefs.doubleForKey(PrefKeys::DoubleBitRate));
    }
    return media;
}

void MediaLoader::run(const QList<Source> &sources)
{
    FormatUtils::sharedInstance(); // the catalogue is loaded here, off the GUI thread, once

    QList<LSMediaPtr> ready;
    QElapsedTimer sinceHandOver;
    sinceHandOver.start();
    auto handOver = [this, &ready] {
        if (ready.isEmpty())
            return;
        QMetaObject::invokeMethod(
            this, [this, items = ready] { emit itemsLoaded(items); }, Qt::QueuedConnection);
        ready.clear();
    };
    auto loadFile = [&](const QString &path) {
        ready.append(makeMedia(path));
        if (ready.size() >= kHandOverCount || sinceHandOver.elapsed() >= kHandOverMs) {
            handOver();
            sinceHandOver.restart();
        }
    };
    const QStringList supported = GlobalFun::getSupportedFmts();
    for (const Source &source : sources) {
        if (m_stopping)
            break;
        if (!source.isFolder) {
            loadFile(source.path);
            continue;
        }
        for (const QString &path : GlobalFun::fileListAtDirenctory(source.path, supported)) {
            if (m_stopping)
                break;
            loadFile(path);
        }
    }
    handOver();
    QMetaObject::invokeMethod(
        this,
        [this] {
            --m_pendingBatches;
            emit batchFinished();
        },
        Qt::QueuedConnection);
}
