#include "Shared/InputCollector.h"
#include "Shared/Logging.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList reasonsOf(const AcceptedInputs &inputs)
{
    QStringList reasons;
    for (const InputRefusal &refusal : inputs.refused)
        reasons << QStringLiteral("%1: %2").arg(refusal.path, refusal.reason);
    return reasons;
}

} // namespace

// The one rule by which the window and the command-line converter choose their input files.
class TestInputCollector : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(path("music/inner")));
        touch(path("music/a.flac"));
        touch(path("music/B.OGG"));
        touch(path("music/cover.jpg"));
        touch(path("music/inner/c.flac"));
    }

    void namedFilesAndFoldersInOrder()
    {
        touch(path("single.Flac"));
        touch(path("notes.txt"));
        QDir().mkpath(path("empty"));
        const AcceptedInputs inputs =
            InputCollector::collect({path("single.Flac"), path("notes.txt"), path("music"),
                                     path("missing.ogg"), path("empty"), path("single.Flac")});

        // A folder gives its files in the file system's own order, depth first.
        QStringList listed;
        QDirIterator entries(path("music"), QDir::AllEntries | QDir::NoDotAndDotDot);
        while (entries.hasNext()) {
            const QString entry = entries.next();
            if (entry.endsWith("inner"))
                listed << entry + "/c.flac";
            else if (!entry.endsWith(".jpg"))
                listed << entry;
        }
        QCOMPARE(inputs.files,
                 QStringList{path("single.Flac")} + listed + QStringList{path("single.Flac")});
        // Each file knows the named path that led to it: a named file its own folder.
        QStringList roots(listed.size(), path("music"));
        roots.prepend(m_dir.path());
        roots.append(m_dir.path());
        QCOMPARE(inputs.roots, roots);
        QCOMPARE(reasonsOf(inputs),
                 QStringList({path("notes.txt") + ": not a FLAC or Ogg file",
                              path("missing.ogg") + ": No such file or directory",
                              path("empty") + ": no FLAC or Ogg files in this folder"}));
        // The named folders, empty or not, as named: the window trusts them from this list.
        QCOMPARE(inputs.folders, QStringList({path("music"), path("empty")}));
    }

    // "Also convert other audio files": a named file is taken whatever its name (its content is
    // judged later by the probe), folders give the other audio extensions too; while it is off a
    // named file of another kind is refused as such, so callers can say how to take it.
    void otherAudioFilesWhenAsked()
    {
        QVERIFY(QDir().mkpath(path("mixed")));
        touch(path("mixed/a.flac"));
        touch(path("mixed/b.MP3"));
        touch(path("mixed/c.wv"));
        touch(path("mixed/folder.jpg"));
        touch(path("song.m4a"));
        touch(path("noextension"));

        const AcceptedInputs off = InputCollector::collect({path("song.m4a"), path("mixed")});
        QCOMPARE(off.files, QStringList{path("mixed/a.flac")});
        QCOMPARE(off.refused.size(), 1);
        QVERIFY(off.refused.first().otherKind);

        const AcceptedInputs on = InputCollector::collect(
            {path("song.m4a"), path("noextension"), path("mixed")}, nullptr, true);
        QStringList files = on.files.mid(2);
        files.sort();
        QCOMPARE(on.files.mid(0, 2), (QStringList{path("song.m4a"), path("noextension")}));
        QCOMPARE(files,
                 (QStringList{path("mixed/a.flac"), path("mixed/b.MP3"), path("mixed/c.wv")}));
        QVERIFY(on.refused.isEmpty());

        // A folder without audio says so in the words of the wider choice.
        QVERIFY(QDir().mkpath(path("pictures")));
        touch(path("pictures/x.jpg"));
        const AcceptedInputs none = InputCollector::collect({path("pictures")}, nullptr, true);
        QCOMPARE(reasonsOf(none),
                 QStringList{path("pictures") + ": no audio files in this folder"});
        QVERIFY(!none.refused.first().otherKind);
    }

    void linksToFilesAndFoldersAreFollowed()
    {
        QVERIFY(QFile::link(path("music/a.flac"), path("link-to-a.flac")));
        QVERIFY(QFile::link(path("music"), path("link-to-music")));
        const AcceptedInputs inputs =
            InputCollector::collect({path("link-to-a.flac"), path("link-to-music")});
        QVERIFY(inputs.refused.isEmpty());
        QCOMPARE(inputs.files.first(), path("link-to-a.flac"));
        QCOMPARE(inputs.files.size(), 4);
        QVERIFY(inputs.files.contains(path("link-to-music/inner/c.flac")));
        QCOMPARE(inputs.folders, QStringList{path("link-to-music")});
    }

    void eachFolderIsListedOnce()
    {
        // Two links to one folder, and a folder named both directly and through a link: its
        // files come once, so no file converts twice.
        QVERIFY(QDir().mkpath(path("twice")));
        QVERIFY(QFile::link(path("music/inner"), path("twice/first")));
        QVERIFY(QFile::link(path("music/inner"), path("twice/second")));
        const AcceptedInputs inputs = InputCollector::collect({path("twice")});
        QCOMPARE(inputs.files.size(), 1);
        QVERIFY(inputs.files.first().endsWith("/c.flac"));

        const AcceptedInputs again =
            InputCollector::collect({path("music"), path("twice"), path("music")});
        QCOMPARE(again.files.size(), 3);
    }

    void linkLoopsEnd()
    {
        QVERIFY(QDir().mkpath(path("loop/deep")));
        touch(path("loop/deep/song.ogg"));
        QVERIFY(QFile::link(path("loop"), path("loop/deep/up")));
        QVERIFY(QFile::link(path("loop/self"), path("loop/self"))); // a link to itself
        const AcceptedInputs inputs = InputCollector::collect({path("loop")});
        QCOMPARE(inputs.files, QStringList{path("loop/deep/song.ogg")});
        QVERIFY(inputs.refused.isEmpty());
    }

    void onlyRegularFilesAreTaken()
    {
        QVERIFY(QDir().mkpath(path("special")));
        QVERIFY(::mkfifo(QFile::encodeName(path("special/pipe.flac")).constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/zero", path("special/zero.flac")));
        QVERIFY(QFile::link("/dev/null", path("null.ogg")));
        touch(path("special/real.ogg"));
        const AcceptedInputs inputs =
            InputCollector::collect({path("special"), path("null.ogg"), path("special/pipe.flac")});
        QCOMPARE(inputs.files, QStringList{path("special/real.ogg")});
        QStringList reasons = reasonsOf(inputs);
        reasons.sort();
        QCOMPARE(reasons, QStringList({path("null.ogg") + ": not a regular file",
                                       path("special/pipe.flac") + ": not a regular file",
                                       path("special/pipe.flac") + ": not a regular file",
                                       path("special/zero.flac") + ": not a regular file"}));
    }

    void namesThatAreNotUtf8AreReported()
    {
        QVERIFY(QDir().mkpath(path("latin1")));
        const QByteArray folder = QFile::encodeName(path("latin1"));
        const QByteArray badFile = folder + "/caf\xe9.flac";
        const QByteArray badFolder = folder + "/d\xe9mos";
        touch(QFile::decodeName(folder) + "/fine.flac");
        QVERIFY(::close(::open(badFile.constData(), O_CREAT | O_WRONLY, 0600)) == 0);
        QVERIFY(::mkdir(badFolder.constData(), 0700) == 0);
        QVERIFY(::close(::open((badFolder + "/x.ogg").constData(), O_CREAT | O_WRONLY, 0600)) == 0);

        const AcceptedInputs inputs = InputCollector::collect({path("latin1")});
        QCOMPARE(inputs.files, QStringList{path("latin1/fine.flac")});
        QCOMPARE(inputs.refused.size(), 2);
        for (const InputRefusal &refusal : inputs.refused)
            QCOMPARE(refusal.reason, QStringLiteral("the name is not valid UTF-8"));
    }

    void aSetStopEndsTheWork()
    {
        std::atomic<bool> stop{true};
        QVERIFY(InputCollector::collect({path("music")}, &stop).files.isEmpty());
    }

    // A named path whose status cannot be read leaves its "lstat error" line with the system's
    // reason. The window writes such log lines by default and WAVELARK_QUIET=1 silences them;
    // the command-line converter writes them only when asked to be verbose.
    void logLinesAreWrittenByDefaultAndSilencedOnRequest()
    {
        qunsetenv("WAVELARK_DEBUG");
        qunsetenv("WAVELARK_QUIET");
        Logging::configure(Logging::LogLines::Written, false);
        QTest::ignoreMessage(QtInfoMsg, "lstat error: No such file or directory");
        InputCollector::collect({path("gone.flac")});
        QVERIFY(lcMainWindow().isInfoEnabled());
        QVERIFY(lcEngine().isInfoEnabled());
        QVERIFY(!lcEngine().isDebugEnabled());

        qputenv("WAVELARK_QUIET", "1");
        Logging::configure(Logging::LogLines::Written, false);
        QVERIFY(!lcShared().isInfoEnabled());
        QVERIFY(!lcMainWindow().isInfoEnabled());
        QVERIFY(lcMainWindow().isWarningEnabled());
        qunsetenv("WAVELARK_QUIET");

        Logging::configure(Logging::LogLines::Quiet, false);
        QVERIFY(!lcEngine().isInfoEnabled());
        Logging::configure(Logging::LogLines::Quiet, true);
        QVERIFY(lcEngine().isInfoEnabled());
        QVERIFY(lcEngine().isDebugEnabled());
    }
};

WAVELARK_TEST_MAIN(TestInputCollector)
#include "tst_InputCollector.moc"
