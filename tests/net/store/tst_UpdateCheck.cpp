#include "StoreTestSupport.h"
#include "TestEnvironment.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "net/store/UpdateCheck.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kBundleId = QStringLiteral("com.morvane.wavelark");
constexpr int kWaitMs = 60000;

class RecordingUpdateDelegate : public UpdateCheckDelegate
{
public:
    QStringList detected;
    int notDetected = 0;
    QList<StoreError> errors;
    QStringList outcomes;
    void UpdateCheckDidDetectNewVersion(const QString &version, const QString &) override
    {
        detected.append(version);
    }
    void UpdateCheckDidNotDetectNewVersion() override { ++notDetected; }
    void UpdateCheckVersionCheckDidFailWithError(const StoreError &error) override
    {
        errors.append(error);
    }
    void UpdateCheckUserDidAttemptToDownloadUpdate(const QString &version) override
    {
        outcomes.append(QStringLiteral("download ") + version);
    }
    void UpdateCheckUserDidIgnoreUpdate(const QString &version) override
    {
        outcomes.append(QStringLiteral("ignore ") + version);
    }
    void UpdateCheckUserDidRequestReminderForUpdate(const QString &version) override
    {
        outcomes.append(QStringLiteral("remind ") + version);
    }
    int answers() const { return detected.size() + notDetected + errors.size(); }
};

// A JSON text written with single quotes, so that the samples stay readable.
QString json(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}

UserDefaults &store()
{
    return UserDefaults::standard();
}

QDateTime hoursAgo(double hours)
{
    return QDateTime::currentDateTimeUtc().addSecs(qint64(-hours * 3600));
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    RecordingPresenter m_presenter;
    RecordingWorkspace m_workspace;

    std::unique_ptr<UpdateCheck> makeCheck(const QString &version,
                                           RecordingUpdateDelegate *delegate)
    {
        auto check = std::make_unique<UpdateCheck>();
        check->settings().applicationVersion = version;
        check->settings().appStoreCountry = QStringLiteral("fr");
        check->settings().verboseLogging = true;
        check->setDelegate(delegate);
        return check;
    }

    // One start of the installed `version` whose check has come back.
    void startAndWait(UpdateCheck &check, RecordingUpdateDelegate &delegate)
    {
        const int before = delegate.answers();
        check.applicationLaunched();
        QTRY_VERIFY_WITH_TIMEOUT(delegate.answers() > before, kWaitMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        qputenv("WAVELARK_STORE_SERVER", m_server.baseUrl().toUtf8());
        PromptPresenter::setShared(&m_presenter);
        Workspace::setShared(&m_workspace);
    }

    void cleanupTestCase()
    {
        PromptPresenter::setShared(nullptr);
        Workspace::setShared(nullptr);
    }

    void init()
    {
        for (QLatin1String key :
             {PrefKeys::UpdateCheckLastChecked, PrefKeys::UpdateCheckLastReminded,
              PrefKeys::UpdateCheckIgnoreVersion}) {
            store().removeObjectForKey(key);
        }
        store().setValue(PrefKeys::UpdateCheckLastVersionChecked, QStringLiteral("1.9"));
        store().synchronize();
        m_server.clearRequests();
        m_presenter.sheets.clear();
        m_presenter.pending.clear();
        m_workspace.opened.clear();
    }

    void firstStartRecordsTheVersionSilently()
    {
        store().removeObjectForKey(PrefKeys::UpdateCheckLastVersionChecked);
        m_server.setFallback(storeReply(lookupAnswer(kBundleId, QStringLiteral("1.9"))));
        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("1.9"), &delegate);

        startAndWait(*check, delegate);

        QCOMPARE(store().stringForKey(PrefKeys::UpdateCheckLastVersionChecked),
                 QStringLiteral("1.9"));
        QCOMPARE(delegate.notDetected, 1);
        QVERIFY(m_presenter.sheets.isEmpty());
        QCOMPARE(m_server.requestTargets(),
                 QStringList{QStringLiteral("/fr/lookup?bundleId=com.morvane.wavelark")});
        QVERIFY(store().objectForKey(PrefKeys::UpdateCheckLastChecked).toDateTime().isValid());
    }

    void newerStoreVersionShowsItsNotes_data()
    {
        QTest::addColumn<QString>("notesMember"); // null: no "releaseNotes" in the answer
        QTest::addColumn<QString>("notes");
        QTest::newRow("with notes") << json("'Faster conversions.\\nFixed the \\'Start\\' button.'")
                                    << "Faster conversions.\nFixed the \"Start\" button.";
        QTest::newRow("without notes") << QString() << QString();
    }

    void newerStoreVersionShowsItsNotes()
    {
        QFETCH(QString, notesMember);
        QFETCH(QString, notes);
        m_server.setFallback(
            storeReply(lookupAnswer(kBundleId, QStringLiteral("2.0"), notesMember)));
        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("1.9"), &delegate);

        startAndWait(*check, delegate);

        QCOMPARE(delegate.detected, QStringList{QStringLiteral("2.0")});
        QCOMPARE(m_presenter.sheets.size(), 1);
        const PromptSheet sheet = m_presenter.sheets.first();
        QCOMPARE(sheet.title, QStringLiteral("New version available (2.0)"));
        QCOMPARE(sheet.informativeText, QStringLiteral("New in this version"));
        QVERIFY(sheet.hasNotes);
        QCOMPARE(sheet.notes, notes);
        QCOMPARE(sheet.defaultButton, QStringLiteral("Download"));
        QCOMPARE(sheet.alternateButton, QStringLiteral("Ignore"));
        QCOMPARE(sheet.otherButton, QStringLiteral("Remind Me Later"));
        QCOMPARE(check->settings().appStoreID, quint64(4711));
        QVERIFY(check->isRemoteSheetVisible());

        m_presenter.answer(SheetDefaultReturn);
        QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("download 2.0")});
        QCOMPARE(m_workspace.opened,
                 QList<QUrl>{QUrl(QStringLiteral("appstream:com.morvane.wavelark"))});
        QVERIFY(!check->isRemoteSheetVisible());
    }

    void sameOrOlderStoreVersionShowsNothing_data()
    {
        QTest::addColumn<QString>("storeVersion");
        QTest::newRow("same") << "1.10";
        QTest::newRow("older as a number, newer as text") << "1.9";
    }

    void sameOrOlderStoreVersionShowsNothing()
    {
        QFETCH(QString, storeVersion);
        store().setValue(PrefKeys::UpdateCheckLastVersionChecked, QStringLiteral("1.10"));
        m_server.setFallback(storeReply(lookupAnswer(kBundleId, storeVersion)));
        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("1.10"), &delegate);
        startAndWait(*check, delegate);
        QCOMPARE(delegate.notDetected, 1);
        QVERIFY(m_presenter.sheets.isEmpty());
    }

    // 140 KB of notes (lines, then one endless line) reach the sheet cut to a size a window lays
    // out at once, ending at a whole line.
    void hugeNotesAreCut()
    {
        QString notes;
        for (int i = 0; notes.size() < 70000; ++i)
            notes += QStringLiteral("Line %1 of the notes.\\n").arg(i);
        notes += QString(70000, QLatin1Char('x'));
        m_server.setFallback(storeReply(
            lookupAnswer(kBundleId, QStringLiteral("2.0"), QLatin1Char('"') + notes + '"')));
        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*check, delegate);
        QCOMPARE(m_presenter.sheets.size(), 1);
        const QString shown = m_presenter.sheets.first().notes;
        QVERIFY(shown.size() <= UpdateCheck::kMaxNotesCharacters + 2);
        QVERIFY(shown.size() > UpdateCheck::kMaxNotesCharacters / 2);
        QVERIFY(shown.startsWith(QStringLiteral("Line 0 of the notes.\nLine 1 of")));
        QVERIFY2(shown.endsWith(QStringLiteral(" of the notes.\n\u2026")),
                 qPrintable(shown.right(40)));
        m_presenter.answer(SheetOtherReturn);
    }

    // Bytes that are not UTF-8 in the version would decode to U+FFFD, which sorts after every
    // digit: such a version names no release and raises no sheet.
    void versionThatIsNotUtf8ShowsNothing()
    {
        QByteArray answer = lookupAnswer(kBundleId, QStringLiteral("1.9@"));
        answer.replace("1.9@", "1.9\xff\xfe");
        m_server.setFallback(storeReply(answer));
        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*check, delegate);
        QVERIFY(delegate.detected.isEmpty());
        QVERIFY(m_presenter.sheets.isEmpty());
        QVERIFY(!check->isRemoteSheetVisible());
    }

    void ignoreSilencesThatVersionUntilANewerOne()
    {
        m_server.setFallback(
            storeReply(lookupAnswer(kBundleId, QStringLiteral("2.0"), json("'Notes'"))));
        RecordingUpdateDelegate delegate;
        auto first = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*first, delegate);
        QCOMPARE(m_presenter.sheets.size(), 1);
        m_presenter.answer(SheetAlternateReturn);
        QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("ignore 2.0")});
        QCOMPARE(store().stringForKey(PrefKeys::UpdateCheckIgnoreVersion), QStringLiteral("2.0"));
        QVERIFY(!store().hasStoredValue(PrefKeys::UpdateCheckLastReminded));

        // Later starts while the store offers 2.0: detected, not shown.
        LogRecorder log;
        auto second = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*second, delegate);
        QCOMPARE(delegate.detected.size(), 2);
        QCOMPARE(m_presenter.sheets.size(), 1);
        QVERIFY(log.contains(QStringLiteral(
            "UpdateCheck did not display the new version because it was marked as ignored")));

        m_server.setFallback(
            storeReply(lookupAnswer(kBundleId, QStringLiteral("2.1"), json("'More'"))));
        auto third = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*third, delegate);
        QCOMPARE(m_presenter.sheets.size(), 2);
        QCOMPARE(m_presenter.sheets.last().title, QStringLiteral("New version available (2.1)"));
    }

    void remindMeLaterSkipsChecksForADay()
    {
        m_server.setFallback(
            storeReply(lookupAnswer(kBundleId, QStringLiteral("2.0"), json("'Notes'"))));
        RecordingUpdateDelegate delegate;
        auto first = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*first, delegate);
        m_presenter.answer(SheetOtherReturn);
        QCOMPARE(delegate.outcomes, QStringList{QStringLiteral("remind 2.0")});
        const QDateTime reminded =
            store().objectForKey(PrefKeys::UpdateCheckLastReminded).toDateTime();
        QVERIFY(qAbs(reminded.secsTo(QDateTime::currentDateTimeUtc())) < 600);

        // A start within the day does not even ask the store.
        LogRecorder log;
        auto second = makeCheck(QStringLiteral("1.9"), &delegate);
        second->applicationLaunched();
        QVERIFY(!second->isCurrentlyChecking());
        QCOMPARE(m_server.requestTargets().size(), 1);
        QVERIFY(
            log.contains(QStringLiteral("UpdateCheck did not check for a new version because the "
                                        "user last asked to be reminded less than 1 days ago")));

        // A day later it does, whatever the last check was.
        store().setValue(PrefKeys::UpdateCheckLastReminded, hoursAgo(25));
        second->settings().checkPeriod = 7.0f;
        QVERIFY(second->shouldCheckForNewVersion());
        second->settings().checkPeriod = 0.0f;
        store().removeObjectForKey(PrefKeys::UpdateCheckLastReminded);
        store().setValue(PrefKeys::UpdateCheckLastChecked, hoursAgo(1));
        QVERIFY(second->shouldCheckForNewVersion());
        second->settings().checkPeriod = 1.0f;
        QVERIFY(!second->shouldCheckForNewVersion());
    }

    void failedChecksAreReported_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("code");
        QTest::newRow("not in the store") << QByteArray("{\"resultCount\":0,\"results\":[]}") << 2;
        QTest::newRow("another application")
            << lookupAnswer(QStringLiteral("org.example.other"), QStringLiteral("3.0")) << 1;
        QTest::newRow("not JSON")
            << QByteArray("{\"bundleId\":\"com.morvane.wavelark\", \"version\": [1,2,,, }}}{") << 2;
    }

    void failedChecksAreReported()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, code);
        m_server.setFallback(storeReply(answer));
        RecordingUpdateDelegate delegate;
        LogRecorder log;
        auto check = makeCheck(QStringLiteral("1.9"), &delegate);
        startAndWait(*check, delegate);
        QCOMPARE(delegate.errors.size(), 1);
        QCOMPARE(delegate.errors.first().domain, QStringLiteral("UpdateCheckErrorDomain"));
        QCOMPARE(delegate.errors.first().code, code);
        QVERIFY(log.contains(QStringLiteral("UpdateCheck update check failed because: ") +
                             delegate.errors.first().description));
        QVERIFY(m_presenter.sheets.isEmpty());
        QVERIFY(!check->isCurrentlyChecking());
    }

    void notesOfNewerVersions_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("notes"); // "<none>": no newer version
        QTest::newRow("newest first") << false << "1.9"
                                      << "Lists\nwork\nTen";
        QTest::newRow("grouped by version") << true << "1.9"
                                            << "Version 2.0\n\nLists\nwork\n\nVersion 1.10\n\nTen";
        QTest::newRow("only the newest") << false << "1.10"
                                         << "Lists\nwork";
        QTest::newRow("nothing newer") << false << "2.0"
                                       << "<none>";
    }

    void notesOfNewerVersions()
    {
        QFETCH(bool, grouped);
        QFETCH(QString, since);
        QFETCH(QString, notes);
        UpdateCheck check;
        check.settings().groupNotesByVersion = grouped;
        const UpdateCheck::VersionsDict versions{
            {QStringLiteral("1.9"), QStringLiteral("Nine")},
            {QStringLiteral("2.0"), QStringList{QStringLiteral("Lists"), QStringLiteral("work")}},
            {QStringLiteral("1.10"), QStringLiteral("Ten")},
        };
        const std::optional<QString> details = check.versionDetailsSince(since, versions);
        QCOMPARE(details.value_or(QStringLiteral("<none>")), notes);
    }

    void localNotesShowOnceAfterAnUpdate()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("versions.plist"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<plist version=\"1.0\"><dict>\n"
            "<key>1.9</key><string>Old</string>\n"
            "<key>2.0</key><array><string>Playlists</string><string>Faster</string></array>\n"
            "</dict></plist>\n");
        file.close();

        RecordingUpdateDelegate delegate;
        auto check = makeCheck(QStringLiteral("2.0"), &delegate);
        check->settings().localVersionsPlistPath = path;
        store().setValue(PrefKeys::UpdateCheckLastReminded, hoursAgo(2));
        check->checkIfNewVersion();

        QCOMPARE(m_presenter.sheets.size(), 1);
        QCOMPARE(m_presenter.sheets.first().title, QStringLiteral("New in this version"));
        QCOMPARE(m_presenter.sheets.first().notes, QStringLiteral("Playlists\nFaster"));
        QCOMPARE(m_presenter.sheets.first().defaultButton, QStringLiteral("OK"));
        QVERIFY(m_presenter.sheets.first().alternateButton.isEmpty());
        QVERIFY(!store().hasStoredValue(PrefKeys::UpdateCheckLastReminded));
        // Seen only once the sheet ends.
        QCOMPARE(store().stringForKey(PrefKeys::UpdateCheckLastVersionChecked),
                 QStringLiteral("1.9"));
        m_presenter.answer(SheetDefaultReturn);
        QCOMPARE(store().stringForKey(PrefKeys::UpdateCheckLastVersionChecked),
                 QStringLiteral("2.0"));

        check->checkIfNewVersion();
        QCOMPARE(m_presenter.sheets.size(), 1);
    }
};

WAVELARK_TEST_MAIN(TestUpdateCheck)
#include "tst_UpdateCheck.moc"
