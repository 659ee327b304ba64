#include "Shared/GlobalFun.h"
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/PlaylistFolderLibrary.h"
#include "engine/ScriptBridgeHelper.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

class TestMusicLibrary : public QObject
{
    Q_OBJECT

    QString music() const { return GlobalFun::RealHomeDirectory() + "/Music"; }
    PlaylistFolderLibrary library() const { return PlaylistFolderLibrary(music()); }

    QStringList playlistNames()
    {
        PlaylistFolderLibrary lib = library();
        QStringList names;
        for (const MusicPlaylistPtr &playlist : lib.userPlaylists())
            names.append(playlist->name());
        return names;
    }

    QStringList entriesOf(const QString &name)
    {
        return PlaylistFolderLibrary::readEntries(music() + "/" +
                                                  PlaylistFolderLibrary::fileNameForPlaylist(name));
    }

    QString sync(const QString &playlist, const QString &file)
    {
        QString error = "untouched";
        ScriptBridgeHelper::syncItunesLibrary(playlist, file, &error);
        return error;
    }

private slots:
    void init()
    {
        ScriptBridgeHelper::setApplicationFactory({});
        QDir(music()).removeRecursively();
    }

    void createsTheMusicFolderAndAPlaylistWithRelativeEntries()
    {
        QCOMPARE(sync("Road Trip", music() + "/Converted/a.mp3"), QString());
        QCOMPARE(sync("Road Trip", "/elsewhere/b.m4a"), QString());
        QCOMPARE(sync("Road Trip", music() + "/#1 hit.mp3"), QString());

        QFile file(music() + "/Road Trip.m3u8");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("#EXTM3U\n#PLAYLIST:Road Trip\n"));
        QCOMPARE(entriesOf("Road Trip"),
                 QStringList({"Converted/a.mp3", "/elsewhere/b.m4a", "./#1 hit.mp3"}));
        // Every synced file is in the library too.
        QCOMPARE(PlaylistFolderLibrary::readEntries(library().libraryRecordPath()),
                 entriesOf("Road Trip"));
    }

    // Players show the "#EXTINF" line instead of the bare path: tags when there are any, the
    // file name otherwise; the library record and the playlist both carry it.
    void entriesCarryTheirLengthAndTitle()
    {
        QVERIFY(QDir().mkpath(music() + "/Converted"));
        const QString both = music() + "/Converted/a.ogg";
        const QString titleOnly = music() + "/Converted/b.flac";
        const QString bare = music() + "/Converted/02 Bare Song.flac";
        QVERIFY(TestAudio::makeOgg(both, 3, {{"ARTIST", "The Band"}, {"TITLE", "First Light"}}));
        QVERIFY(TestAudio::makeFlac(titleOnly, 2, {{"TITLE", "Alone"}}));
        QVERIFY(TestAudio::makeFlac(bare, 2));
        for (const QString &file : {both, titleOnly, bare})
            QCOMPARE(sync("Titles", file), QString());

        const QStringList expected{"#EXTINF:3,The Band - First Light",
                                   "Converted/a.ogg",
                                   "#EXTINF:2,Alone",
                                   "Converted/b.flac",
                                   "#EXTINF:2,02 Bare Song",
                                   "Converted/02 Bare Song.flac"};
        for (const QString &path : {music() + "/Titles.m3u8", library().libraryRecordPath()}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
            QCOMPARE(lines.mid(2, 6), expected);
        }
        QCOMPARE(entriesOf("Titles"), QStringList({"Converted/a.ogg", "Converted/b.flac",
                                                   "Converted/02 Bare Song.flac"}));
        // A file that cannot be read still gets a line: no length, its name.
        QCOMPARE(PlaylistFolderLibrary::extinfLine("/nowhere/x.mp3"), QString("#EXTINF:-1,x"));
    }

    void matchesNamesExactlyAndPutsNewPlaylistsFirst()
    {
        QVERIFY(QDir().mkpath(music()));
        // Playlists made by another player, one with lines the sync must keep.
        QFile foreign(music() + "/Alpha.m3u8");
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.write("#EXTM3U\n#EXTINF:12,Someone - Song\nsong.ogg");
        foreign.close();
        QFile other(music() + "/Zulu.m3u8");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        QCOMPARE(playlistNames(), QStringList({"Alpha", "Zulu"}));

        QCOMPARE(sync("Zulu", music() + "/z.mp3"), QString());
        QCOMPARE(playlistNames(), QStringList({"Alpha", "Zulu"}));
        QCOMPARE(sync("alpha", music() + "/a.mp3"), QString());
        QCOMPARE(playlistNames(), QStringList({"alpha", "Alpha", "Zulu"}));
        QCOMPARE(sync("Mix", music() + "/m.mp3"), QString());
        QCOMPARE(playlistNames(), QStringList({"Mix", "alpha", "Alpha", "Zulu"}));
        QCOMPARE(sync("Alpha", music() + "/b.mp3"), QString());
        QCOMPARE(playlistNames(), QStringList({"Mix", "alpha", "Alpha", "Zulu"}));

        QCOMPARE(entriesOf("Alpha"), QStringList({"song.ogg", "b.mp3"}));
        QFile kept(music() + "/Alpha.m3u8");
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains("#EXTINF:12,Someone - Song\nsong.ogg\n"));
        QCOMPARE(entriesOf("alpha"), QStringList({"a.mp3"}));
        QCOMPARE(entriesOf("Zulu"), QStringList({"z.mp3"}));
    }

    void emptyNameAddsToTheLibraryOnly()
    {
        QCOMPARE(sync("", music() + "/solo.mp3"), QString());
        QCOMPARE(sync("", music() + "/solo.mp3"), QString());
        QVERIFY(playlistNames().isEmpty());
        QCOMPARE(PlaylistFolderLibrary::readEntries(library().libraryRecordPath()),
                 QStringList({"solo.mp3"}));
    }

    void hostileNamesStayInsideTheMusicFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../x";
        QTest::newRow("slash") << "a/b";
        QTest::newRow("hidden") << ".hidden";
        QTest::newRow("dot-dot") << "..";
        QTest::newRow("absolute") << "/tmp/evil";
        QTest::newRow("encoded look-alike") << "a%2Fb";
        QTest::newRow("line break") << "two\nlines";
    }

    void hostileNamesStayInsideTheMusicFolder()
    {
        QFETCH(QString, name);
        const QString home = GlobalFun::RealHomeDirectory();
        QCOMPARE(sync(name, music() + "/one.mp3"), QString());
        QCOMPARE(sync(name, music() + "/two.mp3"), QString());

        // One visible playlist file directly in the Music folder, found again by its name.
        const QStringList files = QDir(music()).entryList({"*.m3u8"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(!files.first().startsWith('.'));
        QCOMPARE(playlistNames(), QStringList({name}));
        QCOMPARE(entriesOf(name), QStringList({"one.mp3", "two.mp3"}));
        QVERIFY(QDir(home).entryList({"*.m3u8"}, QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(!QFile::exists("/tmp/evil.m3u8"));
    }

    void differentNamesNeverShareAFile()
    {
        QCOMPARE(sync("a/b", music() + "/1.mp3"), QString());
        QCOMPARE(sync("a%2Fb", music() + "/2.mp3"), QString());
        QCOMPARE(entriesOf("a/b"), QStringList({"1.mp3"}));
        QCOMPARE(entriesOf("a%2Fb"), QStringList({"2.mp3"}));
    }

    // The message names what went wrong, not a program holding the lock.
    void lockFailuresNameTheirCause()
    {
        QVERIFY(QDir().mkpath(music() + "/.wavelark-library.lock"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not a file"));
        const QString folderLock = sync("List", music() + "/a.mp3");
        QVERIFY2(
            folderLock.contains("lock path " + music() + "/.wavelark-library.lock is not a file"),
            qPrintable(folderLock));
        QVERIFY(entriesOf("List").isEmpty());
    }

    // A Music folder on a full disk; needs a small tmpfs, so only where mounting is allowed.
    // The order file, a playlist or the library record replaced with a FIFO nobody writes or a
    // link to /dev/zero: the sync says what is there instead of waiting for ever or reading
    // without end, and what it could not read stays as it is.
    void libraryFilesThatAreNoFilesAreNamed_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("playlist");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("order file as a FIFO")
            << ".wavelark-playlists.json" << true << "New List" << false;
        QTest::newRow("order file leading to /dev/zero")
            << ".wavelark-playlists.json" << false << "New List" << false;
        QTest::newRow("library record as a FIFO")
            << ".wavelark-library.m3u8" << true << "" << false;
        QTest::newRow("library record leading to /dev/zero")
            << ".wavelark-library.m3u8" << false << "" << false;
        QTest::newRow("playlist as a FIFO") << "Mix.m3u8" << true << "Mix" << false;
        // A replaced output rewrites the files that list it, which reads them whole.
        QTest::newRow("library record as a FIFO, output replaced")
            << ".wavelark-library.m3u8" << true << "" << true;
        QTest::newRow("playlist leading to /dev/zero, output replaced")
            << "Mix.m3u8" << false << "Mix" << true;
    }
    void libraryFilesThatAreNoFilesAreNamed()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, fifo);
        QFETCH(QString, playlist);
        QFETCH(bool, replaced);
        QVERIFY(QDir().mkpath(music()));
        // A library record already there, so that the playlist case reaches the playlist.
        if (fileName == QLatin1String("Mix.m3u8"))
            QCOMPARE(sync("", music() + "/first.mp3"), QString());
        const QString path = music() + "/" + fileName;
        if (fifo)
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else
            QVERIFY(QFile::link("/dev/zero", path));

        QString error = "untouched";
        ScriptBridgeHelper::syncItunesLibrary(playlist, music() + "/a.mp3", &error, replaced);
        QVERIFY2(error.contains(path) && error.contains("not a regular file"), qPrintable(error));
        QFileInfo after(path);
        QVERIFY(fifo ? !after.isFile() && after.exists() : after.isSymLink());
        QVERIFY(playlistNames().size() <= 1);
    }

    void fullMusicFolderIsNamed()
    {
        QTemporaryDir mountPoint;
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mountPoint.path()});
        if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP("cannot mount a small tmpfs here");
        auto unmount =
            qScopeGuard([&mountPoint] { QProcess::execute("umount", {mountPoint.path()}); });
        const QString full = mountPoint.path() + "/Music";
        QVERIFY(QDir().mkpath(full));
        QFile filler(mountPoint.path() + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        ScriptBridgeHelper::setApplicationFactory(
            [full] { return std::make_unique<PlaylistFolderLibrary>(full); });

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("."));
        const QString error = sync("List", full + "/a.mp3");
        ScriptBridgeHelper::setApplicationFactory({});
        QVERIFY2(!error.isEmpty(), "a sync onto a full disk was reported as done");
        QVERIFY2(!error.contains("locked by another program"), qPrintable(error));
        QVERIFY2(error.contains("space", Qt::CaseInsensitive), qPrintable(error));
    }

    void unusableNameOrPathIsReported()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unusable playlist name"));
        QVERIFY(!sync(QString(300, 'x'), music() + "/a.mp3").isEmpty());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot hold the path"));
        QVERIFY(!sync("List", music() + "/bad\nname.mp3").isEmpty());
        QVERIFY(entriesOf("List").isEmpty());
        QVERIFY(PlaylistFolderLibrary::readEntries(library().libraryRecordPath()).isEmpty());
    }

    void missingLibrarySourceIsLogged()
    {
        // A plain file where the Music folder should be: the library cannot be opened.
        const QString blocked = GlobalFun::RealHomeDirectory() + "/blocked";
        QFile blocker(blocked);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ScriptBridgeHelper::setApplicationFactory(
            [blocked] { return std::make_unique<PlaylistFolderLibrary>(blocked + "/Music"); });

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not create the music"));
        QTest::ignoreMessage(QtWarningMsg, "could not find iTunes library");
        QCOMPARE(sync("List", blocked + "/a.mp3"),
                 QString("could not find the music library (the playlists in the Music folder)"));
        QFile::remove(blocked);
    }

    // Adding a file appends to the files as they are now, also after another program changed
    // them: an entry it removed comes back once, a missing last line feed is supplied.
    void appendsToFilesChangedElsewhere()
    {
        QCOMPARE(sync("Edited", music() + "/a.mp3"), QString());
        QCOMPARE(sync("Edited", music() + "/b.mp3"), QString());
        const QString record = library().libraryRecordPath();
        QCOMPARE(PlaylistFolderLibrary::readEntries(record), QStringList({"a.mp3", "b.mp3"}));

        // Another program rewrites both files: b leaves the record, the playlist loses its last
        // line feed.
        QFile recordFile(record);
        QVERIFY(recordFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        recordFile.write("#EXTM3U\n#PLAYLIST:Library\na.mp3\nhand-added.mp3\n");
        recordFile.close();
        QFile playlist(music() + "/Edited.m3u8");
        QVERIFY(playlist.open(QIODevice::WriteOnly | QIODevice::Truncate));
        playlist.write("#EXTM3U\n#PLAYLIST:Edited\na.mp3\nb.mp3");
        playlist.close();

        QCOMPARE(sync("Edited", music() + "/b.mp3"), QString());
        QCOMPARE(sync("Edited", music() + "/a.mp3"), QString());
        QCOMPARE(PlaylistFolderLibrary::readEntries(record),
                 QStringList({"a.mp3", "hand-added.mp3", "b.mp3"}));
        QCOMPARE(entriesOf("Edited"), QStringList({"a.mp3", "b.mp3", "b.mp3", "a.mp3"}));
    }

    void concurrentSyncsKeepEveryEntry()
    {
        constexpr int kThreads = 6;
        constexpr int kFilesEach = 12;
        QList<QThread *> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.append(QThread::create([this, t] {
                for (int i = 0; i < kFilesEach; ++i) {
                    const QString file = music() + QString("/t%1/f%2.mp3").arg(t).arg(i);
                    ScriptBridgeHelper::syncItunesLibrary(i % 3 ? "Shared" : "", file);
                }
            }));
        }
        for (QThread *thread : threads)
            thread->start();
        for (QThread *thread : threads) {
            QVERIFY(thread->wait(120000));
            delete thread;
        }

        QCOMPARE(playlistNames(), QStringList({"Shared"}));
        QStringList inPlaylist = entriesOf("Shared");
        QStringList inLibrary = PlaylistFolderLibrary::readEntries(library().libraryRecordPath());
        QCOMPARE(inLibrary.size(), kThreads * kFilesEach);
        QCOMPARE(inPlaylist.size(), kThreads * (kFilesEach - kFilesEach / 3));
        inPlaylist.removeDuplicates();
        inLibrary.removeDuplicates();
        QCOMPARE(inPlaylist.size(), kThreads * (kFilesEach - kFilesEach / 3));
        QCOMPARE(inLibrary.size(), kThreads * kFilesEach);
    }
};

WAVELARK_TEST_MAIN(TestMusicLibrary)
#include "tst_MusicLibrary.moc"
