#include "RecordingWorkspace.h"
#include "Shared/FolderBookmark.h"
#include "Shared/Workspace.h"
#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "WidgetTestMain.h"
#include "app/AppDelegate.h"
#include "app/MacAppHelper.h"
#include "app/WindowFront.h"
#include "crash/CrashReportObject.h"
#include "crash/CrashReportUtil.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"
#include "net/gui/AppRecommandWndCtl.h"
#include "preferences/MVTrustedPathViewCtl.h"
#include "preferences/PrefsViewController.h"
#include "preferences/PrefsWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>

class TestAppShell : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    RecordingWorkspace m_workspace;

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        m_server.route("/common_task/reportstartup.php", QByteArray("ok"));
        qputenv("WAVELARK_MAKER_SERVER", m_server.baseUrl().toUtf8());
        Workspace::setShared(&m_workspace);
        PreferenceDefaults::registerDefaults(UserDefaults::standard());
    }

    void cleanupTestCase() { Workspace::setShared(nullptr); }

    // What a second start does to the running window: back from the taskbar, keeping the rest
    // of its state.
    void bringingToFrontRestoresAMinimizedWindow_data()
    {
        QTest::addColumn<Qt::WindowStates>("before");
        QTest::addColumn<Qt::WindowStates>("after");
        QTest::newRow("minimized")
            << Qt::WindowStates(Qt::WindowMinimized) << Qt::WindowStates(Qt::WindowNoState);
        QTest::newRow("minimized from maximized")
            << (Qt::WindowMinimized | Qt::WindowMaximized) << Qt::WindowStates(Qt::WindowMaximized);
        QTest::newRow("maximized")
            << Qt::WindowStates(Qt::WindowMaximized) << Qt::WindowStates(Qt::WindowMaximized);
        QTest::newRow("hidden") << Qt::WindowStates(Qt::WindowNoState)
                                << Qt::WindowStates(Qt::WindowNoState);
    }

    void bringingToFrontRestoresAMinimizedWindow()
    {
        QFETCH(Qt::WindowStates, before);
        QFETCH(Qt::WindowStates, after);
        QWidget window;
        window.resize(300, 200);
        if (before != Qt::WindowNoState) {
            window.setWindowState(before);
            window.show();
        }
        WindowFront::bringToFront(window);
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowState() & ~Qt::WindowActive, after);
    }

    void wakeUpHandsOnThePendingCrashRecordAndReportsTheStart()
    {
        const QString record = CrashReportUtil::getCrashReportObjectPath();
        QVERIFY(QDir().mkpath(QFileInfo(record).path()));
        CrashReportObject crash =
            CrashReportObject::initWithCrashDate(QDateTime::currentDateTime(), {"frame 0"});
        QVERIFY(crash.writeToFile(record, true));

        MacAppHelper helper;
        QCOMPARE(MacAppHelper::sharedInstance(), &helper);
        QSignalSpy requests(&m_server, &TinyHttpServer::requestReceived);
        helper.awakeFromNib();
        QVERIFY(!QFile::exists(record));
        QCOMPARE(helper.bundleID(), QString("com.morvane.wavelark"));

        QVERIFY(requests.wait(20000));
        const QUrl target(m_server.url(requests.first().first().toString()));
        QCOMPARE(target.path(), QString("/common_task/reportstartup.php"));
        const QUrlQuery query(target);
        QCOMPARE(query.queryItemValue("channelid"), QString("5"));
        QCOMPARE(query.queryItemValue("appid"), QString("com.morvane.wavelark"));
        QCOMPARE(query.queryItemValue("userid"), UserDefaults::standard().stringForKey("guid"));
    }

    void menuCommandsOpenTheMakersAddresses()
    {
        MacAppHelper helper;
        m_workspace.opened.clear();
        helper.feedbackDown();
        helper.rateDown();
        helper.websiteDown();
        QCOMPARE(m_workspace.opened.size(), 3);
        QCOMPARE(m_workspace.opened[0].toString(QUrl::FullyEncoded),
                 QString("mailto:support@morvane.com?subject=About%20Wavelark"));
        QCOMPARE(m_workspace.opened[1].toString(), QString("appstream:com.morvane.wavelark"));
        QCOMPARE(m_workspace.opened[2].scheme(), QString("https"));
    }

    void moreProductsReusesOneWindow()
    {
        m_server.route("/jsons/products.json", QByteArray("[]"));
        MacAppHelper helper;
        helper.moreProductsDown();
        AppRecommandWndCtl *first = helper.recommendationsWindow();
        QVERIFY(first);
        helper.moreProductsDown();
        QCOMPARE(helper.recommendationsWindow(), first);
    }

    void launchingRegainsTrustedFoldersAndLeavesTheSettingsPaneSelected()
    {
        const QString folder = TestEnvironment::home() + "/Trusted Music";
        QVERIFY(QDir().mkpath(folder));
        UserDefaults::standard().setValue(PrefKeys::Bookmarks,
                                          QVariantList{FolderBookmark::create(folder)});

        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        PrefsWindowController *preferences = delegate.preferencesWindowController();
        QVERIFY(preferences);
        QVERIFY(preferences->isWindowLoaded());
        QVERIFY(!preferences->window()->isVisible());
        QCOMPARE(preferences->selectedViewController(), preferences->viewControllers().first());

        MVTrustedPathViewCtl *trusted = nullptr;
        for (PrefsViewController *pane : preferences->viewControllers())
            if (auto *list = dynamic_cast<MVTrustedPathViewCtl *>(pane))
                trusted = list;
        QVERIFY(trusted);
        QCOMPARE(trusted->items(), QList<QUrl>{QUrl::fromLocalFile(folder)});

        delegate.preferenceDown();
        QVERIFY(preferences->window()->isVisible());
        QCOMPARE(delegate.preferencesWindowController(), preferences);
    }
};

WAVELARK_WIDGET_TEST_MAIN(TestAppShell)
#include "tst_AppShell.moc"
