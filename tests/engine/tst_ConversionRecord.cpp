#include "Shared/GlobalFun.h"
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/ConversionRecord.h"
#include "engine/OperationQueue.h"
#include "engine/PlaylistFolderLibrary.h"
#include "engine/RunTally.h"
#include "engine/ScriptBridgeHelper.h"
#include "engine/UpToDateCheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

// The record of what was converted, the decisions made from it, the run's tally, and the
// playlist's answer to a replaced output.
class TestConversionRecord : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

    QString touchFile(const QString &relative, const QByteArray &content = "x")
    {
        QFile file(path(relative));
        QDir().mkpath(QFileInfo(file).path());
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(content);
        return QFileInfo(file).canonicalFilePath();
    }

    ConversionRecord::Entry entry(const QString &input, const QString &output,
                                  const QString &settings = "s1")
    {
        ConversionRecord::Entry made;
        made.input = input;
        made.output = output;
        made.settings = settings;
        made.inputStamp = ConversionRecord::Stamp::of(input);
        made.outputStamp = ConversionRecord::Stamp::of(output);
        return made;
    }

    static QByteArray contentOf(const QString &file)
    {
        QFile read(file);
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    }

    class Idle : public Operation
    {
    public:
        void main() override {}
    };

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // What one object notes, another (as another process would) reads; a later entry for an
    // output supersedes the earlier one, and an input's entries come newest first.
    void entriesAreSharedAndSuperseded()
    {
        const QString journal = path("shared/outputs.jsonl");
        const QString a = touchFile("in/a.flac");
        const QString b = touchFile("in/b.flac");
        const QString out1 = touchFile("out/x.mp3");
        const QString out2 = touchFile("out/x(1).mp3");
        ConversionRecord writer(journal);
        ConversionRecord reader(journal);
        QVERIFY(reader.madeFrom(a).isEmpty());

        QVERIFY(writer.note(entry(a, out1)));
        QVERIFY(writer.note(entry(a, out2, "s2")));
        QCOMPARE(reader.madeFrom(a).size(), 2);
        QCOMPARE(reader.madeFrom(a).first().output, out2);
        QCOMPARE(reader.entryFor(out1)->input, a);

        // b made out1 since (a's output was deleted and b took the name): out1 is b's now.
        QVERIFY(reader.note(entry(b, out1)));
        QCOMPARE(writer.entryFor(out1)->input, b);
        QCOMPARE(writer.madeFrom(a).size(), 1);
        QCOMPARE(writer.madeFrom(b).size(), 1);
        QVERIFY((QFile::permissions(journal) & (QFile::ReadOther | QFile::ReadGroup)) == 0);
    }

    // Lines that do not parse are passed over, a line without its end is not read, and the
    // next change rewrites the journal with the good entries only.
    void corruptLinesAreIgnoredAndRebuilt()
    {
        const QString journal = path("corrupt/outputs.jsonl");
        const QString a = touchFile("in/c.flac");
        const QString out = touchFile("out/c.mp3");
        QVERIFY(ConversionRecord(journal).note(entry(a, out)));
        const QByteArray good = contentOf(journal);
        QFile file(journal);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[1,2]\n{\"in\":1}\n\xff\xfe\n" + good + "{\"in\":\"" + a.toUtf8());
        file.close();

        ConversionRecord record(journal);
        QCOMPARE(record.madeFrom(a).size(), 1);
        QCOMPARE(record.corruptLinesSeen(), 3);
        const QString other = touchFile("out/d.mp3");
        QVERIFY(record.note(entry(a, other)));
        const QList<QByteArray> lines = contentOf(journal).trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(ConversionRecord(journal).madeFrom(a).size(), 2);
    }

    // A journal that is no regular file, or too large, holds nothing; it never blocks.
    void aJournalThatIsNoFileHoldsNothing()
    {
        const QString a = touchFile("in/e.flac");
        const QString out = touchFile("out/e.mp3");

        const QString fifo = path("fifo/outputs.jsonl");
        QVERIFY(QDir().mkpath(path("fifo")));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        ConversionRecord piped(fifo);
        QVERIFY(piped.madeFrom(a).isEmpty());
        QVERIFY(piped.note(entry(a, out)));
        QCOMPARE(ConversionRecord(fifo).madeFrom(a).size(), 1);

        const QString large = path("large/outputs.jsonl");
        QVERIFY(ConversionRecord(large).note(entry(a, out)));
        QVERIFY(QFile::resize(large, ConversionRecord::kMaxBytes + 1)); // sparse
        QVERIFY(ConversionRecord(large).madeFrom(a).isEmpty());
    }

    // Threads writing through their own objects at once lose no entry (each is one process's
    // view of the shared journal).
    void concurrentWritersLoseNothing()
    {
        const QString journal = path("busy/outputs.jsonl");
        const QString input = touchFile("in/busy.flac");
        constexpr int kWriters = 4;
        constexpr int kEach = 50;
        QList<QThread *> threads;
        for (int w = 0; w < kWriters; ++w) {
            QStringList outputs;
            for (int i = 0; i < kEach; ++i)
                outputs << touchFile(QString("busy/%1-%2.mp3").arg(w).arg(i));
            threads << QThread::create([this, journal, input, outputs] {
                ConversionRecord record(journal);
                for (const QString &output : outputs)
                    record.note(entry(input, output));
            });
        }
        for (QThread *thread : threads)
            thread->start();
        for (QThread *thread : threads) {
            QVERIFY(thread->wait(120000));
            delete thread;
        }
        ConversionRecord record(journal);
        QCOMPARE(record.madeFrom(input).size(), kWriters * kEach);
        QCOMPARE(record.corruptLinesSeen(), 0);
    }

    void numberedForms_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("planned");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "/o/a.mp3"
                              << "/o/a.mp3" << true;
        QTest::newRow("numbered") << "/o/a(3).mp3"
                                  << "/o/a.mp3" << true;
        QTest::newRow("planned numbered") << "/o/a(2).mp3"
                                          << "/o/a(1).mp3" << true;
        QTest::newRow("other folder") << "/p/a(1).mp3"
                                      << "/o/a.mp3" << false;
        QTest::newRow("other format") << "/o/a(1).m4a"
                                      << "/o/a.mp3" << false;
        QTest::newRow("other name") << "/o/ab(1).mp3"
                                    << "/o/a.mp3" << false;
        QTest::newRow("not a number") << "/o/a(x).mp3"
                                      << "/o/a.mp3" << false;
    }

    void numberedForms()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, planned);
        QFETCH(bool, matches);
        QCOMPARE(UpToDateCheck::isNumberedFormOf(candidate, planned), matches);
    }

    // Every way a conversion ends counts once, in one place; a stopped run and warnings are told
    // apart from failures.
    void theTallyCountsOutcomes()
    {
        RunTally tally;
        const auto item = [](qint32 state, const QString &reason = {},
                             const QString &warning = {}) {
            auto media = std::make_shared<LSMedia>();
            media->setEumCvtState(state);
            media->setFailureReason(reason);
            media->setStrWarning(warning);
            return media;
        };
        tally.count(*item(LSMedia::CvtStateFinished));
        tally.count(*item(LSMedia::CvtStateFinished, {}, "the input ends early"));
        tally.count(*item(LSMedia::CvtStateFailed, "not added to the playlist: locked"));
        tally.count(*item(LSMedia::CvtStateCanceled, "Invalid data"));
        tally.count(*item(LSMedia::CvtStateCanceled));
        tally.count(*item(LSMedia::CvtStatePending));
        tally.count(*item(LSMedia::CvtStateUpToDate));
        tally.countUnreadable(2);
        const RunTally::Counts counts = tally.counts();
        QCOMPARE(counts.converted, 3);
        QCOMPARE(counts.warned, 1);
        QCOMPARE(counts.playlistFailed, 1);
        QCOMPARE(counts.failed, 1);
        QCOMPARE(counts.stopped, 2);
        QCOMPARE(counts.upToDate, 1);
        QCOMPARE(counts.unreadable, 2);
        QCOMPARE(counts.ended(), 7);
        QVERIFY(!counts.allWell());
        QCOMPARE(RunTally::summaryText(counts),
                 QString("3 converted, 1 up to date, 1 failed, 2 stopped in 00:00:00 (1 with a "
                         "warning, 1 not added to the playlist, 2 unreadable paths skipped)"));
    }

    // The clock leaves paused stretches out: the time counted is at most the wall time around
    // the run less the stretch the test itself saw paused.
    void theTallyClockSkipsPauses()
    {
        RunTally tally;
        QElapsedTimer wall;
        wall.start();
        tally.start();
        tally.pause();
        QElapsedTimer paused;
        paused.start();
        const double heldAt = tally.seconds();
        QTest::qWait(300);
        const qint64 pausedMs = paused.elapsed();
        QVERIFY(tally.isPaused());
        // Not a millisecond more while paused.
        QCOMPARE(tally.seconds(), heldAt);
        tally.resume();
        tally.stop();
        const qint64 wallMs = wall.elapsed();
        QVERIFY2(tally.seconds() * 1000.0 <= double(wallMs - pausedMs) + 1.0,
                 qPrintable(QString::number(tally.seconds())));
        const double stopped = tally.seconds();
        QTest::qWait(20);
        QCOMPARE(tally.seconds(), stopped);
    }

    // A suspended queue starts nothing until it is resumed.
    void aSuspendedQueueHoldsNewStarts()
    {
        OperationQueue queue(2);
        queue.setSuspended(true);
        const auto first = std::make_shared<Idle>();
        queue.addOperation(first);
        QCOMPARE(queue.runningOperationCount(), 0);
        QCOMPARE(queue.operationCount(), 1);
        QVERIFY(!first->isExecuting() && !first->isFinished());
        queue.setSuspended(false);
        queue.waitUntilAllOperationsAreFinished();
        QVERIFY(first->isFinished());
    }

    // A replaced output keeps one entry in the playlist and the library record, after its new
    // "#EXTINF" line; an update of a file not listed yet adds it.
    void aReplacedOutputKeepsOnePlaylistEntry()
    {
        const QString music = GlobalFun::RealHomeDirectory() + "/Music";
        QDir(music).removeRecursively();
        QVERIFY(QDir().mkpath(music + "/Converted"));
        const QString song = music + "/Converted/song.mp3";
        QVERIFY(TestAudio::makeWav(song + ".wav", 2));
        QVERIFY(QFile::rename(song + ".wav", song));
        QString error;
        ScriptBridgeHelper::syncItunesLibrary("Mix", song, &error);
        QCOMPARE(error, QString());
        ScriptBridgeHelper::syncItunesLibrary("Mix", music + "/Converted/other.mp3", &error);
        QVERIFY(QFile::remove(song));
        QVERIFY(TestAudio::makeWav(song + ".wav", 5));
        QVERIFY(QFile::rename(song + ".wav", song));

        ScriptBridgeHelper::syncItunesLibrary("Mix", song, &error, true);
        QCOMPARE(error, QString());
        ScriptBridgeHelper::syncItunesLibrary("Mix", music + "/Converted/new.mp3", &error, true);
        for (const QString &file : {music + "/Mix.m3u8", music + "/.wavelark-library.m3u8"}) {
            QCOMPARE(
                PlaylistFolderLibrary::readEntries(file),
                QStringList({"Converted/song.mp3", "Converted/other.mp3", "Converted/new.mp3"}));
            const QByteArray text = contentOf(file);
            QVERIFY2(text.contains("#EXTINF:5,song\nConverted/song.mp3\n"), text.constData());
            QCOMPARE(text.count("#EXTINF:"), 3);
        }
    }
};

WAVELARK_TEST_MAIN(TestConversionRecord)
#include "tst_ConversionRecord.moc"
