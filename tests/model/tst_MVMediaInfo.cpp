#include "TestAudio.h"
#include "TestEnvironment.h"
#include "model/MVMediaInfo.h"
#include "model/MVMediaInfoItem.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/stat.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// What ffprobe says about a file's container, the reference for the in-process probe.
struct Reference
{
    double duration = -1;
    double startTime = -1;
    double bitRate = -1;
};

Reference ffprobeReference(const QString &path)
{
    QByteArray json;
    TestAudio::run(QStringLiteral("ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-of"),
                    QStringLiteral("json"), QStringLiteral("-show_format"), path},
                   &json);
    const QJsonObject format =
        QJsonDocument::fromJson(json).object().value(QStringLiteral("format")).toObject();
    return {format.value(QStringLiteral("duration")).toString().toDouble(),
            format.value(QStringLiteral("start_time")).toString().toDouble(),
            format.value(QStringLiteral("bit_rate")).toString().toDouble()};
}

bool allProbeFieldsZero(const MVMediaInfoItem &item)
{
    return item.duration() == 0 && item.startTime() == 0 && item.pixWidth() == 0 &&
           item.pixHeight() == 0 && item.eumMediaType() == MVMediaInfoItem::MediaTypeUnknown &&
           item.videoBitrate() == 0 && item.audioBitrate() == 0 && item.audioSampleRate() == 0 &&
           item.audioChannels() == 0;
}

} // namespace

class TestMVMediaInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        FFMpegInit();
        FFMpegInit();
        QVERIFY(m_dir.isValid());
        QVERIFY(TestAudio::makeFlac(path("tone.flac"), 2.0));
        QVERIFY(TestAudio::makeOgg(path("tone.ogg"), 1.5));
        QVERIFY(TestAudio::makeFlac(path("Été à l'Ölmühle 日本 song.flac"), 1.0));
        QVERIFY(TestAudio::makeFlac(path("cover.flac"), 1.0));
        QCOMPARE(
            TestAudio::run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=16x16",
                                      "-frames:v", "1", path("cover.png")}),
            0);
        QCOMPARE(TestAudio::run("metaflac",
                                {"--import-picture-from=" + path("cover.png"), path("cover.flac")}),
                 0);
        QCOMPARE(
            TestAudio::run("ffmpeg",
                           {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "1",
                            "-c:v", "mpeg4", "-b:v", "400k", "-c:a", "aac", path("clip.mp4")}),
            0);

        QFile corrupt(path("corrupt.flac"));
        QVERIFY(corrupt.open(QIODevice::WriteOnly));
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &byte : noise)
            byte = char(generator.bounded(256));
        corrupt.write(noise);
        corrupt.close();
        QFile empty(path("empty.flac"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(QDir(m_dir.path()).mkdir("folder.flac"));
        QCOMPARE(mkfifo(QFile::encodeName(path("pipe.flac")).constData(), 0600), 0);
        QVERIFY(QFile::copy(path("tone.flac"), path("concat:tone.flac")));
    }

    void probesRealFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("type");
        QTest::addColumn<double>("duration");
        QTest::addColumn<qint32>("sampleRate");
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("height");
        QTest::newRow("flac") << "tone.flac" << 1 << 2.0 << 44100 << 0 << 0;
        QTest::newRow("ogg") << "tone.ogg" << 1 << 1.5 << 44100 << 0 << 0;
        QTest::newRow("spaces and accents")
            << "Été à l'Ölmühle 日本 song.flac" << 1 << 1.0 << 44100 << 0 << 0;
        QTest::newRow("flac with cover art") << "cover.flac" << 1 << 1.0 << 44100 << 0 << 0;
        QTest::newRow("video") << "clip.mp4" << 2 << 1.0 << 48000 << 320 << 240;
    }

    void probesRealFiles()
    {
        QFETCH(QString, name);
        QFETCH(qint32, type);
        QFETCH(double, duration);
        QFETCH(qint32, sampleRate);
        QFETCH(qint32, width);
        QFETCH(qint32, height);

        MVMediaInfoItem item;
        item.setFilePath(path(name));
        QString error = "stale";
        QVERIFY2(MVMediaInfo::dumpMediaInfo(&item, &error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(item.eumMediaType(), type);
        QCOMPARE(item.pixWidth(), width);
        QCOMPARE(item.pixHeight(), height);
        QCOMPARE(item.audioSampleRate(), sampleRate);
        QVERIFY(item.audioChannels() >= 1);
        QVERIFY(qAbs(item.duration() - duration) < 0.1);
        QVERIFY(item.audioBitrate() > 0);
        QCOMPARE(item.videoBitrate() > 0, type == MVMediaInfoItem::MediaTypeVideo);

        const Reference reference = ffprobeReference(path(name));
        QVERIFY(qAbs(item.duration() - reference.duration) < 0.001);
        QVERIFY(qAbs(item.startTime() - reference.startTime) < 0.001);
        // FLAC streams carry no bit rate of their own: the file's rate stands for the audio's.
        if (name.endsWith(".flac"))
            QVERIFY(qAbs(item.audioBitrate() - reference.bitRate) <= 1);
    }

    void unreadableFilesLeaveZeros_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("random bytes") << "corrupt.flac";
        QTest::newRow("empty file") << "empty.flac";
        QTest::newRow("missing file") << "missing.flac";
        QTest::newRow("directory") << "folder.flac";
        QTest::newRow("named pipe") << "pipe.flac"; // must not block waiting for a writer
        QTest::newRow("no path") << QString();
    }

    void unreadableFilesLeaveZeros()
    {
        QFETCH(QString, name);
        MVMediaInfoItem item;
        item.setFilePath(name.isNull() ? QString() : path(name));
        // Values of an earlier probe must not survive a failed one.
        item.setDuration(9);
        item.setEumMediaType(MVMediaInfoItem::MediaTypeVideo);
        item.setPixWidth(640);
        item.setAudioSampleRate(48000);
        QString error;
        QVERIFY(!MVMediaInfo::dumpMediaInfo(&item, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(allProbeFieldsZero(item));
        QVERIFY(!MVMediaInfo::dumpMediaInfo(&item)); // no error slot
    }

    // Only a front cover is the output's cover: a back cover alone gives none, and beside a
    // front cover it is passed over whatever its order.
    void onlyTheFrontCoverIsTheCover()
    {
        QVERIFY(TestAudio::makeFlac(path("back only.flac"), 1.0));
        QVERIFY(TestAudio::addFlacCover(path("back only.flac"), path("cover.png"), 4));
        MVMediaInfoItem backOnly;
        backOnly.setFilePath(path("back only.flac"));
        QVERIFY(MVMediaInfo::dumpMediaInfo(&backOnly));
        QCOMPARE(backOnly.coverStreamIndex(), -1);

        QVERIFY(TestAudio::makeFlac(path("back and front.flac"), 1.0));
        QVERIFY(TestAudio::addFlacCover(path("back and front.flac"), path("cover.png"), 4));
        QVERIFY(TestAudio::addFlacCover(path("back and front.flac"), path("cover.png"), 3));
        MVMediaInfoItem both;
        both.setFilePath(path("back and front.flac"));
        QVERIFY(MVMediaInfo::dumpMediaInfo(&both));
        // Stream 0 is the audio, 1 the back cover, 2 the front cover.
        QCOMPARE(both.coverStreamIndex(), 2);
    }

    void aNameLikeAProtocolIsAPlainFile()
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        MVMediaInfoItem item;
        item.setFilePath("concat:tone.flac");
        const bool ok = MVMediaInfo::dumpMediaInfo(&item);
        QDir::setCurrent(before);
        QVERIFY(ok);
        QVERIFY(qAbs(item.duration() - 2.0) < 0.1);
    }

    void aNullItemIsRefused() { QVERIFY(!MVMediaInfo::dumpMediaInfo(nullptr)); }

    void probesFromManyThreadsAtOnce()
    {
        const QStringList names{"tone.flac", "tone.ogg", "cover.flac", "clip.mp4", "corrupt.flac"};
        std::vector<MVMediaInfoItem> expected(names.size());
        for (int i = 0; i < names.size(); ++i) {
            expected[i].setFilePath(path(names[i]));
            MVMediaInfo::dumpMediaInfo(&expected[i]);
        }
        std::atomic<int> mismatches{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&, t] {
                for (int round = 0; round < 20; ++round) {
                    const int i = (t + round) % names.size();
                    MVMediaInfoItem item;
                    item.setFilePath(expected[i].filePath());
                    MVMediaInfo::dumpMediaInfo(&item);
                    if (item.duration() != expected[i].duration() ||
                        item.eumMediaType() != expected[i].eumMediaType() ||
                        item.audioBitrate() != expected[i].audioBitrate())
                        ++mismatches;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(mismatches.load(), 0);
    }
};

WAVELARK_TEST_MAIN(TestMVMediaInfo)
#include "tst_MVMediaInfo.moc"
