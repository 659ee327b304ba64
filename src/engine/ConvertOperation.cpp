#include "engine/ConvertOperation.h"

#include "AppInfo.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "engine/CoverShrink.h"
#include "engine/EncoderCommandLine.h"
#include "engine/OutputReservation.h"
#include "engine/RunTally.h"
#include "engine/ScriptBridgeHelper.h"
#include "engine/TagCompletion.h"
#include "engine/TemporaryOutput.h"
#include "engine/UpToDateCheck.h"
#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTimer>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr double kMaxLeftTime = 100000.0;
constexpr int kWaitSliceMs = 1000;
// An output this much shorter than its input did not get all of it.
constexpr double kShortBySeconds = 1.0;
constexpr double kShortByShare = 0.02;

QString tr(const char *text)
{
    return QCoreApplication::translate("ConvertOperation", text);
}

} // namespace

ConvertOperation::ConvertOperation(LSMediaPtr media)
    : ConvertOperation(std::move(media), ConversionSettings::current())
{}

ConvertOperation::ConvertOperation(LSMediaPtr media, ConversionSettings settings)
    : m_mediaToConvert(std::move(media))
    , m_settings(std::move(settings))
{
    if (m_mediaToConvert)
        m_mediaToConvert->setEumCvtState(LSMedia::CvtStatePending);
}

ConvertOperation::~ConvertOperation()
{
    // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
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

QString ConvertOperation::temporaryPath() const
{
    QMutexLocker locker(&m_lock);
    return m_temporaryPath;
}

QString ConvertOperation::lastErrorLine() const
{
    QMutexLocker locker(&m_lock);
    return m_startError.isEmpty() ? m_diagnostics.lastLine() : m_startError;
}

QString ConvertOperation::failureReason() const
{
    QMutexLocker locker(&m_lock);
    return m_failureReason;
}

void ConvertOperation::setEncoderPathOverride(const QString &path)
{
    QMutexLocker locker(&m_lock);
    m_encoderOverride = path;
}

void ConvertOperation::cancel()
{
    Operation::cancel();
    // One that never gets to run ends here: cancelled, or back to pending when stopped.
    if (!isExecuting() && !isFinished() && m_mediaToConvert) {
        m_mediaToConvert->setEumCvtState(m_backToPending ? LSMedia::CvtStatePending
                                                         : LSMedia::CvtStateCanceled);
        tallyOnce();
    }
    QMutexLocker locker(&m_lock);
    if (m_runningTask) {
        // The runner belongs to the worker thread: stop it there. The call is dropped if the
        // runner is gone by then.
        TaskWrapper *task = m_runningTask;
        QMetaObject::invokeMethod(
            task, [task] { task->stopProcess(); }, Qt::QueuedConnection);
    }
}

void ConvertOperation::stop()
{
    m_backToPending = true;
    cancel();
}

void ConvertOperation::setPaused(bool paused)
{
    QMutexLocker locker(&m_lock);
    m_paused = paused;
    // Signalled from here rather than through the worker's event loop: a caller about to stop
    // the whole program (Ctrl-Z) must know the encoder is held before it goes.
    if (m_encoderPid > 0)
        ::kill(pid_t(m_encoderPid), paused ? SIGSTOP : SIGCONT);
}

void ConvertOperation::skipped()
{
    setState(m_backToPending ? LSMedia::CvtStatePending : LSMedia::CvtStateCanceled);
    tallyOnce();
}

void ConvertOperation::main()
{
    convert();
    tallyOnce();
}

void ConvertOperation::convert()
{
    LSMedia &media = *m_mediaToConvert;
    if (isCancelled()) {
        setState(m_backToPending ? LSMedia::CvtStatePending : LSMedia::CvtStateCanceled);
        return;
    }
    media.clearConversionNotes();

    QString encoderOverride;
    {
        QMutexLocker locker(&m_lock);
        encoderOverride = m_encoderOverride;
    }
    const QString settings = UpToDateCheck::settingsKey(
        media, m_settings.keepCover, EncoderCommandLine::copiesAudio(media, m_settings));
    // Taken before the encoder reads the input: a change while it runs shows at the next run.
    const ConversionRecord::Stamp inputStamp = ConversionRecord::Stamp::of(media.filePath());
    // Only an output the record says this input made is skipped or replaced.
    QString replacedOutput;
    QString formerOutput; // made from this input before, and gone
    if (m_settings.skipConverted) {
        const UpToDateCheck::Decision decision =
            UpToDateCheck::decide(media, UpToDateCheck::checkedPath(media, m_settings),
                                  UpToDateCheck::plannedPaths(media, m_settings), settings,
                                  m_settings.keepFolders, ConversionRecord::standard());
        if (decision.verdict == UpToDateCheck::Verdict::UpToDate) {
            endUpToDate(decision.output);
            return;
        }
        if (decision.verdict == UpToDateCheck::Verdict::Replace)
            replacedOutput = decision.output;
        else
            formerOutput = decision.output;
    }
    const EncoderCommand command = EncoderCommandLine::build(
        media, m_settings, QCoreApplication::applicationFilePath(), encoderOverride);
    {
        QMutexLocker locker(&m_lock);
        m_outputPath.clear();
        m_temporaryPath = command.temporaryPath;
        m_startError.clear();
        m_failureReason.clear();
        m_diagnostics.clear();
    }
    if (command.temporaryPath.isEmpty()) {
        m_mediaToConvert->setDProgress(100.0f);
        endFailed(command.reserveError);
        return;
    }

    runEncoder(command.arguments, command.reservation->descriptor());
    {
        QMutexLocker locker(&m_lock);
        media.setStrEncoderOutput(m_diagnostics.lines().join(QLatin1Char('\n')));
    }

    if (m_iExitCode != 0 || isCancelled()) {
        command.reservation->discard();
        if (isCancelled()) {
            setState(LSMedia::CvtStateCanceled);
            return;
        }
        QString reason;
        {
            QMutexLocker locker(&m_lock);
            reason = m_startError.isEmpty() ? m_diagnostics.mostTellingLine() : m_startError;
        }
        if (reason.isEmpty())
            reason = tr("the encoder ended with status %1").arg(m_iExitCode.load());
        // The encoder names the file it wrote; the user knows the output by its name.
        reason.replace(command.reservation->encoderTarget(), command.outputPath);
        reason.replace(command.temporaryPath, command.outputPath);
        endFailed(reason);
        return;
    }

    // Through the descriptor, like the encoder: the temporary's name could be swapped meanwhile.
    QString tagError;
    if (!completeTags(command.reservation->encoderTarget(), command.arguments.value(0),
                      &tagError)) {
        command.reservation->discard();
        tagError.replace(command.reservation->encoderTarget(), command.outputPath);
        endFailed(tagError);
        return;
    }

    QString renameError;
    const QString output = !replacedOutput.isEmpty()
                               ? command.reservation->replace(replacedOutput, &renameError)
                               : EncoderCommandLine::commitOutput(command, media, &renameError);
    if (output.isEmpty()) {
        command.reservation->discard();
        endFailed(renameError);
        return;
    }
    {
        QMutexLocker locker(&m_lock);
        m_outputPath = output;
    }
    qCInfo(lcEngine).noquote() << QStringLiteral("output:%1").arg(output);
    const bool complete = !noteShortOutput(output);
    QString recordError;
    if (!UpToDateCheck::noteConverted(ConversionRecord::standard(), media, inputStamp, output,
                                      settings, complete, &recordError))
        qCWarning(lcEngine).noquote()
            << QStringLiteral("%1 not entered in the conversion record: %2")
                   .arg(output, recordError);
    const bool sameName =
        !replacedOutput.isEmpty() ||
        (!formerOutput.isEmpty() && UpToDateCheck::realPath(output) == formerOutput);
    if (syncToLibraryIfWanted(output, sameName))
        setState(LSMedia::CvtStateFinished);
}

void ConvertOperation::tallyOnce()
{
    if (m_tallied.exchange(true))
        return;
    if (m_tally)
        m_tally->count(*m_mediaToConvert);
}

bool ConvertOperation::completeTags(const QString &temporaryPath, const QString &encoder,
                                    QString *error)
{
    const LSMedia &media = *m_mediaToConvert;
    const OutputFormat *format = OutputFormat::withTitle(media.strFmtName());
    if (!format || !TagCompletion::needed(*format))
        return true;
    EmbeddedTags tags = MVMediaInfo::readEmbeddedTags(media.filePath());
    if (m_settings.keepCover && m_settings.coverMaxSize > 0 && !tags.cover.isEmpty()) {
        // The covers written here keep to the chosen size as the encoder's own do.
        const QByteArray smaller =
            CoverShrink::toJpeg(tags.cover, m_settings.coverMaxSize, encoder);
        if (smaller.isEmpty()) {
            qCWarning(lcEngine).noquote()
                << QStringLiteral("could not make the cover of %1 smaller; it is left out")
                       .arg(media.filePath());
            tags.cover.clear();
        } else {
            tags.cover = smaller;
            tags.coverMimeType = QStringLiteral("image/jpeg");
        }
    }
    return TagCompletion::complete(temporaryPath, *format, tags, m_settings.keepCover, error);
}

void ConvertOperation::runEncoder(const QStringList &arguments, int outputDescriptor)
{
    if (m_wraperTask) {
        m_wraperTask->stopProcess();
        m_wraperTask.reset();
    }
    m_iExitCode = 0;

    m_wraperTask = std::make_unique<TaskWrapper>(this, arguments);
    m_wraperTask->setInheritedDescriptor(outputDescriptor);
    {
        QMutexLocker locker(&m_lock);
        m_runningTask = m_wraperTask.get();
    }
    m_wraperTask->startProcess();
    setState(LSMedia::CvtStateConverting);
    m_bIsConverting = true;
    {
        // A pause that came before the encoder was there holds it now.
        QMutexLocker locker(&m_lock);
        m_encoderPid = m_wraperTask->processId();
        if (m_paused && m_encoderPid > 0)
            ::kill(pid_t(m_encoderPid), SIGSTOP);
    }
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
}

void ConvertOperation::endUpToDate(const QString &outputPath)
{
    qCInfo(lcEngine).noquote() << QStringLiteral("up to date:%1").arg(outputPath);
    {
        QMutexLocker locker(&m_lock);
        m_outputPath = outputPath;
    }
    m_mediaToConvert->setDProgress(100.0f);
    setState(LSMedia::CvtStateUpToDate);
}

void ConvertOperation::endFailed(const QString &reason)
{
    qCInfo(lcEngine).noquote() << QStringLiteral("failed:%1").arg(reason);
    {
        QMutexLocker locker(&m_lock);
        m_failureReason = reason;
    }
    m_mediaToConvert->setFailureReason(reason);
    setState(LSMedia::CvtStateCanceled);
}

// A damaged input ends the encoder early but without an error: compare what came out with what
// the probe promised.
bool ConvertOperation::noteShortOutput(const QString &outputPath)
{
    const LSMedia &media = *m_mediaToConvert;
    const double expected = media.dTrimLength() > 0.0 ? media.dTrimLength() : media.duration();
    if (!(expected > 0.0))
        return false;
    MVMediaInfoItem probe;
    probe.setFilePath(outputPath);
    if (!MVMediaInfo::dumpMediaInfo(&probe))
        return false;
    const double got = probe.duration();
    if (expected - got <= std::max(kShortBySeconds, expected * kShortByShare))
        return false;
    const QString warning =
        tr("the input ends early: %1 s of %2 s").arg(got, 0, 'f', 1).arg(expected, 0, 'f', 1);
    qCWarning(lcEngine).noquote() << QStringLiteral("%1: %2").arg(outputPath, warning);
    m_mediaToConvert->setStrWarning(warning);
    return true;
}

bool ConvertOperation::syncToLibraryIfWanted(const QString &outputPath, bool replaced)
{
    LSMedia &media = *m_mediaToConvert;
    const OutputFormat *format = OutputFormat::withExtension(media.strOutFileExt());
    const bool qualifies = media.eumDestFmtType() == 0 || (format && format->goesToMusicLibrary());
    if (!qualifies || !m_settings.syncToLibrary)
        return true;

    setState(LSMedia::CvtStateSyncing);
    QString playlistName = m_settings.playlistName;
    if (playlistName.isEmpty())
        playlistName = QString::fromUtf8(AppInfo::kProductName);
    QString error;
    ScriptBridgeHelper::syncItunesLibrary(playlistName, outputPath, &error, replaced);
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
    // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
    qCInfo(lcEngine).noquote() << QStringLiteral("process finised...");
}

void ConvertOperation::launcherDidTerminatedWithCode(int status)
{
    {
        QMutexLocker locker(&m_lock);
        m_encoderPid = 0;
    }
    qCInfo(lcEngine).noquote() << QStringLiteral("exit code:%1").arg(status);
    m_mediaToConvert->setDProgress(100.0f);
    m_iExitCode = status;
    {
        QMutexLocker locker(&m_lock);
        m_diagnostics.finish();
        m_startError = m_wraperTask ? m_wraperTask->startErrorString() : QString();
    }
    m_bIsConverting = false;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void ConvertOperation::appendOutput(const QString &output)
{
    qCInfo(lcEngine).noquote() << QStringLiteral("Append output:%1").arg(output);
    if (output.isEmpty())
        return;
    {
        QMutexLocker locker(&m_lock);
        m_diagnostics.append(output);
    }

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
            // Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
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
