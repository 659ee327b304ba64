#include "StoreTestSupport.h"
#include "TestEnvironment.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "net/store/AppRater.h"
#include "net/store/SoftwareCentreWatcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString kBundleId = QStringLiteral("com.morvane.wavelark");
constexpr int kWaitMs = 60000;

class RecordingRaterDelegate : public AppRaterDelegate
{
public:
    int updates = 0;
    QList<StoreError> errors;
    QStringList outcomes;
    void AppRaterDidDetectAppUpdate() override { ++updates; }
    void AppRaterCouldNotConnectToAppStore(const StoreError &error) override
    {
        errors.append(error);
    }
    void AppRaterUserDidAttemptToRateApp() override { outcomes.append(QStringLiteral("rate")); }
    void AppRaterUserDidDeclineToRateApp() override { outcomes.append(QStringLiteral("decline")); }
    void AppRaterUserDidRequestReminderToRateApp() override
    {
        outcomes.append(QStringLiteral("remind"));
    }
};

UserDefaults &store()
{
    return UserDefaults::standard();
}

QDateTime daysAgo(double days)
{
    return QDateTime::currentDateTimeUtc().addSecs(qint64(-days * 86400));
}

// This version's stored history: first used `firstUsedDaysAgo` days ago (negative: never) after
// `uses` starts.
void storeHistory(const QString &version, double firstUsedDaysAgo, int uses, int events = 0)
{
    store().setValue(PrefKeys::AppRaterLastVersionUsed, version);
    store().setValue(PrefKeys::AppRaterFirstUsed,
                     firstUsedDaysAgo < 0 ? QVariant() : QVariant(daysAgo(firstUsedDaysAgo)));
    store().setValue(PrefKeys::AppRaterUseCount, uses);
    store().setValue(PrefKeys::AppRaterEventCount, events);
    store().synchronize();
}

} // namespace

class TestAppRater : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    RecordingPresenter m_presenter;
    RecordingWorkspace m_workspace;
    QTemporaryDir m_procRoot;

    // A rater of the installed version `version` talking to the test server.
    std::unique_ptr<AppRater> makeRater(const QString &version, RecordingRaterDelegate *delegate)
    {
        auto rater = std::make_unique<AppRater>();
        rater->settings().applicationVersion = version;
        rater->settings().appStoreCountry = QStringLiteral("de");
        rater->settings().verboseLogging = true;
        rater->setDelegate(delegate);
        return rater;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        qputenv("WAVELARK_STORE_SERVER", m_server.baseUrl().toUtf8());
        PromptPresenter::setShared(&m_presenter);
        Workspace::setShared(&m_workspace);
        QVERIFY(m_procRoot.isValid());
        SoftwareCentreWatcher::setProcRoot(m_procRoot.path());
    }

    void cleanupTestCase()
    {
        PromptPresenter::setShared(nullptr);
        Workspace::setShared(nullptr);
    }

    void init()
    {
        for (QLatin1String key :
             {PrefKeys::AppRaterLastVersionUsed, PrefKeys::AppRaterFirstUsed,
              PrefKeys::AppRaterUseCount, PrefKeys::AppRaterEventCount,
              PrefKeys::AppRaterLastReminded, PrefKeys::AppRaterRatedVersionChecked,
              PrefKeys::AppRaterDeclinedVersion}) {
            store().removeObjectForKey(key);
        }
        store().synchronize();
        m_server.setFallback(storeReply(lookupAnswer(kBundleId, QStringLiteral("1.9"))));
        m_server.clearRequests();
        m_presenter.sheets.clear();
        m_presenter.pending.clear();
        m_presenter.windowAvailable = true;
        m_workspace.opened.clear();
    }

    void firstStartOfVersionRestartsTheCounts()
    {
        storeHistory(QStringLiteral("1.8"), 40, 25, 7);
        store().setValue(PrefKeys::AppRaterLastReminded, daysAgo(3));
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.9"), &delegate);
        LogRecorder log;

        rater->applicationLaunched();

        QCOMPARE(store().stringForKey(PrefKeys::AppRaterLastVersionUsed), QStringLiteral("1.9"));
        QCOMPARE(store().integerForKey(PrefKeys::AppRaterUseCount), 1);
        QCOMPARE(store().integerForKey(PrefKeys::AppRaterEventCount), 0);
        QVERIFY(qAbs(rater->firstUsed().secsTo(QDateTime::currentDateTimeUtc())) < 600);
        QVERIFY(!store().hasStoredValue(PrefKeys::AppRaterLastReminded));
        QCOMPARE(delegate.updates, 1);
        QVERIFY(!rater->isCurrentlyChecking());
        QVERIFY(log.contains(QStringLiteral("AppRater did not prompt for rating because the app "
                                            "was first used less than 10 days ago")));

        // The stored values survive a reload of the preferences file.
        UserDefaults reread(store().filePath());
        QCOMPARE(reread.integerForKey(PrefKeys::AppRaterUseCount), 1);

        // A second start of the same version only counts.
        rater->applicationLaunched();
        QCOMPARE(store().integerForKey(PrefKeys::AppRaterUseCount), 2);
        QCOMPARE(delegate.updates, 1);
    }

    void decisionRules_data()
    {
        QTest::addColumn<double>("firstUsedDaysAgo"); // negative: no first-use date
        QTest::addColumn<int>("uses");
        QTest::addColumn<int>("events");
        QTest::addColumn<double>("remindedDaysAgo"); // negative: never reminded
        QTest::addColumn<QString>("rated");
        QTest::addColumn<QString>("declined");
        QTest::addColumn<bool>("promptAgain");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QString>("reason");

        const QString none;
        QTest::newRow("10th start on day 11")
            << 11.0 << 10 << 0 << -1.0 << none << none << true << true << none;
        QTest::newRow("9th start on day 11")
            << 11.0 << 9 << 0 << -1.0 << none << none << true << false
            << "the app has only been used 9 times and only 0 events have been logged";
        QTest::newRow("10 events make up for few starts")
            << 11.0 << 2 << 10 << -1.0 << none << none << true << true << none;
        QTest::newRow("day 9") << 9.0 << 30 << 0 << -1.0 << none << none << true << false
                               << "the app was first used less than 10 days ago";
        QTest::newRow("no first use") << -1.0 << 30 << 0 << -1.0 << none << none << true << false
                                      << "this is the first time the app has been launched";
        QTest::newRow("rated this version") << 11.0 << 10 << 0 << -1.0 << "1.9" << none << true
                                            << false << "the user has already rated this version";
        QTest::newRow("rated an older version")
            << 11.0 << 10 << 0 << -1.0 << "1.8" << none << true << true << none;
        QTest::newRow("rated older, no asking again")
            << 11.0 << 10 << 0 << -1.0 << "1.8" << none << false << false
            << "the user has already rated this app, and promptAgainForEachNewVersion is disabled";
        QTest::newRow("declined this version")
            << 11.0 << 10 << 0 << -1.0 << none << "1.9" << true << false
            << "the user has declined to rate this version";
        QTest::newRow("declined an older version")
            << 11.0 << 10 << 0 << -1.0 << none << "1.8" << true << true << none;
        QTest::newRow("reminded half a day ago")
            << 11.0 << 10 << 0 << 0.5 << none << none << true << false
            << "the user last asked to be reminded less than 1 days ago";
        QTest::newRow("reminded a day and more ago")
            << 12.0 << 11 << 0 << 1.1 << none << none << true << true << none;
    }

    void decisionRules()
    {
        QFETCH(double, firstUsedDaysAgo);
        QFETCH(int, uses);
        QFETCH(int, events);
        QFETCH(double, remindedDaysAgo);
        QFETCH(QString, rated);
        QFETCH(QString, declined);
        QFETCH(bool, promptAgain);
        QFETCH(bool, prompt);
        QFETCH(QString, reason);

        storeHistory(QStringLiteral("1.9"), firstUsedDaysAgo, uses, events);
        if (remindedDaysAgo >= 0)
            store().setValue(PrefKeys::AppRaterLastReminded, daysAgo(remindedDaysAgo));
        store().setValue(PrefKeys::AppRaterRatedVersionChecked,
                         rated.isEmpty() ? QVariant() : QVariant(rated));
        store().setValue(PrefKeys::AppRaterDeclinedVersion,
                         declined.isEmpty() ? QVariant() : QVariant(declined));
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.9"), &delegate);
        rater->settings().promptAgainForEachNewVersion = promptAgain;
        LogRecorder log;

        QCOMPARE(rater->shouldPromptForRating(), prompt);
        if (!prompt) {
            QVERIFY2(log.contains(QStringLiteral("AppRater did not prompt for rating because ") +
                                  reason),
                     qPrintable(log.lines().join(QLatin1Char('\n'))));
        }

        // Without verbose logging the same decision is silent.
        rater->settings().verboseLogging = false;
        LogRecorder quiet;
        QCOMPARE(rater->shouldPromptForRating(), prompt);
        QVERIFY(quiet.lines().isEmpty());
    }

    void tenthStartOnDay11AsksAndRemembersTheAnswer_data()
    {
        QTest::addColumn<int>("returnCode");
        QTest::newRow("Rate It Now") << int(SheetDefaultReturn);
        QTest::newRow("No, Thanks") << int(SheetAlternateReturn);
        QTest::newRow("Remind Me Later") << int(SheetOtherReturn);
    }

    void tenthStartOnDay11AsksAndRemembersTheAnswer()
    {
        QFETCH(int, returnCode);
        storeHistory(QStringLiteral("1.9"), 11, 9);
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.9"), &delegate);

        rater->applicationLaunched();

        QTRY_COMPARE_WITH_TIMEOUT(m_presenter.sheets.size(), 1, kWaitMs);
        QCOMPARE(m_server.requestTargets(),
                 QStringList{QStringLiteral("/de/lookup?bundleId=com.morvane.wavelark")});
        QCOMPARE(rater->settings().appStoreID, quint64(4711));
        QCOMPARE(rater->settings().appStoreGenreID, quint64(12001));
        QVERIFY(!rater->isCurrentlyChecking());
        const PromptSheet sheet = m_presenter.sheets.first();
        QCOMPARE(sheet.title, QStringLiteral("Rate Wavelark"));
        QCOMPARE(sheet.informativeText,
                 QStringLiteral(
                     "If you enjoy using Wavelark, would you mind taking a moment to rate it? "
                     "It won\u2019t take more than a minute. Thanks for your support!"));
        QCOMPARE(sheet.defaultButton, QStringLiteral("Rate It Now"));
        QCOMPARE(sheet.alternateButton, QStringLiteral("No, Thanks"));
        QCOMPARE(sheet.otherButton, QStringLiteral("Remind Me Later"));
        QVERIFY(!sheet.hasNotes);
        QVERIFY(rater->isPromptVisible());

        // Asking again while the sheet is up shows no second one.
        rater->promptForRating();
        QCOMPARE(m_presenter.sheets.size(), 1);

        m_presenter.answer(returnCode);
        QVERIFY(!rater->isPromptVisible());

        switch (returnCode) {
        case SheetDefaultReturn: {
            QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("rate")});
            QCOMPARE(store().stringForKey(PrefKeys::AppRaterRatedVersionChecked),
                     QStringLiteral("1.9"));
            const QUrl page(QStringLiteral("appstream:com.morvane.wavelark"));
            QCOMPARE(m_workspace.opened, QList<QUrl>{page});
            // Once a software centre runs, the page is opened once more.
            QDir(m_procRoot.path()).mkpath(QStringLiteral("4242"));
            QFile comm(m_procRoot.path() + QStringLiteral("/4242/comm"));
            QVERIFY(comm.open(QIODevice::WriteOnly));
            comm.write("gnome-software\n");
            comm.close();
            QTRY_COMPARE_WITH_TIMEOUT(m_workspace.opened.size(), 2, kWaitMs);
            QCOMPARE(m_workspace.opened.last(), page);
            QDir(m_procRoot.path() + QStringLiteral("/4242")).removeRecursively();
            break;
        }
        case SheetAlternateReturn:
            QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("decline")});
            QCOMPARE(store().stringForKey(PrefKeys::AppRaterDeclinedVersion),
                     QStringLiteral("1.9"));
            QVERIFY(m_workspace.opened.isEmpty());
            break;
        default:
            QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("remind")});
            QVERIFY(qAbs(rater->lastReminded().secsTo(QDateTime::currentDateTimeUtc())) < 600);
            QVERIFY(m_workspace.opened.isEmpty());
            break;
        }

        // The next start the same day asks no more.
        auto nextStart = makeRater(QStringLiteral("1.9"), &delegate);
        QVERIFY(!nextStart->shouldPromptForRating());

        if (returnCode == SheetOtherReturn) {
            // A start more than a day after the reminder may ask again.
            store().setValue(PrefKeys::AppRaterFirstUsed, daysAgo(12));
            store().setValue(PrefKeys::AppRaterLastReminded, daysAgo(1.1));
            QVERIFY(nextStart->shouldPromptForRating());
        } else {
            // A new version starts over: counted from its own first start.
            auto newVersion = makeRater(QStringLiteral("2.0"), &delegate);
            newVersion->applicationLaunched();
            QCOMPARE(store().integerForKey(PrefKeys::AppRaterUseCount), 1);
            storeHistory(QStringLiteral("2.0"), 11, 10);
            QVERIFY(newVersion->shouldPromptForRating());
        }
    }

    void lookupFailuresShowNoSheet_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");

        QTest::newRow("store has 1.10, installed 1.9")
            << "1.9" << lookupAnswer(kBundleId, QStringLiteral("1.10")) << 3
            << "Installed app is not the latest version available";
        QTest::newRow("store has 2.0, installed 1.9")
            << "1.9" << lookupAnswer(kBundleId, QStringLiteral("2.0")) << 3
            << "Installed app is not the latest version available";
        QTest::newRow("another application")
            << "1.9" << lookupAnswer(QStringLiteral("com.example.other"), QStringLiteral("1.9"))
            << 1 << "Application bundle ID does not match expected value of com.example.other";
        QTest::newRow("not in the store")
            << "1.9" << QByteArray("{\n \"resultCount\":0,\n \"results\": []\n}\n") << 2
            << "The application could not be found on the App Store.";
    }

    void lookupFailuresShowNoSheet()
    {
        QFETCH(QString, installed);
        QFETCH(QByteArray, answer);
        QFETCH(int, code);
        QFETCH(QString, description);
        storeHistory(installed, 11, 9);
        m_server.setFallback(storeReply(answer));
        RecordingRaterDelegate delegate;
        auto rater = makeRater(installed, &delegate);
        LogRecorder log;

        rater->applicationLaunched();

        QTRY_COMPARE_WITH_TIMEOUT(delegate.errors.size(), 1, kWaitMs);
        QCOMPARE(delegate.errors.first().domain, QStringLiteral("AppRaterErrorDomain"));
        QCOMPARE(delegate.errors.first().code, code);
        QCOMPARE(delegate.errors.first().description, description);
        QVERIFY(
            log.contains(QStringLiteral("AppRater rating process failed because: ") + description));
        QVERIFY(!rater->isCurrentlyChecking());
        QVERIFY(m_presenter.sheets.isEmpty());
    }

    void installedNewerThanStoreIsAsked()
    {
        // 1.10 is newer than the store's 1.9, even though it sorts first as plain text.
        storeHistory(QStringLiteral("1.10"), 11, 9);
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.10"), &delegate);
        rater->applicationLaunched();
        QTRY_COMPARE_WITH_TIMEOUT(m_presenter.sheets.size(), 1, kWaitMs);
        QVERIFY(delegate.errors.isEmpty());
    }

    void unreachableStoreIsReported()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        qputenv("WAVELARK_STORE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(port).toUtf8());
        storeHistory(QStringLiteral("1.9"), 11, 9);
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.9"), &delegate);
        LogRecorder log;

        rater->applicationLaunched();

        QTRY_COMPARE_WITH_TIMEOUT(delegate.errors.size(), 1, kWaitMs);
        qputenv("WAVELARK_STORE_SERVER", m_server.baseUrl().toUtf8());
        QVERIFY(!delegate.errors.first().description.isEmpty());
        QVERIFY(log.contains(QStringLiteral("AppRater rating process failed because: ")));
        QVERIFY(m_presenter.sheets.isEmpty());
        QVERIFY(!rater->isCurrentlyChecking());
    }

    void waitsForTheMainWindow()
    {
        storeHistory(QStringLiteral("1.9"), 11, 9);
        m_presenter.windowAvailable = false;
        RecordingRaterDelegate delegate;
        auto rater = makeRater(QStringLiteral("1.9"), &delegate);

        rater->applicationLaunched();
        QTRY_VERIFY_WITH_TIMEOUT(!rater->isCurrentlyChecking(), kWaitMs);
        QVERIFY(m_presenter.sheets.isEmpty());

        m_presenter.windowAvailable = true;
        QTRY_COMPARE_WITH_TIMEOUT(m_presenter.sheets.size(), 1, kWaitMs);
    }

    void quittingDuringALookupStopsIt()
    {
        // A server that accepts but never answers: the lookup is still waiting when the rater
        // goes away, and its thread must end with it.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        qputenv("WAVELARK_STORE_SERVER",
                QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()).toUtf8());
        storeHistory(QStringLiteral("1.9"), 11, 9);
        RecordingRaterDelegate delegate;
        QObject context;
        bool eventRanWhileStopping = false;
        {
            auto rater = makeRater(QStringLiteral("1.9"), &delegate);
            rater->applicationLaunched();
            QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), kWaitMs);
            QVERIFY(rater->isCurrentlyChecking());
            // Stopping waits for the thread without running the main thread's events.
            QTimer::singleShot(0, &context,
                               [&eventRanWhileStopping] { eventRanWhileStopping = true; });
        }
        QVERIFY(!eventRanWhileStopping);
        qputenv("WAVELARK_STORE_SERVER", m_server.baseUrl().toUtf8());
        QVERIFY(delegate.errors.isEmpty());
        QVERIFY(m_presenter.sheets.isEmpty());
    }

    void startsItselfOnceTheEventLoopRuns()
    {
        qputenv("WAVELARK_NO_STORE_PROMPTS", "1");
        QVERIFY(AppRater::storePromptsDisabled());
        AppRater::startWhenApplicationRuns();
        QTest::qWait(200);
        QVERIFY(!store().hasStoredValue(PrefKeys::AppRaterUseCount));

        qputenv("WAVELARK_NO_STORE_PROMPTS", "0");
        QVERIFY(!AppRater::storePromptsDisabled());
        AppRater::startWhenApplicationRuns();
        // Nothing happens before the event loop turns.
        QVERIFY(!store().hasStoredValue(PrefKeys::AppRaterUseCount));
        QTRY_COMPARE_WITH_TIMEOUT(store().integerForKey(PrefKeys::AppRaterUseCount), 1, kWaitMs);
        QCOMPARE(AppRater::sharedInstance(), AppRater::sharedInstance());
        QCOMPARE(store().stringForKey(PrefKeys::AppRaterLastVersionUsed),
                 AppRater::sharedInstance()->settings().applicationVersion);
    }

    void ratingsAddressAndTexts()
    {
        AppRater rater;
        QCOMPARE(rater.ratingsURL(), QUrl(QStringLiteral("appstream:com.morvane.wavelark")));
        rater.settings().ratingsURL = QUrl(QStringLiteral("https://example.org/rate"));
        QCOMPARE(rater.ratingsURL(), QUrl(QStringLiteral("https://example.org/rate")));

        rater.settings().appStoreGenreID = 6014;
        QVERIFY(rater.message().startsWith(QStringLiteral("If you enjoy playing Wavelark,")));
        rater.settings().messageTitle = QStringLiteral("Like it?");
        QCOMPARE(rater.messageTitle(), QStringLiteral("Like it?"));
    }
};

WAVELARK_TEST_MAIN(TestAppRater)
#include "tst_AppRater.moc"
