#include "Shared/FolderBookmark.h"
#include "Shared/GlobalFun.h"
#include "Shared/LenientNumber.h"
#include "Shared/QuitWatchdog.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

class TestGlobalFun : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    // A teardown that never ends (a worker that cannot be joined) still ends the process, with
    // the status it was going to have.
    void quitWatchdogEndsAStuckQuit()
    {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            QuitWatchdog::arm(7, 100);
            for (;;)
                ::pause();
        }
        int status = 0;
        pid_t ended = 0;
        // Bounded, so that a watchdog that never fires fails the test instead of hanging it.
        for (int i = 0; i < 600 && (ended = ::waitpid(child, &status, WNOHANG)) == 0; ++i)
            QTest::qSleep(100);
        if (ended == 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            QFAIL("the stuck quit was never ended");
        }
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 7);
    }

    void timeTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "00:00:00";
        QTest::newRow("truncated") << 59.99 << "00:00:59";
        QTest::newRow("hour minute second") << 3725.9 << "01:02:05";
        QTest::newRow("hundred hours") << 360000.0 << "100:00:00";
    }
    void timeTexts()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(GlobalFun::getTimeStringBySecond(seconds), text);
    }

    void secondsFromTimeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        QTest::newRow("null") << QString() << 0.0;
        QTest::newRow("empty") << QString("") << 0.0;
        QTest::newRow("fraction") << "00:00:05.04" << 5.04;
        QTest::newRow("all pieces") << "01:02:03.50" << 3723.5;
        QTest::newRow("one piece is hours") << "12.5" << 45000.0;
        QTest::newRow("garbage piece is zero") << "xx:01:00" << 60.0;
        QTest::newRow("fourth piece ignored") << "00:00:01:30" << 1.0;
    }
    void secondsFromTimeTexts()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        QCOMPARE(GlobalFun::getSecondsByTimeString(text), seconds);
    }

    void lenientNumbersReadTheLeadingNumber()
    {
        QCOMPARE(LenientNumber::toDouble(QStringView(u"  320kbit")), 320.0);
        QCOMPARE(LenientNumber::toDouble(QStringView(u"-1.5e2x")), -150.0);
        QCOMPARE(LenientNumber::toDouble(QStringView(u"abc")), 0.0);
        QCOMPARE(LenientNumber::toDouble(QStringView(u".5")), 0.5);
        QCOMPARE(LenientNumber::valueToInteger(QVariant(QStringLiteral("1280*720"))), 1280);
        QCOMPARE(LenientNumber::valueToDouble(QVariant(QVariantList{})), 0.0);
    }

    void uniqueOutputPathNumbersTakenNames()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QStringLiteral("/a");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(base + ".mp3", "mp3"), base + ".mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(base, "mp3"), base + ".mp3");
        touch(base + ".mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(base + ".mp3", "mp3"), base + "(1).mp3");
        touch(base + "(1).mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(base + ".mp3", "mp3"), base + "(2).mp3");
        // The extension comparison is exact: a capitalised one gains a second extension.
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(base + ".MP3", "mp3"), base + ".MP3.mp3");
    }

    void uniqueOutputPathRenumbersAnExistingTag()
    {
        QTemporaryDir dir;
        const QString tagged = dir.path() + QStringLiteral("/b(1).mp3");
        touch(tagged);
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(tagged, "mp3"), dir.path() + "/b(2).mp3");
    }

    void uniqueOutputPathNumbersOnlyTheFileName()
    {
        // A "(n)" in a folder name belongs to the folder: numbering must never move the output
        // into a sibling folder such as "Mix (2)".
        QTemporaryDir dir;
        const QString mix = dir.path() + QStringLiteral("/Mix (1)");
        QVERIFY(QDir().mkpath(mix));
        QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/Mix (2)")));
        touch(mix + "/a.mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(mix + "/a.mp3", "mp3"), mix + "/a(1).mp3");
        touch(mix + "/a(1).mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(mix + "/a.mp3", "mp3"), mix + "/a(2).mp3");
        // The same tag in the folder and in the name: only the name's own one counts.
        touch(mix + "/b(1).mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(mix + "/b(1).mp3", "mp3"), mix + "/b(2).mp3");
        touch(mix + "/(1).mp3");
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(mix + "/(1).mp3", "mp3"), mix + "/(2).mp3");
    }

    void uniqueOutputPathSeesABrokenLinkAsTaken()
    {
        QTemporaryDir dir;
        const QString link = dir.path() + QStringLiteral("/c.mp3");
        QVERIFY(QFile::link(dir.path() + QStringLiteral("/nowhere"), link));
        QCOMPARE(GlobalFun::makeSureFullPathIdentical(link, "mp3"), dir.path() + "/c(1).mp3");
    }

    void recursiveListingFiltersByExtensionIgnoringCase()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(QDir().mkpath(root + "/nested/deeper"));
        touch(root + "/x.FLAC");
        touch(root + "/._x.flac");
        touch(root + "/skip.mp3");
        touch(root + "/nested/y.ogg");
        touch(root + "/nested/deeper/z.flac");
        QVERIFY(QFile::link(root + "/missing.flac", root + "/broken.flac"));

        QStringList found = GlobalFun::fileListAtDirenctory(root, GlobalFun::getSupportedFmts());
        found.sort();
        QStringList expected{root + "/._x.flac", root + "/nested/deeper/z.flac",
                             root + "/nested/y.ogg", root + "/x.FLAC"};
        expected.sort();
        QCOMPARE(found, expected);
        QVERIFY(GlobalFun::fileListAtDirenctory(root + "/absent", {"flac"}).isEmpty());
    }

    void recursiveListingSurvivesAFolderLinkLoop()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/music"));
        touch(dir.path() + "/music/song.flac");
        QVERIFY(QFile::link(dir.path(), dir.path() + "/music/back-to-top"));
        const QStringList found = GlobalFun::fileListAtDirenctory(dir.path(), {"flac"});
        QCOMPARE(found, QStringList{dir.path() + "/music/song.flac"});
    }

    void recursiveListingListsAFolderReachedTwiceOnce()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/shared"));
        touch(dir.path() + "/shared/once.flac");
        QVERIFY(QDir().mkpath(dir.path() + "/top"));
        QVERIFY(QFile::link(dir.path() + "/shared", dir.path() + "/top/one"));
        QVERIFY(QFile::link(dir.path() + "/shared", dir.path() + "/top/two"));
        QCOMPARE(GlobalFun::fileListAtDirenctory(dir.path() + "/top", {"flac"}).size(), 1);
    }

    void folderCreation()
    {
        QTemporaryDir dir;
        QVERIFY(!GlobalFun::MakeSureFolderExsist(QString()));
        QVERIFY(GlobalFun::MakeSureFolderExsist(dir.path() + "/one/two/three"));
        QVERIFY(QFileInfo(dir.path() + "/one/two/three").isDir());
        QVERIFY(GlobalFun::MakeSureFolderExsist(dir.path() + "/one"));
        touch(dir.path() + "/plain");
        QVERIFY(!GlobalFun::MakeSureFolderExsist(dir.path() + "/plain"));
    }

    void versionTexts()
    {
        QCOMPARE(GlobalFun::threePieceVersion("2"), QString("2.0.0"));
        QCOMPARE(GlobalFun::threePieceVersion("3.1"), QString("3.1.0"));
        QCOMPARE(GlobalFun::threePieceVersion("1.2.3.4"), QString("1.2.3"));
        QCOMPARE(GlobalFun::getAppBuildVersion(),
                 GlobalFun::getAppVersion() + "." + GlobalFun::getAppBuildNumber());
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.\\d+$")
                    .match(GlobalFun::getSystemVersionString())
                    .hasMatch());
    }

    void homeFollowsTheTestSeam()
    {
        QCOMPARE(GlobalFun::RealHomeDirectory(), TestEnvironment::home());
    }

    void bookmarksTellMissingAndReplacedFolders()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/trusted";
        QVERIFY(QDir().mkpath(folder));
        const QByteArray bookmark = GlobalFun::BookmarkDataForURL(QUrl::fromLocalFile(folder));
        QVERIFY(!bookmark.isEmpty());
        QString path;
        QCOMPARE(FolderBookmark::resolve(bookmark, &path), FolderBookmark::Resolution::Resolved);
        QCOMPARE(path, folder);

        // The old folder stays alive under another name, so the new one has another inode.
        QVERIFY(QDir().rename(folder, folder + ".old"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(FolderBookmark::resolve(bookmark), FolderBookmark::Resolution::Stale);
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(FolderBookmark::resolve(bookmark), FolderBookmark::Resolution::Missing);

        QCOMPARE(FolderBookmark::resolve("not a bookmark"), FolderBookmark::Resolution::Invalid);
        QVERIFY(GlobalFun::BookmarkDataForURL(QUrl()).isEmpty());
        QVERIFY(GlobalFun::BookmarkDataForURL(QUrl::fromLocalFile(dir.path() + "/no")).isEmpty());
    }
};

WAVELARK_TEST_MAIN(TestGlobalFun)
#include "tst_GlobalFun.moc"
