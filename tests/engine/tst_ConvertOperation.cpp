#include "OtherUser.h"
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/ConvertOperation.h"
#include "engine/EncoderDiagnostics.h"
#include "model/ConversionSettings.h"
#include "model/MVMediaInfo.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

constexpr double kSeconds = 3.0;

const TestAudio::Tags kFlacTags{{QStringLiteral("TITLE"), QStringLiteral("Flac Title")},
                                {QStringLiteral("ARTIST"), QStringLiteral("Flac Artist")},
                                {QStringLiteral("ALBUM"), QStringLiteral("Flac Album")},
                                {QStringLiteral("TRACKNUMBER"), QStringLiteral("3")}};
const TestAudio::Tags kOggTags{{QStringLiteral("TITLE"), QStringLiteral("Ogg Title")},
                               {QStringLiteral("ARTIST"), QStringLiteral("Ogg Artist")},
                               {QStringLiteral("ALBUM"), QStringLiteral("Ogg Album")},
                               {QStringLiteral("TRACKNUMBER"), QStringLiteral("4")}};

// An item as the loader would fill it from the catalogue row of `extension`.
LSMediaPtr audioItem(const QString &input, const QString &extension, double seconds = kSeconds)
{
    auto item = std::make_shared<LSMedia>();
    item->setFilePath(input);
    item->setStrOutFileName(QFileInfo(input).completeBaseName());
    item->setStrOutFileExt(extension);
    item->setEumDestFmtType(LSMedia::DestFmtAudio);
    item->setVOACodecName(extension.compare(QLatin1String("mp3"), Qt::CaseInsensitive) == 0
                              ? QStringLiteral("libmp3lame")
                              : QStringLiteral("aac"));
    item->setDAOSamplerate(44100);
    item->setDAOBitrate(128);
    item->setDuration(seconds);
    item->setDTrimLength(seconds);
    return item;
}

// Notes every state an item passes through, starting with the one it has before the run.
class StateWatcher
{
public:
    StateWatcher(const LSMediaPtr &item, ConvertOperation &operation)
    {
        m_states << item->eumCvtState();
        operation.setStateObserver([this](qint32 state) {
            QMutexLocker locker(&m_lock);
            m_states << state;
        });
    }
    QList<qint32> states()
    {
        QMutexLocker locker(&m_lock);
        return m_states;
    }

private:
    QMutex m_lock;
    QList<qint32> m_states;
};

// A queue slot kept busy until the test opens it.
class GatedOperation : public Operation
{
public:
    void main() override { gate.acquire(); }
    QSemaphore gate;
};

} // namespace

class TestConvertOperation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_sources;
    QString m_outputFolder;
    QString m_flac;
    QString m_ogg;

    static UserDefaults &defaults() { return UserDefaults::standard(); }

    static void runAll(const QList<std::shared_ptr<ConvertOperation>> &operations, int width)
    {
        OperationQueue queue(width);
        for (const auto &operation : operations)
            queue.addOperation(operation);
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 240000);
    }

    QString playlistText(const QString &name) const
    {
        QFile file(TestEnvironment::home() + QStringLiteral("/Music/") + name +
                   QStringLiteral(".m3u8"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }

private slots:
    void initTestCase()
    {
        m_outputFolder = TestEnvironment::home() + QStringLiteral("/Music/Audio Converted");
        QVERIFY(QDir().mkpath(m_outputFolder));
        defaults().setValue(PrefKeys::AppAudioOutputFolder, m_outputFolder);
        defaults().setValue(PrefKeys::AppVideoOutputFolder,
                            TestEnvironment::home() + QStringLiteral("/Music/Video Converted"));
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        m_flac = m_sources.path() + QStringLiteral("/tagged song.flac");
        m_ogg = m_sources.path() + QStringLiteral("/tagged song.ogg");
        QVERIFY(TestAudio::makeFlac(m_flac, kSeconds, kFlacTags));
        QVERIFY(TestAudio::makeOgg(m_ogg, kSeconds, kOggTags));
    }

    void progressParsing_data()
    {
        QTest::addColumn<int>("destType");
        QTest::addColumn<double>("trimLength");
        QTest::addColumn<double>("fps");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<float>("progress");
        QTest::addColumn<double>("leftTime");
        QTest::addColumn<bool>("zeroFrameLog");
        const int audio = LSMedia::DestFmtAudio;

        QTest::newRow("video frames")
            << 0 << 20.0 << 25.0
            << QStringList{QStringLiteral("frame=  250 fps= 25 q=28.0 size=     512kB")} << 50.0f
            << 100000.0 << false; // first video estimate is measured from clock 0: capped
        QTest::newRow("audio time")
            << audio << 130.0 << 0.0
            << QStringList{QStringLiteral(
                   "size=    1024kB time=00:01:05.20 bitrate= 128.0kbits/s\r")}
            << 50.0f << 65.0 << false;
        QTest::newRow("frame not at the start")
            << 0 << 20.0 << 25.0 << QStringList{QStringLiteral("\rframe=  250 fps= 25")} << 0.0f
            << 0.0 << true;
        QTest::newRow("frame zero")
            << 0 << 20.0 << 25.0 << QStringList{QStringLiteral("frame=    0 fps=0.0")} << 0.0f
            << 0.0 << true;
        QTest::newRow("audio chunk without time")
            << audio << 130.0 << 0.0 << QStringList{QStringLiteral("Input #0, flac, from 'a'")}
            << 0.0f << 0.0 << false;
        QTest::newRow("empty and null chunks")
            << audio << 130.0 << 0.0 << QStringList{QString(), QStringLiteral("")} << 0.0f << 0.0
            << false;
        QTest::newRow("no elapsed time keeps the initial estimate")
            << audio << 100.0 << 0.0 << QStringList{QStringLiteral("time=00:00:00.50")} << 0.0f
            << 1000.0 << false;
        QTest::newRow("too little gained keeps the last estimate")
            << audio << 100.0 << 0.0
            << QStringList{QStringLiteral("time=00:00:10.00"), QStringLiteral("time=00:00:10.90")}
            << 10.0f << 90.0 << false;
        QTest::newRow("estimate counts media seconds")
            << audio << 100.0 << 0.0
            << QStringList{QStringLiteral("time=00:00:10.00"), QStringLiteral("time=00:00:30.00")}
            << 30.0f << 70.0 << false;
        QTest::newRow("no length gives no progress")
            << audio << 0.0 << 0.0 << QStringList{QStringLiteral("time=00:00:05.00")} << 0.0f << 0.0
            << false;
        QTest::newRow("video without frame rate gives no progress")
            << 0 << 20.0 << 0.0 << QStringList{QStringLiteral("frame=  250 fps= 25")} << 0.0f << 0.0
            << false;
    }
    void progressParsing()
    {
        QFETCH(int, destType);
        QFETCH(double, trimLength);
        QFETCH(double, fps);
        QFETCH(QStringList, chunks);
        QFETCH(float, progress);
        QFETCH(double, leftTime);
        QFETCH(bool, zeroFrameLog);
        auto item = std::make_shared<LSMedia>();
        item->setEumDestFmtType(destType);
        item->setDTrimLength(trimLength);
        item->setVOFps(fps);
        ConvertOperation operation(item);
        if (zeroFrameLog)
            QTest::ignoreMessage(QtInfoMsg, "frame 000000000000000000---");
        for (const QString &chunk : chunks)
            operation.appendOutput(chunk);
        QCOMPARE(item->dProgress(), progress);
        QCOMPARE(item->dLeftTime(), leftTime);
    }

    void exitStatusEndsAtFullProgress()
    {
        auto item = std::make_shared<LSMedia>();
        item->setEumCvtState(LSMedia::CvtStateFinished);
        ConvertOperation operation(item);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStatePending));
        operation.appendOutput(
            QStringLiteral("x.flac: Invalid data found when processing input\n"));
        operation.appendOutput(QStringLiteral("size=  1kB time=00:00:01.00 bitrate=1\r"));
        operation.launcherDidTerminatedWithCode(1);
        QCOMPARE(item->dProgress(), 100.0f);
        QCOMPARE(operation.exitCode(), 1);
        QCOMPARE(operation.lastErrorLine(),
                 QStringLiteral("x.flac: Invalid data found when processing input"));
    }

    void convertsAndKeepsTags_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("sync");
        QTest::newRow("flac to mp3") << QStringLiteral("flac") << QStringLiteral("mp3") << true;
        QTest::newRow("flac to m4a") << QStringLiteral("flac") << QStringLiteral("m4a") << false;
        QTest::newRow("ogg to mp3") << QStringLiteral("ogg") << QStringLiteral("mp3") << false;
        QTest::newRow("ogg to m4a") << QStringLiteral("ogg") << QStringLiteral("m4a") << true;
    }
    void convertsAndKeepsTags()
    {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(bool, sync);
        const bool isFlac = source == QLatin1String("flac");
        const TestAudio::Tags &tags = isFlac ? kFlacTags : kOggTags;
        const QString playlist = QStringLiteral("List %1 %2").arg(source, extension);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, sync);
        defaults().setValue(PrefKeys::PlaylistName, playlist);

        LSMediaPtr item = audioItem(isFlac ? m_flac : m_ogg, extension);
        auto operation = std::make_shared<ConvertOperation>(item);
        StateWatcher watcher(item, *operation);
        runAll({operation}, 1);
        const QList<qint32> states = watcher.states();

        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(item->dProgress(), 100.0f);
        QCOMPARE(states, (sync ? QList<qint32>{0, 1, 2, 5} : QList<qint32>{0, 1, 5}));

        const QString output = operation->outputPath();
        QVERIFY(output.startsWith(m_outputFolder + QLatin1Char('/')));
        QVERIFY(output.endsWith(QLatin1Char('.') + extension));
        QVERIFY(qAbs(TestAudio::probeDuration(output) - kSeconds) < 0.2);
        const TestAudio::Tags written = TestAudio::readTags(output);
        for (const char *name : {"TITLE", "ARTIST", "ALBUM"})
            QCOMPARE(written.value(QLatin1String(name)), tags.value(QLatin1String(name)));
        QVERIFY2(written.value(QStringLiteral("TRACK"))
                     .startsWith(tags.value(QStringLiteral("TRACKNUMBER"))),
                 qPrintable(written.value(QStringLiteral("TRACK"))));

        const QString entries = playlistText(playlist);
        QCOMPARE(entries.contains(QFileInfo(output).fileName()), sync);
    }

    void frontCoverIsKept_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("outputCodec");
        // FLAC keeps a PICTURE block, Ogg a METADATA_BLOCK_PICTURE comment; PNG and JPEG are
        // copied as they are, a GIF (which MP4 cannot hold) becomes PNG.
        QTest::newRow("flac png to mp3") << "flac"
                                         << "png"
                                         << "mp3"
                                         << "png";
        QTest::newRow("flac png to m4a") << "flac"
                                         << "png"
                                         << "m4a"
                                         << "png";
        QTest::newRow("ogg jpeg to mp3") << "ogg"
                                         << "jpg"
                                         << "mp3"
                                         << "mjpeg";
        QTest::newRow("ogg jpeg to m4a") << "ogg"
                                         << "jpg"
                                         << "m4a"
                                         << "mjpeg";
        QTest::newRow("flac gif to m4a") << "flac"
                                         << "gif"
                                         << "m4a"
                                         << "png";
        QTest::newRow("flac gif to mp3") << "flac"
                                         << "gif"
                                         << "mp3"
                                         << "png";
    }
    void frontCoverIsKept()
    {
        QFETCH(QString, source);
        QFETCH(QString, picture);
        QFETCH(QString, extension);
        QFETCH(QString, outputCodec);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        defaults().removeObjectForKey(PrefKeys::AppKeepCoverArt);
        const QSize size(64, 48);
        const QString stem =
            m_sources.path() + QStringLiteral("/cover %1 %2 %3").arg(source, picture, extension);
        const QString image = stem + QLatin1Char('.') + picture;
        const QString input = stem + QLatin1Char('.') + source;
        QVERIFY(TestAudio::makePicture(image, size));
        if (source == QLatin1String("flac")) {
            QVERIFY(TestAudio::makeFlac(input, 1.0, kFlacTags));
            QVERIFY(TestAudio::addFlacCover(input, image));
        } else {
            QVERIFY(TestAudio::makeOgg(input, 1.0, kOggTags));
            QVERIFY(TestAudio::addOggCover(input, image, QStringLiteral("image/jpeg"), size));
        }

        LSMediaPtr item = audioItem(input, extension, 1.0);
        QVERIFY(MVMediaInfo::dumpMediaInfo(item.get()));
        QVERIFY(item->coverStreamIndex() >= 0);
        auto operation = std::make_shared<ConvertOperation>(item);
        runAll({operation}, 1);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        const TestAudio::Cover cover = TestAudio::probeCover(operation->outputPath());
        QCOMPARE(cover.codec, outputCodec);
        QCOMPARE(cover.size, size);
        // The picture rides along with the tags, not instead of them.
        const TestAudio::Tags written = TestAudio::readTags(operation->outputPath());
        QCOMPARE(written.value(QStringLiteral("TITLE")),
                 (source == QLatin1String("flac") ? kFlacTags : kOggTags)
                     .value(QStringLiteral("TITLE")));
        QVERIFY(!written.contains(QStringLiteral("METADATA_BLOCK_PICTURE")));

        // "Keep cover art" off: the same input converts without its picture.
        defaults().setValue(PrefKeys::AppKeepCoverArt, false);
        LSMediaPtr bare = audioItem(input, extension, 1.0);
        QVERIFY(MVMediaInfo::dumpMediaInfo(bare.get()));
        auto without = std::make_shared<ConvertOperation>(bare);
        runAll({without}, 1);
        defaults().removeObjectForKey(PrefKeys::AppKeepCoverArt);
        QCOMPARE(bare->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QVERIFY(TestAudio::probeCover(without->outputPath()).codec.isEmpty());
    }

    void oggWithASkeletonStreamFirstKeepsItsTags()
    {
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        const QString skeleton = m_sources.path() + QStringLiteral("/skeleton first.ogg");
        QVERIFY(TestAudio::addOggSkeleton(m_ogg, skeleton));
        LSMediaPtr item = audioItem(skeleton, QStringLiteral("mp3"));
        QVERIFY(MVMediaInfo::dumpMediaInfo(item.get()));
        auto operation = std::make_shared<ConvertOperation>(item);
        runAll({operation}, 1);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        const TestAudio::Tags written = TestAudio::readTags(operation->outputPath());
        for (const char *name : {"TITLE", "ARTIST", "ALBUM"})
            QCOMPARE(written.value(QLatin1String(name)), kOggTags.value(QLatin1String(name)));
    }

    void whichOutputsAreSynced_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("destType");
        QTest::addColumn<bool>("synced");
        QTest::newRow("MP3 in capitals")
            << QStringLiteral("MP3") << int(LSMedia::DestFmtAudio) << true;
        QTest::newRow("aac") << QStringLiteral("aac") << int(LSMedia::DestFmtAudio) << false;
    }
    void whichOutputsAreSynced()
    {
        QFETCH(QString, extension);
        QFETCH(int, destType);
        QFETCH(bool, synced);
        const QString playlist = QStringLiteral("Qualify %1").arg(extension);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, true);
        defaults().setValue(PrefKeys::PlaylistName, playlist);
        LSMediaPtr item = audioItem(m_flac, extension);
        item->setEumDestFmtType(destType);
        auto operation = std::make_shared<ConvertOperation>(item);
        runAll({operation}, 1);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(playlistText(playlist).contains(QFileInfo(operation->outputPath()).fileName()),
                 synced);
    }

    void failedRunsEndCanceled_data()
    {
        QTest::addColumn<bool>("corruptInput");
        QTest::newRow("corrupt input") << true;
        QTest::newRow("missing encoder") << false;
    }
    void failedRunsEndCanceled()
    {
        QFETCH(bool, corruptInput);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, true);
        defaults().setValue(PrefKeys::PlaylistName, QStringLiteral("Never"));
        QString input = m_flac;
        if (corruptInput) {
            input = m_sources.path() + QStringLiteral("/corrupt.flac");
            QFile file(input);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        LSMediaPtr item = audioItem(input, QStringLiteral("mp3"));
        auto operation = std::make_shared<ConvertOperation>(item);
        if (!corruptInput)
            operation->setEncoderPathOverride(QStringLiteral("/nonexistent/wavelark/ffmpeg"));
        StateWatcher watcher(item, *operation);
        runAll({operation}, 1);
        QCOMPARE(watcher.states(), (QList<qint32>{0, 1, 4}));
        QVERIFY(operation->exitCode() != 0);
        QVERIFY(!operation->lastErrorLine().isEmpty());
        QCOMPARE(item->dProgress(), 100.0f);
        // The reserved name held nothing: it is not left behind as an empty file.
        QVERIFY(!QFileInfo::exists(operation->outputPath()));
        QVERIFY(playlistText(QStringLiteral("Never")).isEmpty());
        // Nothing is left in the output folder, not even the hidden temporary.
        QVERIFY(!operation->temporaryPath().isEmpty() || !corruptInput);
        QVERIFY(!QFileInfo::exists(operation->temporaryPath()));
        QCOMPARE(QDir(m_outputFolder)
                     .entryList({QStringLiteral(".wavelark-part-*")}, QDir::Files | QDir::Hidden),
                 QStringList());
        // The reason is the line that names the cause, not the encoder's closing words.
        const QString reason = item->failureReason();
        QCOMPARE(reason, operation->failureReason());
        QVERIFY2(EncoderDiagnostics::weight(reason) == 3 || !corruptInput, qPrintable(reason));
        QVERIFY2(!reason.isEmpty(), qPrintable(reason));
        QVERIFY(!reason.contains(QStringLiteral("Conversion failed!")));
        QVERIFY(!corruptInput ||
                item->strEncoderOutput().endsWith(QStringLiteral("Conversion failed!")));
    }

    // A FLAC cut short still decodes, to a shorter output: it finishes, with a warning.
    void truncatedInputFinishesWithAWarning()
    {
        const QString whole = m_sources.path() + QStringLiteral("/whole.flac");
        QVERIFY(TestAudio::makeFlac(whole, 40.0));
        const QString cut = m_sources.path() + QStringLiteral("/cut.flac");
        QVERIFY(QFile::copy(whole, cut));
        QFile file(cut);
        QVERIFY(file.resize(QFileInfo(whole).size() / 6));
        LSMediaPtr item = audioItem(cut, QStringLiteral("mp3"), 40.0);
        auto operation = std::make_shared<ConvertOperation>(item);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ends early")));
        runAll({operation}, 1);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QVERIFY(QFileInfo::exists(operation->outputPath()));
        QVERIFY2(item->strWarning().startsWith(QStringLiteral("the input ends early: ")) &&
                     item->strWarning().endsWith(QStringLiteral(" s of 40.0 s")),
                 qPrintable(item->strWarning()));

        // A complete input gives none.
        LSMediaPtr complete = audioItem(whole, QStringLiteral("mp3"), 40.0);
        runAll({std::make_shared<ConvertOperation>(complete)}, 1);
        QCOMPARE(complete->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(complete->strWarning(), QString());
    }

    // The encoder stand-in ignores SIGTERM: stopping still ends it, and leaves nothing behind.
    void encoderIgnoringTheStopRequestIsKilled()
    {
        const QString standIn = m_sources.path() + QStringLiteral("/stubborn-ffmpeg");
        {
            QFile script(standIn);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\ntrap '' TERM\necho 'size=0kB time=00:00:01.00'\n"
                         "exec sleep 600\n");
        }
        QVERIFY(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::ExeOwner));
        LSMediaPtr item = audioItem(m_flac, QStringLiteral("mp3"));
        auto operation = std::make_shared<ConvertOperation>(item);
        operation->setEncoderPathOverride(standIn);
        OperationQueue queue(1);
        queue.addOperation(operation);
        QTRY_VERIFY_WITH_TIMEOUT(item->dProgress() > 0.0f, 60000);
        QVERIFY(QFileInfo::exists(operation->temporaryPath()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("killing it")));
        queue.cancelAllOperations();
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 60000);
        QCOMPARE(operation->exitCode(), 9);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
        QVERIFY(!QFileInfo::exists(operation->temporaryPath()));
        QVERIFY(operation->outputPath().isEmpty());
    }

    // A folder others can write into (a group's music share without the sticky bit): another
    // user swaps the temporary for a link to a file of ours before the encoder writes. The
    // encoder writes through the file Wavelark opened, so the linked file stays as it was and
    // the link never gets the output's name.
    void swappedTemporaryNeverLeadsOutOfTheOutputFolder_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::newRow("mp3") << "mp3";
        QTest::newRow("m4a") << "m4a";
    }
    void swappedTemporaryNeverLeadsOutOfTheOutputFolder()
    {
        QFETCH(QString, extension);
        OtherUser other(QStringLiteral("wltest-share"));
        if (!other.isMade())
            QSKIP(qPrintable(other.skipReason()));
        QTemporaryDir share;
        QVERIFY(QFile::setPermissions(share.path(), QFileDevice::Permissions(0x7777)));
        const QString precious =
            m_sources.path() + QStringLiteral("/precious %1.txt").arg(extension);
        {
            QFile file(precious);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me\n");
        }
        // The stand-in encoder lets the other user swap every temporary, then runs the real one.
        const QString standIn = m_sources.path() + QStringLiteral("/swapping-ffmpeg");
        {
            QFile script(standIn);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral("#!/bin/sh\nrunuser -u %1 -- /bin/sh -c 'cd \"$0\" && "
                                        "for f in .wavelark-part-*; do rm -f \"$f\" && "
                                        "ln -s \"$1\" \"$f\"; done' '%2' '%3'\nexec '%4' \"$@\"\n")
                             .arg(other.name(), share.path(), precious,
                                  QStandardPaths::findExecutable(QStringLiteral("ffmpeg")))
                             .toUtf8());
        }
        QVERIFY(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::ExeOwner));
        defaults().setValue(PrefKeys::AppAudioOutputFolder, share.path());
        LSMediaPtr item = audioItem(m_flac, extension);
        auto operation = std::make_shared<ConvertOperation>(item);
        operation->setEncoderPathOverride(standIn);
        runAll({operation}, 1);
        defaults().setValue(PrefKeys::AppAudioOutputFolder, m_outputFolder);

        QFile file(precious);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me\n"));
        // The output's name never goes to the link; the file written is gone with its name.
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
        QVERIFY2(item->failureReason().contains(QStringLiteral("replaced")),
                 qPrintable(item->failureReason()));
        const QFileInfoList left =
            QDir(share.path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo &entry : left)
            QVERIFY2(entry.fileName().startsWith(QStringLiteral(".wavelark-part-")),
                     qPrintable(entry.fileName()));
    }

    // The same share, the temporary only renamed away by the other user: the output Wavelark
    // wrote still gets its name, complete.
    void outputMovedAwayStillGetsItsName()
    {
        QTemporaryDir share;
        QVERIFY(QFile::setPermissions(share.path(), QFileDevice::Permissions(0x7777)));
        const QString standIn = m_sources.path() + QStringLiteral("/moving-ffmpeg");
        {
            QFile script(standIn);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                QStringLiteral("#!/bin/sh\n'%1' \"$@\" || exit $?\ncd '%2' && "
                               "for f in .wavelark-part-*; do mv \"$f\" moved; done\n")
                    .arg(QStandardPaths::findExecutable(QStringLiteral("ffmpeg")), share.path())
                    .toUtf8());
        }
        QVERIFY(QFile::setPermissions(standIn, QFile::ReadOwner | QFile::ExeOwner));
        defaults().setValue(PrefKeys::AppAudioOutputFolder, share.path());
        LSMediaPtr item = audioItem(m_flac, QStringLiteral("m4a"));
        auto operation = std::make_shared<ConvertOperation>(item);
        operation->setEncoderPathOverride(standIn);
        runAll({operation}, 1);
        defaults().setValue(PrefKeys::AppAudioOutputFolder, m_outputFolder);

        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(operation->outputPath(), share.path() + QStringLiteral("/tagged song.m4a"));
        QVERIFY(qAbs(TestAudio::probeDuration(operation->outputPath()) - kSeconds) < 0.2);
    }

    void sameNamedInputsNeverShareAnOutput()
    {
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        constexpr double seconds = 8.0;
        QTemporaryDir folders;
        QList<std::shared_ptr<ConvertOperation>> operations;
        QList<LSMediaPtr> items;
        for (int i = 0; i < 6; ++i) {
            const QString folder = folders.path() + QStringLiteral("/d%1").arg(i);
            QVERIFY(QDir().mkpath(folder));
            const QString input = folder + QStringLiteral("/a.flac");
            QVERIFY(TestAudio::makeFlac(input, seconds));
            items << audioItem(input, QStringLiteral("mp3"), seconds);
            operations << std::make_shared<ConvertOperation>(items.last());
        }
        runAll(operations, 3);
        QSet<QString> outputs;
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(items.at(i)->eumCvtState(), qint32(LSMedia::CvtStateFinished));
            const QString output = operations.at(i)->outputPath();
            QVERIFY(QFileInfo(output).fileName().startsWith(QLatin1String("a")));
            outputs.insert(output);
            QVERIFY2(qAbs(TestAudio::probeDuration(output) - seconds) < 0.2, qPrintable(output));
        }
        QCOMPARE(outputs.size(), 6);
    }

    void raisingTheWidthDuringARunStartsConversions()
    {
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        OperationQueue queue(1);
        auto blocker = std::make_shared<GatedOperation>();
        queue.addOperation(blocker);
        QList<LSMediaPtr> items;
        for (int i = 0; i < 3; ++i) {
            items << audioItem(i % 2 ? m_ogg : m_flac, QStringLiteral("m4a"));
            queue.addOperation(std::make_shared<ConvertOperation>(items.last()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(blocker->isExecuting(), 30000);
        QCOMPARE(items.first()->eumCvtState(), qint32(LSMedia::CvtStatePending));
        queue.setMaxConcurrentOperationCount(4);
        // Every conversion finishes while the first slot is still taken.
        for (const LSMediaPtr &item : std::as_const(items))
            QTRY_COMPARE_WITH_TIMEOUT(item->eumCvtState(), qint32(LSMedia::CvtStateFinished),
                                      120000);
        QVERIFY(blocker->isExecuting());
        blocker->gate.release();
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 30000);
    }

    void cancelStopsTheEncoder()
    {
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        // A long input, so that the encoder is surely still running when it is stopped.
        const QString input = m_sources.path() + QStringLiteral("/long.flac");
        QVERIFY(TestAudio::makeFlac(input, 300.0));
        LSMediaPtr item = audioItem(input, QStringLiteral("mp3"), 300.0);
        auto operation = std::make_shared<ConvertOperation>(item);
        OperationQueue queue(1);
        queue.addOperation(operation);
        QTRY_VERIFY_WITH_TIMEOUT(item->dProgress() > 0.0f, 60000);
        queue.cancelAllOperations();
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 60000);
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
        QVERIFY(operation->exitCode() != 0);
        // Neither the cut-off output nor its temporary is left.
        QVERIFY(operation->outputPath().isEmpty());
        QVERIFY(!QFileInfo::exists(operation->temporaryPath()));
        QVERIFY(!QFileInfo::exists(m_outputFolder + QStringLiteral("/long.mp3")));

        // Stopped before its turn, an item stays pending: it did not fail.
        LSMediaPtr held = audioItem(m_flac, QStringLiteral("mp3"));
        auto stopped = std::make_shared<ConvertOperation>(held);
        stopped->stop();
        queue.addOperation(stopped);
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 30000);
        QCOMPARE(held->eumCvtState(), qint32(LSMedia::CvtStatePending));

        // One cancelled before its turn never starts the encoder.
        LSMediaPtr waiting = audioItem(m_flac, QStringLiteral("mp3"));
        auto early = std::make_shared<ConvertOperation>(waiting);
        early->cancel();
        queue.addOperation(early);
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 30000);
        QVERIFY(early->outputPath().isEmpty());
        QCOMPARE(waiting->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
    }

    void cancelWhileTheQueueEndsTheRunKeepsItFinished()
    {
        // "Cancel all" reaching an operation exactly as the queue records the end of its run must
        // find it either running or finished, never in between, so a finished row stays finished.
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        LSMediaPtr item = audioItem(m_flac, QStringLiteral("mp3"));
        auto operation = std::make_shared<ConvertOperation>(item);
        OperationQueue queue(1);
        std::atomic<int> seenBetween{0};
        queue.setEndHookForTesting([&](const OperationPtr &ending) {
            if (!ending->isExecuting() && !ending->isFinished())
                ++seenBetween;
            ending->cancel();
        });
        queue.addOperation(operation);
        QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 60000);
        QCOMPARE(seenBetween.load(), 0);
        QVERIFY(operation->isFinished());
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        operation->cancel();
        QCOMPARE(item->eumCvtState(), qint32(LSMedia::CvtStateFinished));
    }

    void preferencesChangedAfterTheStartReachNoConversion()
    {
        // A conversion works with the settings its job read when it started: the pane committing
        // the opposite meanwhile moves no output, and the up-to-date check looks where the
        // conversion wrote.
        QTemporaryDir tree;
        const QString root = tree.path() + QStringLiteral("/Album");
        QVERIFY(QDir().mkpath(root + QStringLiteral("/Disc 1")));
        const QString input = root + QStringLiteral("/Disc 1/song.flac");
        QVERIFY(QFile::copy(m_flac, input));
        QTemporaryDir out;
        ConversionSettings settings = ConversionSettings::current();
        settings.audioOutputFolder = out.path();
        settings.keepFolders = true;
        settings.skipConverted = true;
        settings.syncToLibrary = false;
        settings.playlistName = QStringLiteral("Never Read Again");
        auto itemBelowRoot = [&] {
            LSMediaPtr item = audioItem(input, QStringLiteral("mp3"));
            item->setStrSourceRoot(root);
            return item;
        };

        LSMediaPtr converted = itemBelowRoot();
        auto converting = std::make_shared<ConvertOperation>(converted, settings);
        defaults().setValue(PrefKeys::AppKeepFolderStructure, false);
        defaults().setValue(PrefKeys::AppSkipConverted, false);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, true);
        runAll({converting}, 1);
        const QString expected = out.path() + QStringLiteral("/Disc 1/song.mp3");
        QCOMPARE(converted->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(converting->outputPath(), expected);

        LSMediaPtr again = itemBelowRoot();
        auto checking = std::make_shared<ConvertOperation>(again, settings);
        runAll({checking}, 1);
        defaults().removeObjectForKey(PrefKeys::AppKeepFolderStructure);
        defaults().removeObjectForKey(PrefKeys::AppSkipConverted);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        QCOMPARE(again->eumCvtState(), qint32(LSMedia::CvtStateUpToDate));
        QCOMPARE(checking->outputPath(), expected);
        QVERIFY(!QFileInfo::exists(out.path() + QStringLiteral("/song.mp3")));
        QVERIFY(playlistText(settings.playlistName).isEmpty());
    }
};

WAVELARK_TEST_MAIN(TestConvertOperation)
#include "tst_ConvertOperation.moc"
