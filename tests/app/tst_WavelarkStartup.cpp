#include "Shared/FolderBookmark.h"
#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "crash/CrashReportObject.h"
#include "crash/CrashReportUtil.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>

// Starts the real program, offscreen, in this test's private home, with a local server standing
// in for the maker's.
class TestWavelarkStartup : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    QStringList m_reportedUserIds;

    static QString program() { return QCoreApplication::applicationDirPath() + "/wavelark"; }

    void
    startProgram(QProcess &process, const QStringList &arguments = {},
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program(), arguments);
        QVERIFY2(process.waitForStarted(30000), qPrintable(process.errorString()));
    }

    // Waits for the start-up report of the next launch and records its user id.
    void expectStartupReport(QSignalSpy &requests)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!requests.isEmpty(), 60000);
        const QUrl target(m_server.url(requests.takeFirst().first().toString()));
        QCOMPARE(target.path(), QString("/common_task/reportstartup.php"));
        const QUrlQuery query(target);
        QCOMPARE(query.queryItemValue("channelid"), QString("5"));
        m_reportedUserIds.append(query.queryItemValue("userid"));
    }

    static bool storeTrusts(const QString &folder)
    {
        UserDefaults store(UserDefaults::standard().filePath());
        for (const QVariant &bookmark : store.arrayForKey(PrefKeys::Bookmarks)) {
            QString path;
            FolderBookmark::resolve(bookmark.toByteArray(), &path);
            if (path == folder)
                return true;
        }
        return false;
    }

    static void stop(QProcess &process)
    {
        process.terminate();
        if (!process.waitForFinished(30000))
            process.kill();
        process.waitForFinished(10000);
    }

private slots:
    void initTestCase()
    {
        const struct rlimit noCoreFiles = {0, 0};
        setrlimit(RLIMIT_CORE, &noCoreFiles);
        QVERIFY(m_server.listen());
        m_server.route("/common_task/reportstartup.php", QByteArray("ok"));
        qputenv("WAVELARK_MAKER_SERVER", m_server.baseUrl().toUtf8());
        qputenv("WAVELARK_STORE_SERVER", m_server.baseUrl().toUtf8());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The start's diagnostics are what these tests follow.
        qputenv("WAVELARK_DEBUG", "1");
    }

    // With the privacy switch off, or WAVELARK_OFFLINE=1, nothing at all leaves the program: not
    // the start-up report, not the store lookups (let through by WAVELARK_NO_STORE_PROMPTS=0).
    // With it on, the report and the update check's lookup, on the maker's server, both arrive.
    void thePrivacySwitchDecidesWhatLeaves_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QByteArray>("offline");
        QTest::addColumn<bool>("sends");
        QTest::newRow("switch off") << QVariant(false) << QByteArray() << false;
        QTest::newRow("WAVELARK_OFFLINE=1") << QVariant(true) << QByteArray("1") << false;
        QTest::newRow("switch on") << QVariant(true) << QByteArray() << true;
    }

    void thePrivacySwitchDecidesWhatLeaves()
    {
        QFETCH(QVariant, stored);
        QFETCH(QByteArray, offline);
        QFETCH(bool, sends);
        UserDefaults::standard().setValue(PrefKeys::AppOnlineServices, stored);
        // A first launch that has already checked for updates would not look again.
        UserDefaults::standard().removeObjectForKey(PrefKeys::UpdateCheckLastChecked);
        QVERIFY(UserDefaults::standard().synchronize());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("WAVELARK_NO_STORE_PROMPTS", "0");
        // The lookups' own address is left unset: they go where the maker's server is.
        environment.remove("WAVELARK_STORE_SERVER");
        if (!offline.isEmpty())
            environment.insert("WAVELARK_OFFLINE", QString::fromLatin1(offline));
        const int before = m_server.totalRequests();

        QProcess program;
        startProgram(program, {}, environment);
        auto stopProgram = qScopeGuard([&program] { stop(program); });
        if (sends) {
            QTRY_VERIFY_WITH_TIMEOUT(m_server.requestTargets()
                                             .mid(before)
                                             .filter("/common_task/reportstartup.php")
                                             .size() == 1,
                                     60000);
            QTRY_VERIFY_WITH_TIMEOUT(
                !m_server.requestTargets()
                     .mid(before)
                     .filter(QRegularExpression(
                         "^/[a-z]{2}/lookup\\?bundleId=com\\.morvane\\.wavelark$"))
                     .isEmpty(),
                60000);
            return;
        }
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += program.readAll()).contains("online services are off"),
                                 60000);
        // The prompts are queued right after the report would have gone: give them their turn.
        QTest::qWait(3000);
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(m_server.requestTargets().mid(before), QStringList());
    }

    void aCrashIsRecordedAndHandedOnAtTheNextStart()
    {
        UserDefaults::standard().removeObjectForKey(PrefKeys::AppOnlineServices);
        const QString trusted = TestEnvironment::home() + "/Trusted Music";
        QVERIFY(QDir().mkpath(trusted));
        UserDefaults::standard().setValue(PrefKeys::Bookmarks,
                                          QVariantList{FolderBookmark::create(trusted)});
        QVERIFY(UserDefaults::standard().synchronize());
        const QString record = CrashReportUtil::getCrashReportObjectPath();
        QVERIFY(!QFile::exists(record));

        QSignalSpy requests(&m_server, &TinyHttpServer::requestReceived);
        QProcess first;
        startProgram(first);
        expectStartupReport(requests);
        // The trusted folder was regained at start.
        QByteArray output;
        const QByteArray regained = ("--- " + trusted).toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAll()).contains(regained), 30000);

        ::kill(pid_t(first.processId()), SIGSEGV);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFile::exists(record));
        QVERIFY(CrashReportObject::initWithContentsOfFile(record).has_value());

        QProcess second;
        startProgram(second);
        expectStartupReport(requests);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(record), 30000);
        QCOMPARE(m_reportedUserIds.size(), 2);
        QCOMPARE(m_reportedUserIds[0], m_reportedUserIds[1]);
        QVERIFY(!m_reportedUserIds[0].isEmpty());
        stop(second);
    }

    void aSecondStartHandsItsPathsToTheRunningWindow()
    {
        QSignalSpy requests(&m_server, &TinyHttpServer::requestReceived);
        QProcess running;
        startProgram(running);
        expectStartupReport(requests);

        const QString handedOver = TestEnvironment::home() + "/Handed Over";
        QVERIFY(QDir().mkpath(handedOver));
        QVERIFY(!storeTrusts(handedOver));
        QProcess later;
        startProgram(later, {handedOver});
        QVERIFY(later.waitForFinished(30000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        // The later start reported nothing: it never became a program of its own.
        QTest::qWait(200);
        QVERIFY(requests.isEmpty());
        // A folder handed over is imported by the running window, which trusts it.
        QTRY_VERIFY_WITH_TIMEOUT(storeTrusts(handedOver), 30000);
        QCOMPARE(running.state(), QProcess::Running);
        stop(running);
    }

    // A first instance that no longer serves its events (stopped here, stuck at quit in real
    // life) must not swallow later starts: the later one waits for an answer, then starts itself.
    void aSecondStartAgainstAHungFirstStartsNormally()
    {
        QSignalSpy requests(&m_server, &TinyHttpServer::requestReceived);
        QProcess hung;
        startProgram(hung);
        expectStartupReport(requests);
        // Let it finish writing its preferences first: stopped while holding their lock, it
        // would hold up every other writer until the lock counts as stale (30 s).
        QTest::qWait(1000);
        ::kill(pid_t(hung.processId()), SIGSTOP);
        auto resume = qScopeGuard([&hung] {
            ::kill(pid_t(hung.processId()), SIGCONT);
            stop(hung);
        });

        const QString folder = TestEnvironment::home() + "/Given To The Second";
        QVERIFY(QDir().mkpath(folder));
        QProcess later;
        startProgram(later, {folder});
        // It becomes a program of its own: it reports its start and imports its folder.
        expectStartupReport(requests);
        QTRY_VERIFY_WITH_TIMEOUT(storeTrusts(folder), 90000);
        QCOMPARE(later.state(), QProcess::Running);
        QVERIFY(later.readAll().contains("did not answer"));
        stop(later);
    }
};

WAVELARK_TEST_MAIN(TestWavelarkStartup)
#include "tst_WavelarkStartup.moc"
