#include "engine/ConvertOperation.h"

#include "AppInfo.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "engine/EncoderCommandLine.h"
#include "engine/ScriptBridgeHelper.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr double kMaxLeftTime = 100000.0;
constexpr int kWaitSliceMs = 1000;
constexpr int kMaxPendingLine = 4096;

// The encoder's statistics lines ("size=... time=...", "frame=... fps=...") tell progress, not
// what went wrong.
bool isProgressLine(const QString &line)
{
    return line.startsWith(QLatin1String("size=")) || line.startsWith(QLatin1String("frame="));
}

} // namespace

ConvertOperation::ConvertOperation(LSMediaPtr media)
    : m_mediaToConvert(std::move(media))
{
    if (m_mediaToConvert)
        m_mediaToConvert->setEumCvtState(LSMedia::CvtStatePending);
}

ConvertOperation::~ConvertOperation()
{
    qCInfo(lcEngine).noquote() << QStringLiteral("operation dealloced");
    if (m_wraperTask) {
        m_wraperTask->stopProcess();
        m_wraperTask.reset();
    }
}

QString ConvertOperation::outputPath() const
{
    QMutexLocker locker(&m_lock);
    return m_outputPath;
}

QString ConvertOperation::lastErrorLine() const
{
    QMutexLocker locker(&m_lock);
    return m_lastErrorLine;
}

void ConvertOperation::setEncoderPathOverride(const QString &path)
{
    QMutexLocker locker(&m_lock);
    m_encoderOverride = path;
}

void ConvertOperation::cancel()
{
    Operation::cancel();
    // One that never gets to run ends here, not pending.
    if (!isExecuting() && !isFinished() && m_mediaToConvert)
        m_mediaToConvert->setEumCvtState(LSMedia::CvtStateCanceled);
    QMutexLocker locker(&m_lock);
    if (m_runningTask) {
        // The runner belongs to the worker thread: stop it there. The call is dropped if the
        // runner is gone by then.
        TaskWrapper *task = m_runningTask;
        QMetaObject::invokeMethod(
            task, [task] { task->stopProcess(); }, Qt::QueuedConnection);
    }
}

void ConvertOperation::main()
{
    LSMedia &media = *m_mediaToConvert;
    if (isCancelled()) {
        setState(LSMedia::CvtStateCanceled);
        return;
    }
    media.setFailureReason(QString());

    UserDefaults &defaults = UserDefaults::standard();
    const QString audioFolder = defaults.stringForKey(PrefKeys::AppAudioOutputFolder);
    const QString videoFolder = defaults.stringForKey(PrefKeys::AppVideoOutputFolder);
    QString encoderOverride;
    {
        QMutexLocker locker(&m_lock);
        encoderOverride = m_encoderOverride;
    }
    const EncoderCommand command = EncoderCommandLine::build(
        media, audioFolder, videoFolder, QCoreApplication::applicationFilePath(), encoderOverride);
    {
        QMutexLocker locker(&m_lock);
        m_outputPath = command.outputPath;
        m_lastErrorLine.clear();
        m_pendingLine.clear();
    }

    if (m_wraperTask) {
        m_wraperTask->stopProcess();
        m_wraperTask.reset();
    }
    m_iExitCode = 0;

    m_wraperTask = std::make_unique<TaskWrapper>(this, command.arguments);
    {
        QMutexLocker locker(&m_lock);
        m_runningTask = m_wraperTask.get();
    }
    m_wraperTask->startProcess();
    setState(LSMedia::CvtStateConverting);
    m_bIsConverting = true;
    // A cancel that came before the runner could be reached.
    if (isCancelled())
        m_wraperTask->stopProcess();

    // Run this thread's event loop in one-second slices until the exit status has come; its
    // arrival ends the slice at once.
    QEventLoop loop;
    QTimer slice;
    slice.setSingleShot(true);
    QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_waitLoop = &loop;
    do {
        slice.start(kWaitSliceMs);
        loop.exec();
    } while (m_bIsConverting);
    m_waitLoop = nullptr;

    {
        QMutexLocker locker(&m_lock);
        m_runningTask = nullptr;
    }
    // The exit status is in: nothing more reaches this operation, and the runner is released on
    // the thread that owns it.
    m_wraperTask.reset();

    if (m_iExitCode != 0) {
        setState(LSMedia::CvtStateCanceled);
        // The empty file that reserved the name was never written: do not leave it behind.
        const QFileInfo output(command.outputPath);
        if (output.isFile() && output.size() == 0)
            QFile::remove(command.outputPath);
        return;
    }

    if (syncToLibraryIfWanted(command.outputPath))
        setState(LSMedia::CvtStateFinished);
}

bool ConvertOperation::syncToLibraryIfWanted(const QString &outputPath)
{
    LSMedia &media = *m_mediaToConvert;
    const bool syncWanted = UserDefaults::standard().boolForKey(PrefKeys::AppBSyncToiTunes);
    const QString extension = media.strOutFileExt();
    const bool qualifies = media.eumDestFmtType() == 0 ||
                           extension.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0 ||
                           extension.compare(QLatin1String("m4a"), Qt::CaseInsensitive) == 0;
    if (!qualifies || !syncWanted)
        return true;

    setState(LSMedia::CvtStateSyncing);
    QString playlistName = UserDefaults::standard().stringForKey(PrefKeys::PlaylistName);
    if (playlistName.isEmpty())
        playlistName = QString::fromUtf8(AppInfo::kProductName);
    QString error;
    ScriptBridgeHelper::syncItunesLibrary(playlistName, outputPath, &error);
    if (error.isEmpty())
        return true;
    // The output itself is complete; only the playlist misses it.
    media.setFailureReason(QStringLiteral("not added to the playlist: %1").arg(error));
    setState(LSMedia::CvtStateFailed);
    return false;
}

void ConvertOperation::setState(qint32 state)
{
    const bool changed = m_mediaToConvert->eumCvtState() != state;
    m_mediaToConvert->setEumCvtState(state);
    if (changed && m_stateObserver)
        m_stateObserver(state);
}

void ConvertOperation::processStarted()
{
    m_bIsConverting = true;
}

void ConvertOperation::processFinished()
{
    qCInfo(lcEngine).noquote() << QStringLiteral("process finised...");
}

void ConvertOperation::launcherDidTerminatedWithCode(int status)
{
    qCInfo(lcEngine).noquote() << QStringLiteral("exit code:%1").arg(status);
    m_mediaToConvert->setDProgress(100.0f);
    m_iExitCode = status;
    {
        QMutexLocker locker(&m_lock);
        const QString pending = m_pendingLine.trimmed();
        if (!pending.isEmpty() && !isProgressLine(pending))
            m_lastErrorLine = pending;
        m_pendingLine.clear();
        const QString startError = m_wraperTask ? m_wraperTask->startErrorString() : QString();
        if (!startError.isEmpty())
            m_lastErrorLine = startError;
    }
    m_bIsConverting = false;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void ConvertOperation::noteDiagnostics(const QString &output)
{
    QMutexLocker locker(&m_lock);
    m_pendingLine += output;
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    const QStringList lines = m_pendingLine.split(lineEnd);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (!line.isEmpty() && !isProgressLine(line))
            m_lastErrorLine = line;
    }
    m_pendingLine = lines.last().right(kMaxPendingLine);
}

void ConvertOperation::appendOutput(const QString &output)
{
    qCInfo(lcEngine).noquote() << QStringLiteral("Append output:%1").arg(output);
    if (output.isEmpty())
        return;
    noteDiagnostics(output);

    LSMedia &media = *m_mediaToConvert;
    double clock = 0.0;
    double progress = 0.0;
    if (media.eumDestFmtType() == LSMedia::DestFmtAudio) {
        const qsizetype at = output.indexOf(QLatin1String("time="));
        if (at < 0)
            return;
        const double seconds = GlobalFun::getSecondsByTimeString(output.mid(at + 5, 8));
        clock = seconds;
        progress = seconds / media.dTrimLength() * 100.0;
    } else {
        if (!output.contains(QLatin1String("frame=")))
            return;
        int frame = 0;
        const QByteArray bytes = output.toUtf8();
        if (std::sscanf(bytes.constData(), "frame=%d", &frame) != 1 || frame == 0) {
            qCInfo(lcEngine).noquote() << QStringLiteral("frame 000000000000000000---");
            return;
        }
        clock = double(std::time(nullptr));
        progress = frame / (media.dTrimLength() * media.vOFps()) * 100.0;
    }
    // Without a length (or frame rate) there is no finite progress to show.
    if (!std::isfinite(progress))
        return;
    media.setDProgress(float(progress));

    const double elapsed = clock - m_dLastTime;
    const double gained = progress - m_dLastPrg;
    if (elapsed < 1.0 || gained < 0.1) {
        media.setDLeftTime(m_dLastLeftTime);
        return;
    }
    const double leftTime = std::min((100.0 - progress) / (gained / elapsed), kMaxLeftTime);
    media.setDLeftTime(leftTime);
    m_dLastPrg = progress;
    m_dLastTime = clock;
    m_dLastLeftTime = leftTime;
}
