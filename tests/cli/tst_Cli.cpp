#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/PlaylistFolderLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

// Drives the real wavelark-cli binary on files generated here, in the private home of the test.
class TestCli : public QObject
{
    Q_OBJECT

    struct Result
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    QTemporaryDir m_dir;
    QString m_in; // a.flac, b.ogg, deeper/c.FLAC, notes.txt

    static QString cli() { return QCoreApplication::applicationDirPath() + "/wavelark-cli"; }
    static QString music() { return TestEnvironment::home() + "/Music"; }
    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

    static Result run(const QStringList &arguments)
    {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(cli(), arguments);
        Result result;
        if (!process.waitForStarted(60000) || !process.waitForFinished(600000))
            return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

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
        QTest::newRow("format") << QStringList({"--format", "wav", "x.flac"}) << "unknown format";
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
        for (const char *option : {"--format", "--jobs", "--output", "--playlist", "--no-sync"})
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

    void interruptStopsEncodersAndRemovesTheirOutputs()
    {
        QVERIFY(QDir().mkpath(path("in-long")));
        QVERIFY(TestAudio::makeFlac(path("in-long/long1.flac"), 900));
        QVERIFY(TestAudio::makeFlac(path("in-long/long2.flac"), 900));
        const QString out = path("out-long");

        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(cli(), {"--jobs", "2", "--format", "m4a", "-o", out, path("in-long")});
        QVERIFY(process.waitForStarted(60000));
        // Both encoders are writing.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out + "/long1.m4a").size() > 0 &&
                                     QFileInfo(out + "/long2.m4a").size() > 0,
                                 120000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(filesIn(out), QStringList());
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("interrupted"));
    }
};

WAVELARK_TEST_MAIN(TestCli)
#include "tst_Cli.moc"
