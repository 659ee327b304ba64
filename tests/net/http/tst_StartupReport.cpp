#include "Shared/GlobalFun.h"
#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "model/UserIdentity.h"
#include "net/http/ServiceHosts.h"
#include "net/http/StartupReport.h"
#include "net/http/WebRequestDelegate.h"

#include <QProcess>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QtTest>

namespace {

const char *const kChildSwitch = "--report-start";

// What a launch of the program does: send the report once and end when the reply is in.
int reportLikeALaunch(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    struct Done : WebRequestDelegate
    {
        void requestDidFinishLoad(WebRequest *) override { QCoreApplication::exit(0); }
        void requestDidFailLoadWithError(WebRequest *, const WebError &) override
        {
            QCoreApplication::exit(2);
        }
    } done;
    StartupReport::send(&done);
    return app.exec();
}

} // namespace

class TestStartupReport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv(ServiceHosts::kMakerServerVariable);
        qunsetenv(ServiceHosts::kStoreServerVariable);
        UserDefaults::standard().removeObjectForKey(PrefKeys::MakerServerOverride);
        UserDefaults::standard().removeObjectForKey(PrefKeys::StoreServerOverride);
    }

    void hostsHaveDefaults()
    {
        QCOMPARE(ServiceHosts::makerServer(), QStringLiteral("http://www.morvane.com"));
        QCOMPARE(ServiceHosts::productListUrl(),
                 QStringLiteral("http://www.morvane.com/jsons/products.json"));
        // The lookups ask the maker too, never a third party; moved with the maker's server.
        QCOMPARE(ServiceHosts::storeLookupServer(), QStringLiteral("http://www.morvane.com"));
        qputenv(ServiceHosts::kMakerServerVariable, "http://127.0.0.1:9/");
        QCOMPARE(ServiceHosts::storeLookupServer(), QStringLiteral("http://127.0.0.1:9"));
        qunsetenv(ServiceHosts::kMakerServerVariable);
    }

    void environmentWinsOverPreference()
    {
        UserDefaults::standard().setValue(PrefKeys::MakerServerOverride,
                                          QStringLiteral("http://mirror.example/"));
        QCOMPARE(ServiceHosts::makerServer(), QStringLiteral("http://mirror.example"));
        qputenv(ServiceHosts::kMakerServerVariable, "http://127.0.0.1:9");
        QCOMPARE(ServiceHosts::makerServer(), QStringLiteral("http://127.0.0.1:9"));

        UserDefaults::standard().setValue(PrefKeys::StoreServerOverride,
                                          QStringLiteral("http://store.example"));
        QCOMPARE(ServiceHosts::storeLookupServer(), QStringLiteral("http://store.example"));
        qputenv(ServiceHosts::kStoreServerVariable, "http://127.0.0.1:10");
        QCOMPARE(ServiceHosts::storeLookupServer(), QStringLiteral("http://127.0.0.1:10"));
    }

    void addressCarriesTheFiveValues()
    {
        const QRegularExpression shape(QStringLiteral(
            "^/common_task/reportstartup\\.php\\?appver=[0-9.]+&appid=com\\.morvane\\.wavelark"
            "&sysver=\\d+\\.\\d+\\.\\d+&channelid=5&userid=[0-9A-F-]{36}$"));
        const QString path = StartupReport::reportPath();
        QVERIFY2(shape.match(path).hasMatch(), qPrintable(path));
        QVERIFY(path.contains(QStringLiteral("appver=") + GlobalFun::getAppBuildVersion() +
                              QLatin1Char('&')));
        QVERIFY(path.endsWith(QStringLiteral("userid=") + UserIdentity::getGUID()));
    }

    // Two launches of the program for one user account, each a process of its own.
    void twoStartsReportTheSameUser()
    {
        TinyHttpServer server;
        QVERIFY(server.listen());
        server.route(QStringLiteral("/common_task/reportstartup.php"), "ignored");
        UserDefaults::standard().removeObjectForKey(PrefKeys::Guid);
        UserDefaults::standard().synchronize();

        for (int launch = 0; launch < 2; ++launch) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QLatin1String(ServiceHosts::kMakerServerVariable), server.baseUrl());
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(kChildSwitch)});
            QSignalSpy finished(&child, &QProcess::finished);
            // This process's event loop must run meanwhile: it serves the report.
            QVERIFY(finished.wait(120000));
            QCOMPARE(child.exitCode(), 0);
        }

        const QStringList targets = server.requestTargets();
        QCOMPARE(targets.size(), 2);
        QStringList userIds;
        for (const QString &target : targets) {
            QVERIFY(target.startsWith(QStringLiteral("/common_task/reportstartup.php?")));
            const QUrlQuery query(target.section(QLatin1Char('?'), 1));
            QCOMPARE(query.queryItemValue(QStringLiteral("channelid")), QStringLiteral("5"));
            QCOMPARE(query.queryItemValue(QStringLiteral("appid")), GlobalFun::bundleID());
            QCOMPARE(query.queryItemValue(QStringLiteral("sysver")),
                     GlobalFun::getSystemVersionString());
            userIds.append(query.queryItemValue(QStringLiteral("userid")));
        }
        QVERIFY(!userIds.at(0).isEmpty());
        QCOMPARE(userIds.at(1), userIds.at(0));

        // The first launch stored the id it sent.
        UserDefaults stored(UserDefaults::standard().filePath());
        QCOMPARE(stored.stringForKey(PrefKeys::Guid), userIds.at(0));
    }
};

int main(int argc, char *argv[])
{
    // A launch started by the test: it shares the test's private home through the environment.
    if (argc > 1 && qstrcmp(argv[1], kChildSwitch) == 0)
        return reportLikeALaunch(argc, argv);
    TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestStartupReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_StartupReport.moc"
