#include "CliProcess.h"
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "engine/PlaylistFolderLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Drives the real wavelark-cli binary on files generated here, in the private home of the test.
class TestCli : public QObject
{
    Q_OBJECT

    using Result = CliProcess::Result;

    QTemporaryDir m_dir;
    QString m_in; // a.flac, b.ogg, deeper/c.FLAC, notes.txt

    static QString cli() { return CliProcess::program(); }
    static QString music() { return TestEnvironment::home() + "/Music"; }
    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

    static Result run(const QStringList &arguments) { return CliProcess::run(arguments); }

    static QStringList linesStartingWith(const QString &text, const QString &prefix)
    {
        QStringList found;
        for (const QString &line : text.split('\n')) {
            if (line.startsWith(prefix))
                found.append(line);
        }
        return found;
    }

    static QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static QStringList temporariesIn(const QString &folder)
    {
        return QDir(folder).entryList({".wavelark-part-*"}, QDir::Files | QDir::Hidden, QDir::Name);
    }

    static int writtenTemporaries(const QString &folder)
    {
        int written = 0;
        for (const QString &name : temporariesIn(folder))
            written += QFileInfo(folder + "/" + name).size() > 0 ? 1 : 0;
        return written;
    }

    // Processes whose command line mentions `text` (the encoders writing into a folder).
    static int processesMentioning(const QString &text)
    {
        int found = 0;
        const QStringList ids = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &id : ids) {
            QFile cmdline("/proc/" + id + "/cmdline");
            if (id.toInt() > 0 && cmdline.open(QIODevice::ReadOnly) &&
                cmdline.readAll().contains(text.toUtf8()))
                ++found;
        }
        return found;
    }

    void makeLongInputs()
    {
        if (QFile::exists(path("in-long/long2.flac")))
            return;
        QVERIFY(QDir().mkpath(path("in-long")));
        QVERIFY(TestAudio::makeFlac(path("in-long/long1.flac"), 900));
        QVERIFY(TestAudio::makeFlac(path("in-long/long2.flac"), 900));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(cli()));
        QVERIFY(m_dir.isValid());
        m_in = path("in");
        QVERIFY(QDir().mkpath(m_in + "/deeper"));
        QVERIFY(TestAudio::makeFlac(m_in + "/a.flac", 3, {{"TITLE", "Alpha"}}));
        QVERIFY(TestAudio::makeOgg(m_in + "/b.ogg", 3, {{"TITLE", "Bravo"}}));
        QVERIFY(TestAudio::makeFlac(m_in + "/deeper/c.FLAC", 3));
        QFile notes(m_in + "/notes.txt");
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not audio");
    }

    void refusesBadUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList() << "no FILE or FOLDER";
        QTest::newRow("format") << QStringList({"--format", "aiff", "x.flac"}) << "unknown format";
        QTest::newRow("jobs zero") << QStringList({"--jobs", "0", "x.flac"}) << "--jobs";
        QTest::newRow("jobs text") << QStringList({"--jobs=many", "x.flac"}) << "--jobs";
        QTest::newRow("missing value") << QStringList({"x.flac", "--output"}) << "needs a value";
        QTest::newRow("unknown option") << QStringList({"--fast", "x.flac"}) << "unknown option";
        QTest::newRow("no accepted input")
            << QStringList({"in/notes.txt", "in/missing.flac"}) << "no FLAC or Ogg file";
    }

    void refusesBadUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        for (QString &argument : arguments) {
            if (argument.startsWith("in/"))
                argument = path(argument);
        }
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
    }

    void helpAndVersion()
    {
        const Result help = run({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage: wavelark-cli"));
        for (const char *option : {"--format", "--jobs", "--output", "--playlist", "--no-sync",
                                   "--no-cover", "--skip-existing"})
            QVERIFY(help.out.contains(option));
        const Result version = run({"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("wavelark-cli 1."));
    }

    void convertsAFolderIntoMp3AndAPlaylist()
    {
        const QString out = path("out-mp3");
        const Result result =
            run({"--output", out, "--playlist", "CLI Run", m_in, path("in/notes.txt")});
        QCOMPARE(result.exitCode, 0);

        // One plain result line per file, found at any depth and in any letter case.
        const QStringList finished = linesStartingWith(result.out, "Task Finished.");
        QCOMPARE(finished.size(), 3);
        for (const char *name : {"a.flac", "b.ogg", "deeper/c.FLAC"})
            QCOMPARE(finished.filter(m_in + "/" + QString(name) + " -> ").size(), 1);
        QVERIFY(!result.out.contains("\x1b["));
        QVERIFY(result.err.contains("skipped " + path("in/notes.txt")));
        QCOMPARE(filesIn(out), QStringList({"a.mp3", "b.mp3", "c.mp3"}));
        QVERIFY(qAbs(TestAudio::probeDuration(out + "/b.mp3") - 3.0) < 0.2);
        QCOMPARE(TestAudio::readTags(out + "/a.mp3").value("TITLE"), QString("Alpha"));

        // Every output lands in the named playlist; the options were not stored.
        const QStringList entries = PlaylistFolderLibrary::readEntries(music() + "/CLI Run.m3u8");
        QCOMPARE(entries.size(), 3);
        for (const QString &entry : entries)
            QVERIFY(entry.startsWith(out + "/"));
        QSettings stored(TestEnvironment::configHome() + "/morvane/wavelark.conf",
                         QSettings::IniFormat);
        for (const char *key : {"AppAudioOutputFolderKey", "PlaylistNameKey", "PreferedFormatName",
                                "AppMaxConvertNumKey"})
            QVERIFY2(!stored.contains(key), key);
    }

    void convertsToM4aWithoutSync()
    {
        const QString out = path("out-m4a");
        const QStringList playlistsBefore = QDir(music()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray libraryBefore = [] {
            QFile file(music() + "/.wavelark-library.m3u8");
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const Result result = run({"--format", "m4a", "--no-sync", "--jobs", "2", "-o", out,
                                   path("in/a.flac"), path("in/b.ogg")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 2);
        QCOMPARE(filesIn(out), QStringList({"a.m4a", "b.m4a"}));
        QVERIFY(qAbs(TestAudio::probeDuration(out + "/a.m4a") - 3.0) < 0.2);

        QCOMPARE(QDir(music()).entryList(QDir::Files | QDir::Hidden), playlistsBefore);
        QFile library(music() + "/.wavelark-library.m3u8");
        QCOMPARE(library.open(QIODevice::ReadOnly) ? library.readAll() : QByteArray(),
                 libraryBefore);
    }

    // The stored folder is on a disk that is not plugged in: nothing is converted elsewhere and
    // the preference survives the run.
    void missingStoredOutputFolderStopsTheRun()
    {
        const QString gone = path("unplugged/Audio");
        const QString conf = TestEnvironment::configHome() + "/morvane/wavelark.conf";
        {
            QSettings stored(conf, QSettings::IniFormat);
            stored.setValue("AppAudioOutputFolderKey", gone);
        }
        // The registered default lies below the music folder.
        auto mp3sInMusic = [] {
            QStringList found;
            QDirIterator it(music(), {"*.mp3"}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                found << it.next();
            return found;
        };
        const QStringList mp3sBefore = mp3sInMusic();
        const Result result = run({"--no-sync", path("in/a.flac")});
        QSettings stored(conf, QSettings::IniFormat);
        const QString kept = stored.value("AppAudioOutputFolderKey").toString();
        stored.remove("AppAudioOutputFolderKey");
        stored.sync();

        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains("output folder " + gone + " is missing"),
                 qPrintable(result.err));
        QCOMPARE(kept, gone);
        QVERIFY(!QFileInfo::exists(gone));
        QCOMPARE(mp3sInMusic(), mp3sBefore);
    }

    // Converted, but the playlist step failed: said per file, and the run is not a success.
    void syncFailureIsReportedPerFile()
    {
        const QString lockPath = music() + "/.wavelark-library.lock";
        QVERIFY(QDir().mkpath(lockPath));
        const QString out = path("out-sync-failed");
        const Result result =
            run({"--playlist", "Blocked", "-o", out, path("in/a.flac"), path("in/b.ogg")});
        QDir(lockPath).removeRecursively();

        QCOMPARE(result.exitCode, 1);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 0);
        const QStringList failed = linesStartingWith(result.out, "Failed!  ");
        QCOMPARE(failed.size(), 2);
        const QStringList reasons = linesStartingWith(result.out, "    not added to the playlist: ")
                                        .filter("the lock path " + lockPath + " is not a file");
        QCOMPARE(reasons.size(), 2);
        QVERIFY(!result.out.contains("locked by another program"));
        // Converted all the same: only the playlist step failed.
        QVERIFY2(result.out.contains("2 of 2 files converted"), qPrintable(result.out));
        QVERIFY(result.out.contains("2 of them not added to the playlist"));
        // The outputs themselves are complete and stay.
        QCOMPARE(filesIn(out), QStringList({"a.mp3", "b.mp3"}));
    }

    // The playlist order file replaced with a FIFO nobody writes: the run ends, and says what
    // is in the way, instead of waiting at the playlist step for ever.
    void playlistOrderFifoEndsTheRunWithItsReason()
    {
        QVERIFY(QDir().mkpath(music()));
        const QString order = music() + "/.wavelark-playlists.json";
        QFile::remove(order);
        QVERIFY(::mkfifo(QFile::encodeName(order).constData(), 0600) == 0);
        const QString out = path("out-order-fifo");
        const Result result = run({"--playlist", "Fresh List", "-o", out, path("in/a.flac")});
        QFile::remove(order);

        QCOMPARE(result.exitCode, 1);
        const QStringList reasons = linesStartingWith(result.out, "    not added to the playlist: ")
                                        .filter(order + ": not a regular file");
        QVERIFY2(reasons.size() == 1, qPrintable(result.out));
        QCOMPARE(filesIn(out), QStringList({"a.mp3"}));
    }

    // The preferences file replaced with a FIFO: the run starts with the defaults, says why, and
    // leaves the FIFO as it is; so does a file far too large to be preferences.
    void unreadablePreferencesStartWithTheDefaults_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("FIFO") << true;
        QTest::newRow("100 MB value") << false;
    }
    void unreadablePreferencesStartWithTheDefaults()
    {
        QFETCH(bool, fifo);
        const QString conf = TestEnvironment::configHome() + "/morvane/wavelark.conf";
        const QString saved = conf + ".saved";
        QFile::remove(saved);
        QVERIFY(!QFileInfo::exists(conf) || QFile::rename(conf, saved));
        auto restore = qScopeGuard([&] {
            QFile::remove(conf);
            if (QFileInfo::exists(saved))
                QFile::rename(saved, conf);
        });
        if (fifo) {
            QVERIFY(::mkfifo(QFile::encodeName(conf).constData(), 0600) == 0);
        } else {
            QFile big(conf);
            QVERIFY(big.open(QIODevice::WriteOnly));
            big.write("[General]\nAppAudioOutputFolderKey=");
            // The rest of the value as a hole: what matters is the size, not the bytes.
            QVERIFY(big.resize(100 * 1024 * 1024));
        }
        const qint64 sizeBefore = QFileInfo(conf).size();
        const QString out = path(fifo ? "out-conf-fifo" : "out-conf-big");
        const Result result = run({"--no-sync", "-o", out, path("in/a.flac")});

        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.err.contains("preferences file " + conf + " not read"),
                 qPrintable(result.err.left(2000)));
        QVERIFY(result.err.size() < 10000);
        QCOMPARE(filesIn(out), QStringList({"a.mp3"}));
        QFileInfo after(conf);
        QVERIFY(fifo ? after.exists() && !after.isFile() : after.isFile());
        QCOMPARE(after.size(), sizeBefore);
    }

    // The stored output folder is a file: said so, not taken for a disk that is not connected.
    void outputFolderThatIsAFileIsNamed()
    {
        const QString file = path("not a folder");
        {
            QFile plain(file);
            QVERIFY(plain.open(QIODevice::WriteOnly));
        }
        const QString conf = TestEnvironment::configHome() + "/morvane/wavelark.conf";
        {
            QSettings stored(conf, QSettings::IniFormat);
            stored.setValue("AppAudioOutputFolderKey", file);
        }
        const Result result = run({"--no-sync", path("in/a.flac")});
        {
            QSettings stored(conf, QSettings::IniFormat);
            stored.remove("AppAudioOutputFolderKey");
        }
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains("output folder " + file + " is a file, not a folder"),
                 qPrintable(result.err));
        QVERIFY(!result.err.contains("connect its disk"));
    }

    // The engine's diagnostics only on request; and whatever is asked, nothing goes out to the
    // maker's server or the store (a local server stands in for both, answering every path).
    void diagnosticsOnRequestAndNothingSent()
    {
        TinyHttpServer server;
        QVERIFY(server.listen());
        qputenv("WAVELARK_MAKER_SERVER", server.baseUrl().toUtf8());
        qputenv("WAVELARK_STORE_SERVER", server.baseUrl().toUtf8());
        qputenv("WAVELARK_NO_STORE_PROMPTS", "0");
        auto restore = qScopeGuard([] {
            qunsetenv("WAVELARK_MAKER_SERVER");
            qunsetenv("WAVELARK_STORE_SERVER");
            qputenv("WAVELARK_NO_STORE_PROMPTS", "1");
            qunsetenv("WAVELARK_DEBUG");
        });
        const QString out = path("out-diagnostics");
        const Result quiet = run({"--no-sync", "-o", out, path("in/a.flac")});
        QCOMPARE(quiet.exitCode, 0);
        QVERIFY2(!quiet.err.contains("args:("), qPrintable(quiet.err));
        QVERIFY(QDir(out).removeRecursively());

        const Result verbose = run({"--no-sync", "--verbose", "-o", out, path("in/a.flac")});
        QCOMPARE(verbose.exitCode, 0);
        QVERIFY(verbose.err.contains("wavelark-cli: args:("));
        QVERIFY(QDir(out).removeRecursively());

        qputenv("WAVELARK_DEBUG", "1");
        const Result debug = run({"--no-sync", "-o", out, path("in/a.flac")});
        QCOMPARE(debug.exitCode, 0);
        QVERIFY(debug.err.contains("wavelark-cli: args:("));

        // A connection made meanwhile waits in the listening queue until events are served.
        QTest::qWait(500);
        QCOMPARE(server.requestTargets(), QStringList());
    }

    void coversAreKeptUnlessNoCoverIsGiven()
    {
        const QString input = path("in-cover/covered.flac");
        QVERIFY(QDir().mkpath(path("in-cover")));
        QVERIFY(TestAudio::makeFlac(input, 1));
        QVERIFY(TestAudio::makePicture(path("in-cover/front.png"), QSize(30, 20)));
        QVERIFY(TestAudio::addFlacCover(input, path("in-cover/front.png")));

        const Result kept = run({"--no-sync", "-o", path("out-cover"), input});
        QCOMPARE(kept.exitCode, 0);
        QCOMPARE(TestAudio::probeCover(path("out-cover/covered.mp3")).size, QSize(30, 20));
        const Result dropped = run({"--no-sync", "--no-cover", "-o", path("out-nocover"), input});
        QCOMPARE(dropped.exitCode, 0);
        QVERIFY(TestAudio::probeCover(path("out-nocover/covered.mp3")).codec.isEmpty());
    }

    // A re-run with --skip-existing converts only what changed: an output the record names as
    // made from its input, both unchanged, is left alone and not added to the playlist again; a
    // changed one is converted again and replaced, keeping its one playlist entry; a missing one
    // is made.
    void skipExistingConvertsOnlyWhatChanged()
    {
        const QString in = path("in-skip");
        const QString out = path("out-skip");
        QVERIFY(QDir().mkpath(in));
        QVERIFY(TestAudio::makeFlac(in + "/kept.flac", 1));
        QVERIFY(TestAudio::makeOgg(in + "/older.ogg", 1));
        QVERIFY(TestAudio::makeFlac(in + "/missing.flac", 1));
        const QStringList arguments{"--skip-existing", "--playlist", "Mirror", "-o", out, in};
        const QString playlist = music() + "/Mirror.m3u8";

        const Result first = run(arguments);
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.out.contains("3 of 3 files converted"), qPrintable(first.out));
        QVERIFY2(first.out.contains("0 of 3 files skipped as up to date"), qPrintable(first.out));
        QCOMPARE(filesIn(out), QStringList({"kept.mp3", "missing.mp3", "older.mp3"}));
        QCOMPARE(PlaylistFolderLibrary::readEntries(playlist).size(), 3);

        // older.mp3 is made older than its input; missing.mp3 goes.
        const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(out + "/older.mp3").constData(), past, 0),
                 0);
        QVERIFY(QFile::remove(out + "/missing.mp3"));
        struct stat keptBefore;
        QCOMPARE(::stat(QFile::encodeName(out + "/kept.mp3").constData(), &keptBefore), 0);

        const Result second = run(arguments);
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(linesStartingWith(second.out, "Up to date."),
                 QStringList({"Up to date.  " + in + "/kept.flac -> " + out + "/kept.mp3"}));
        const QStringList converted = linesStartingWith(second.out, "Task Finished.");
        QCOMPARE(converted.size(), 2);
        QCOMPARE(converted.filter("/older.ogg -> " + out + "/older.mp3").size(), 1);
        QCOMPARE(converted.filter("/missing.flac -> " + out + "/missing.mp3").size(), 1);
        QVERIFY2(second.out.contains("2 of 3 files converted"), qPrintable(second.out));
        QVERIFY2(second.out.contains("1 of 3 files skipped as up to date"), qPrintable(second.out));
        // The older output was replaced, not kept beside a numbered one; the kept one untouched.
        QCOMPARE(filesIn(out), QStringList({"kept.mp3", "missing.mp3", "older.mp3"}));
        QVERIFY(QFileInfo(out + "/older.mp3").lastModified() >=
                QFileInfo(in + "/older.ogg").lastModified());
        struct stat keptAfter;
        QCOMPARE(::stat(QFile::encodeName(out + "/kept.mp3").constData(), &keptAfter), 0);
        QCOMPARE(keptAfter.st_ino, keptBefore.st_ino);
        QCOMPARE(keptAfter.st_mtim.tv_nsec, keptBefore.st_mtim.tv_nsec);
        const QStringList entries = PlaylistFolderLibrary::readEntries(playlist);
        QCOMPARE(entries.size(), 3);
        for (const char *name : {"kept.mp3", "older.mp3", "missing.mp3"})
            QCOMPARE(entries.filter(name).size(), 1);

        // Nothing changed: nothing converted, nothing added, still a success.
        const Result third = run(arguments);
        QCOMPARE(third.exitCode, 0);
        QCOMPARE(linesStartingWith(third.out, "Up to date.").size(), 3);
        QVERIFY2(third.out.contains("0 of 3 files converted"), qPrintable(third.out));
        QVERIFY2(third.out.contains("3 of 3 files skipped as up to date"), qPrintable(third.out));
        QCOMPARE(PlaylistFolderLibrary::readEntries(playlist), entries);

        // Without the option an existing output is kept and the new one numbered, as before.
        const Result plain = run({"--no-sync", "-o", out, in + "/kept.flac"});
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(!plain.out.contains("skipped as up to date"));
        QVERIFY(QFileInfo::exists(out + "/kept(1).mp3"));
    }

    void aNumberedOutputFolderKeepsItsName()
    {
        // "(1)" in the folder's name is not the output's number.
        const QString out = path("Mix (1)");
        QVERIFY(QDir().mkpath(out));
        QFile existing(out + "/a.mp3");
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        const Result result = run({"--no-sync", "-o", out, path("in/a.flac")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(filesIn(out), QStringList({"a(1).mp3", "a.mp3"}));
        QVERIFY(!QFileInfo::exists(path("Mix (2)")));
    }

    void keepFoldersKeepsSameNamedFilesApart()
    {
        QVERIFY(QDir().mkpath(path("in-album/Album/A")));
        QVERIFY(QDir().mkpath(path("in-album/Album/B")));
        QVERIFY(TestAudio::makeOgg(path("in-album/Album/A/01 Intro.ogg"), 2, {{"TITLE", "A"}}));
        QVERIFY(TestAudio::makeOgg(path("in-album/Album/B/01 Intro.ogg"), 2, {{"TITLE", "B"}}));

        const QString flat = path("out-flat");
        Result result = run({"--no-sync", "-o", flat, path("in-album/Album")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(filesIn(flat), QStringList({"01 Intro(1).mp3", "01 Intro.mp3"}));

        // The folders below the named one come along; a file named by itself lands on top.
        const QString kept = path("out-kept");
        result = run(
            {"--no-sync", "--keep-folders", "-o", kept, path("in-album/Album"), path("in/a.flac")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(filesIn(kept), QStringList({"a.mp3"}));
        QCOMPARE(QDir(kept).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"A", "B"}));
        QCOMPARE(filesIn(kept + "/A"), QStringList({"01 Intro.mp3"}));
        QCOMPARE(filesIn(kept + "/B"), QStringList({"01 Intro.mp3"}));
        QCOMPARE(TestAudio::readTags(kept + "/A/01 Intro.mp3").value("TITLE"), QString("A"));
        QCOMPARE(TestAudio::readTags(kept + "/B/01 Intro.mp3").value("TITLE"), QString("B"));
    }

    void linksAreFollowedAndSpecialFilesRefused()
    {
        // A link to the input folder and a second one to the same folder: its files come once.
        QVERIFY(QDir().mkpath(path("links")));
        QVERIFY(QFile::link(m_in, path("links/first")));
        QVERIFY(QFile::link(m_in, path("links/second")));
        QVERIFY(QFile::link(path("links"), path("links/loop")));
        const Result linked =
            run({"--no-sync", "-o", path("out-links"), path("links/first"), path("links")});
        QCOMPARE(linked.exitCode, 0);
        QCOMPARE(filesIn(path("out-links")), QStringList({"a.mp3", "b.mp3", "c.mp3"}));

        // A pipe or a device would hang the encoder or never end: refused, and the run ends.
        QVERIFY(QDir().mkpath(path("special")));
        QVERIFY(::mkfifo(QFile::encodeName(path("special/pipe.flac")).constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/zero", path("special/zero.flac")));
        const Result special = run(
            {"--no-sync", "-o", path("out-special"), path("special"), path("special/zero.flac")});
        QCOMPARE(special.exitCode, 2);
        QVERIFY2(
            special.err.contains("skipped " + path("special/pipe.flac") + ": not a regular file"),
            qPrintable(special.err));
        QVERIFY(
            special.err.contains("skipped " + path("special/zero.flac") + ": not a regular file"));
    }

    void aFailedFileGivesStatusOneAndItsReason()
    {
        const QString corrupt = path("in-bad/broken.flac");
        QVERIFY(QDir().mkpath(path("in-bad")));
        QFile file(corrupt);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();

        const QString out = path("out-bad");
        const Result result = run({"--no-sync", "-o", out, corrupt, path("in/a.flac")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 1);
        const QStringList lines = result.out.split('\n');
        const qsizetype failed = lines.indexOf("Canceled.  " + corrupt);
        QVERIFY2(failed >= 0, qPrintable(result.out));
        // The encoder's own last words follow, indented.
        QVERIFY(lines.value(failed + 1).startsWith("    "));
        QVERIFY(lines.value(failed + 1).trimmed().size() > 3);
    }

    void showsALiveBlockOnATerminal()
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TERM", "xterm");
        process.setProcessEnvironment(environment);
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QString::fromLocal8Bit(::ptsname(master)));
        process.start(cli(), {"--no-sync", "-o", path("out-tty"), m_in});
        QVERIFY(process.waitForStarted(60000));

        // Keep reading, or the terminal's buffer fills and the program waits for us.
        QByteArray screen;
        const auto drain = [&] {
            char buffer[4096];
            ssize_t got;
            while ((got = ::read(master, buffer, sizeof buffer)) > 0)
                screen.append(buffer, got);
        };
        while (!process.waitForFinished(100))
            drain();
        drain();
        ::close(master);

        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(screen.contains("] 0/3 files  --:--:-- left"), screen.constData());
        QVERIFY(screen.contains("\x1b[")); // the block is redrawn in place
        QCOMPARE(screen.count("Task Finished.  "), 3);
    }

    // The processes whose parent is `pid`, from /proc.
    static QList<qint64> childrenOf(qint64 pid)
    {
        QList<qint64> children;
        const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            bool isPid = false;
            const qint64 candidate = entry.toLongLong(&isPid);
            if (!isPid)
                continue;
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (comm) state ppid ...": the name may hold spaces and parentheses.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
                children.append(candidate);
        }
        return children;
    }

    // True while `pid` is a process that has not ended (a zombie has ended).
    // Stopped by a signal (state T).
    static bool isStopped(qint64 pid)
    {
        QFile stat("/proc/" + QString::number(pid) + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1) == "T";
    }

    static bool isRunning(qint64 pid)
    {
        QFile stat("/proc/" + QString::number(pid) + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
    }

    // Two long conversions under way, with both encoders writing; returns the encoders.
    QList<qint64> startTwoLongConversions(QProcess &process, const QString &out)
    {
        const QString in = path("in-long");
        if (!QFileInfo::exists(in + "/long2.flac")) {
            QDir().mkpath(in);
            if (!TestAudio::makeFlac(in + "/long1.flac", 900) ||
                !TestAudio::makeFlac(in + "/long2.flac", 900))
                return {};
        }
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(cli(), {"--jobs", "2", "--format", "m4a", "-o", out, in});
        if (!process.waitForStarted(60000))
            return {};
        QElapsedTimer clock;
        clock.start();
        // Both encoders are writing, into hidden temporaries.
        while (writtenTemporaries(out) < 2) {
            if (clock.hasExpired(120000))
                return {};
            QTest::qWait(50);
        }
        return childrenOf(process.processId());
    }

    void interruptStopsEncodersAndRemovesTheirOutputs_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("Ctrl-C") << int(SIGINT);
        QTest::newRow("terminated") << int(SIGTERM);
        QTest::newRow("terminal closed") << int(SIGHUP);
    }

    void interruptStopsEncodersAndRemovesTheirOutputs()
    {
        QFETCH(int, signalNumber);
        const QString out = path("out-long-" + QString::number(signalNumber));
        QProcess process;
        const QList<qint64> encoders = startTwoLongConversions(process, out);
        QCOMPARE(encoders.size(), 2);

        ::kill(pid_t(process.processId()), signalNumber);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signalNumber);
        QCOMPARE(filesIn(out), QStringList());
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("interrupted"));
        for (const qint64 encoder : encoders)
            QVERIFY2(!isRunning(encoder), "an encoder outlived the converter");
    }

    // `wavelark-cli ... | head -1`: the reader of the results goes away during the run.
    void closedOutputPipeStopsLikeAnInterrupt()
    {
        int fds[2] = {-1, -1};
        QVERIFY(::pipe2(fds, O_CLOEXEC) == 0);
        const int writeEnd = fds[1];
        const QString out = path("out-long-pipe");
        QProcess process;
        process.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDOUT_FILENO); });
        const QList<qint64> encoders = startTwoLongConversions(process, out);
        ::close(writeEnd);
        QCOMPARE(encoders.size(), 2);

        ::close(fds[0]);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + SIGPIPE);
        QCOMPARE(filesIn(out), QStringList());
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("interrupted"));
        for (const qint64 encoder : encoders)
            QVERIFY2(!isRunning(encoder), "an encoder outlived the converter");
    }

    // Killed outright, the program leaves no cut-off file under a final name; its encoders die
    // with it, and the next run clears their temporaries.
    void killedMidRunLeavesOnlyTemporariesThatTheNextRunRemoves()
    {
        makeLongInputs();
        const QString out = path("out-killed");
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(cli(), {"--jobs", "2", "--no-sync", "-o", out, path("in-long")});
        QVERIFY(process.waitForStarted(60000));
        QTRY_COMPARE_WITH_TIMEOUT(writtenTemporaries(out), 2, 120000);
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished(60000));

        QTRY_COMPARE_WITH_TIMEOUT(processesMentioning(out), 0, 30000);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList()); // nothing visible
        QCOMPARE(temporariesIn(out).size(), 2);

        const Result next = run({"--no-sync", "-o", out, m_in + "/a.flac"});
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(filesIn(out), QStringList{"a.mp3"});
    }

    // Two programs converting the same files into the same folder at once: every output is
    // distinct and complete.
    void twoProgramsOnTheSameFilesKeepEveryOutput()
    {
        const QString out = path("out-twice");
        QProcess first;
        QProcess second;
        for (QProcess *process : {&first, &second}) {
            process->setStandardInputFile(QProcess::nullDevice());
            process->start(cli(), {"--jobs", "3", "--no-sync", "-o", out, m_in});
        }
        for (QProcess *process : {&first, &second}) {
            QVERIFY(process->waitForFinished(600000));
            QCOMPARE(process->exitCode(), 0);
        }
        const QStringList outputs = filesIn(out);
        QCOMPARE(outputs,
                 (QStringList{"a(1).mp3", "a.mp3", "b(1).mp3", "b.mp3", "c(1).mp3", "c.mp3"}));
        for (const QString &name : outputs)
            QVERIFY2(qAbs(TestAudio::probeDuration(out + "/" + name) - 3.0) < 0.2,
                     qPrintable(name));
    }

    void inputEndingEarlyGivesStatusOneAndAWarning()
    {
        QVERIFY(QDir().mkpath(path("in-cut")));
        const QString whole = path("in-cut/whole.flac");
        QVERIFY(TestAudio::makeFlac(whole, 40));
        QFile cut(path("in-cut/cut.flac"));
        QVERIFY(QFile::copy(whole, cut.fileName()));
        QVERIFY(cut.resize(QFileInfo(whole).size() / 6));
        QVERIFY(QFile::remove(whole));

        const Result result = run({"--no-sync", "-o", path("out-cut"), cut.fileName()});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 1);
        const QStringList warnings = linesStartingWith(result.out, "    warning: ");
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().contains(
                     QRegularExpression("the input ends early: \\d+\\.\\d s of 40\\.0 s")),
                 qPrintable(result.out));
    }
    // Two albums with a song of the same name, in the flat output folder: the second is no
    // output of the first. Both are converted, a re-run skips both, touching B converts B alone
    // (replacing its own output), and the playlist lists each song once.
    void twoAlbumsWithTheSameNameAreBothConverted()
    {
        QVERIFY(QDir().mkpath(path("albums/A")));
        QVERIFY(QDir().mkpath(path("albums/B")));
        const QString a = path("albums/A/01 Intro.flac");
        const QString b = path("albums/B/01 Intro.flac");
        QVERIFY(TestAudio::makeFlac(a, 2, {{"TITLE", "Song A"}}));
        QVERIFY(TestAudio::makeFlac(b, 3, {{"TITLE", "Song B"}}));
        const QString out = path("out-albums");
        const QStringList options{"--skip-existing", "--playlist", "Albums", "-o", out};
        const QString playlist = music() + "/Albums.m3u8";

        Result result = run(options + QStringList{a});
        QCOMPARE(result.exitCode, 0);
        result = run(options + QStringList{b});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.contains("1 of 1 files converted"), qPrintable(result.out));
        QCOMPARE(filesIn(out), QStringList({"01 Intro(1).mp3", "01 Intro.mp3"}));
        QCOMPARE(TestAudio::readTags(out + "/01 Intro(1).mp3").value("TITLE"), QString("Song B"));

        result = run(options + QStringList{a, b});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Up to date.").size(), 2);
        QVERIFY(result.out.contains("2 of 2 files skipped as up to date"));

        // B changes: only B is converted, into its own output.
        const struct timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(b).constData(), later, 0), 0);
        result = run(options + QStringList{a, b});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Up to date."),
                 QStringList({"Up to date.  " + a + " -> " + out + "/01 Intro.mp3"}));
        QCOMPARE(linesStartingWith(result.out, "Task Finished."),
                 QStringList({"Task Finished.  " + b + " -> " + out + "/01 Intro(1).mp3"}));
        QCOMPARE(filesIn(out), QStringList({"01 Intro(1).mp3", "01 Intro.mp3"}));
        QCOMPARE(TestAudio::readTags(out + "/01 Intro.mp3").value("TITLE"), QString("Song A"));
        QFile m3u(playlist);
        QVERIFY(m3u.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(m3u.readAll());
        QCOMPARE(PlaylistFolderLibrary::readEntries(playlist),
                 QStringList({out + "/01 Intro.mp3", out + "/01 Intro(1).mp3"}));
        QCOMPARE(text.count("#EXTINF:"), 2);
        QVERIFY2(text.contains("#EXTINF:3,Song B\n" + out + "/01 Intro(1).mp3\n"),
                 qPrintable(text));

        // x.flac beside x.ogg under kept folders: neither is the other's output.
        QVERIFY(TestAudio::makeFlac(path("albums/A/x.flac"), 1));
        QVERIFY(TestAudio::makeOgg(path("albums/A/x.ogg"), 1));
        const QString kept = path("out-albums-kept");
        const QStringList keptOptions{"--skip-existing", "--no-sync", "--keep-folders", "-o", kept};
        result = run(keptOptions + QStringList{path("albums")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(filesIn(kept + "/A"), QStringList({"01 Intro.mp3", "x(1).mp3", "x.mp3"}));
        result = run(keptOptions + QStringList{path("albums")});
        QVERIFY2(result.out.contains("4 of 4 files skipped as up to date"), qPrintable(result.out));
    }

    // The record's faults never make a file be skipped: a corrupt journal, an entry naming a
    // deleted output, a journal that is a folder; each is converted again and the record rebuilt.
    void aDamagedRecordMeansConvertingAgain()
    {
        const QString journal = TestEnvironment::home() + "/.local/state/wavelark/outputs.jsonl";
        const QString input = path("in/a.flac");
        const QString out = path("out-record");
        const QStringList options{"--skip-existing", "--no-sync", "-o", out, input};
        QCOMPARE(run(options).exitCode, 0);
        QCOMPARE(linesStartingWith(run(options).out, "Up to date.").size(), 1);

        // Garbage in the middle, a half line at the end.
        QFile file(journal);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray good = file.readAll();
        QVERIFY(file.resize(0));
        file.write("{not json\n\x01\x02\n");
        file.write(good);
        file.write("{\"in\":\"" + QFile::encodeName(input) + "\",\"out\":");
        file.close();
        Result result = run(options);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Up to date.").size(), 1);

        // An entry naming a deleted output: made again under its name, not skipped.
        QVERIFY(QFile::remove(out + "/a.mp3"));
        result = run(options);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 1);
        QCOMPARE(filesIn(out), QStringList({"a.mp3"}));
        // The corrupt lines are gone: the journal was rebuilt when written.
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        for (const QByteArray &line : lines)
            QVERIFY2(line.isEmpty() || QJsonDocument::fromJson(line).isObject(), line.constData());
        QCOMPARE(linesStartingWith(run(options).out, "Up to date.").size(), 1);

        // A folder in the journal's place: nothing is known, nothing skipped, the run succeeds.
        QVERIFY(QFile::remove(journal));
        QVERIFY(QDir().mkpath(journal));
        result = run(options);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Task Finished.").size(), 1);
        QCOMPARE(filesIn(out), QStringList({"a(1).mp3", "a.mp3"}));
        QVERIFY(QDir(journal).removeRecursively());

        // Something at the output name that is not this input's file: a folder, a dangling
        // link. The output is numbered, and a re-run adds no further copy.
        const QString odd = path("out-odd");
        QVERIFY(QDir().mkpath(odd + "/a.mp3"));
        QVERIFY(QFile::link(odd + "/gone", odd + "/b.mp3"));
        const QStringList oddOptions{"--skip-existing", "--no-sync", "-o", odd, input,
                                     path("in/b.ogg")};
        QCOMPARE(run(oddOptions).exitCode, 0);
        result = run(oddOptions);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(linesStartingWith(result.out, "Up to date.").size(), 2);
        QCOMPARE(filesIn(odd), QStringList({"a(1).mp3", "b(1).mp3"}));
    }

    // An input dated in the future is up to date once converted; an output that ended early is
    // not (it is made again, in its place).
    void futureInputsAndShortOutputs()
    {
        QVERIFY(QDir().mkpath(path("in-edge")));
        const QString future = path("in-edge/future.flac");
        QVERIFY(TestAudio::makeFlac(future, 1));
        const struct timespec ahead[2] = {{4000000000, 0}, {4000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(future).constData(), ahead, 0), 0);
        const QString out = path("out-edge");
        const QStringList options{"--skip-existing", "--no-sync", "-o", out, future};
        QCOMPARE(run(options).exitCode, 0);
        QCOMPARE(linesStartingWith(run(options).out, "Up to date.").size(), 1);

        const QString whole = path("in-edge/whole.flac");
        QVERIFY(TestAudio::makeFlac(whole, 40));
        const QString cut = path("in-edge/cut.flac");
        QVERIFY(QFile::copy(whole, cut));
        QVERIFY(QFile::resize(cut, QFileInfo(whole).size() / 6));
        const QStringList cutOptions{"--skip-existing", "--no-sync", "-o", out, cut};
        QCOMPARE(run(cutOptions).exitCode, 1);
        const Result again = run(cutOptions);
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(linesStartingWith(again.out, "Up to date.").size(), 0);
        QCOMPARE(linesStartingWith(again.out, "Task Finished.").size(), 1);
        QCOMPARE(filesIn(out), QStringList({"cut.mp3", "future.mp3"}));
    }

    // Two programs over the same folder with --skip-existing: no entry of either is lost, so a
    // third run finds every output up to date and converts nothing.
    void twoProgramsKeepEveryRecordEntry()
    {
        const QString in = path("in-shared");
        QVERIFY(QDir().mkpath(in));
        for (int i = 0; i < 6; ++i)
            QVERIFY(TestAudio::makeFlac(in + QString("/t%1.flac").arg(i), 1));
        const QString out = path("out-shared");
        const QStringList options{"--skip-existing", "--jobs", "3", "--no-sync", "-o", out, in};
        QProcess first;
        QProcess second;
        for (QProcess *process : {&first, &second}) {
            process->setStandardInputFile(QProcess::nullDevice());
            process->start(cli(), options);
        }
        for (QProcess *process : {&first, &second}) {
            QVERIFY(process->waitForFinished(600000));
            QCOMPARE(process->exitCode(), 0);
        }
        const QStringList outputs = filesIn(out);
        const Result third = run(options);
        QCOMPARE(third.exitCode, 0);
        QVERIFY2(third.out.contains("6 of 6 files skipped as up to date"), qPrintable(third.out));
        QCOMPARE(filesIn(out), outputs);
    }

    // A folder holding a name that cannot be read: said in the summary, and not a success.
    void unreadableNamesInAFolderGiveStatusOne()
    {
        const QString in = path("in-badname");
        QVERIFY(QDir().mkpath(in));
        QVERIFY(TestAudio::makeFlac(in + "/good.flac", 1));
        const QByteArray bad = QFile::encodeName(in) + "/bad\xff.flac";
        QCOMPARE(::link(QFile::encodeName(in + "/good.flac").constData(), bad.constData()), 0);
        const Result result = run({"--no-sync", "-o", path("out-badname"), in});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.out.contains("1 of 1 files converted"));
        QVERIFY2(result.out.contains("1 paths could not be read and were skipped"),
                 qPrintable(result.out));
    }

    // Ctrl-Z holds the encoders, `fg` lets them go on; the outputs are whole, as long as those
    // of a run that was never stopped.
    void stopAndContinueHoldTheEncoders()
    {
        const QString in = path("in-pause");
        QVERIFY(QDir().mkpath(in));
        QVERIFY(TestAudio::makeFlac(in + "/p1.flac", 40));
        QVERIFY(TestAudio::makeFlac(in + "/p2.flac", 40));
        const QString out = path("out-paused");
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(cli(), {"--jobs", "2", "--format", "m4a", "--no-sync", "-o", out, in});
        QVERIFY(process.waitForStarted(60000));
        QTRY_COMPARE_WITH_TIMEOUT(writtenTemporaries(out), 2, 120000);
        const QList<qint64> encoders = childrenOf(process.processId());
        QCOMPARE(encoders.size(), 2);

        ::kill(pid_t(process.processId()), SIGTSTP);
        QTRY_VERIFY_WITH_TIMEOUT(isStopped(process.processId()), 60000);
        for (const qint64 encoder : encoders)
            QTRY_VERIFY_WITH_TIMEOUT(isStopped(encoder), 60000);
        ::kill(pid_t(process.processId()), SIGCONT);
        for (const qint64 encoder : encoders)
            QTRY_VERIFY_WITH_TIMEOUT(!isStopped(encoder), 60000);

        QVERIFY(process.waitForFinished(240000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(filesIn(out), QStringList({"p1.m4a", "p2.m4a"}));
        const QString unpaused = path("out-unpaused");
        QCOMPARE(run({"--format", "m4a", "--no-sync", "-o", unpaused, in + "/p1.flac"}).exitCode,
                 0);
        const double reference = TestAudio::probeDuration(unpaused + "/p1.m4a");
        QVERIFY(reference > 39.0);
        for (const QString &name : filesIn(out))
            QCOMPARE(TestAudio::probeDuration(out + "/" + name), reference);
    }
};

WAVELARK_TEST_MAIN(TestCli)
#include "tst_Cli.moc"
