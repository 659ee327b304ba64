#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "net/json/JsonValueExtractor.h"
#include "net/store/SoftwareCentreWatcher.h"
#include "net/store/StoreLookup.h"
#include "net/store/VersionOrder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// A JSON text written with single quotes, so that the samples stay readable.
QString json(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}
} // namespace

// Reading the store's lookup answer: the value extractor and the order of version texts.
class TestStoreAnswer : public QObject
{
    Q_OBJECT

private slots:
    void valueForKey_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");

        QTest::newRow("text") << json("{'version':'2.0', 'x':1}") << "version" << true << "2.0";
        QTest::newRow("number") << json("{'trackId': 4711 , 'x':1}") << "trackId" << true << "4711";
        QTest::newRow("white space and line ends") << "{\"version\" :\n\t \"2.0\"\r\n, \"x\":1}"
                                                   << "version" << true << "2.0";
        QTest::newRow("comma inside the text") << json("{'releaseNotes':'One, two, three', 'x':1}")
                                               << "releaseNotes" << true << "One, two, three";
        QTest::newRow("escaped quote before a comma")
            << json("{'releaseNotes':'Say \\'hi\\', then go', 'x':1}") << "releaseNotes" << true
            << "Say \"hi\", then go";
        QTest::newRow("escaped quote at the end") << json("{'releaseNotes':'Say \\'hi\\'', 'x':1}")
                                                  << "releaseNotes" << true << "Say \"hi\"";
        QTest::newRow("escapes") << json("{'n':'a\\/b\\tc\\nd\\re\\ff\\bg\\\\h', 'x':1}") << "n"
                                 << true << "a/b\tc\nd\re\ff\bg\\h";
        QTest::newRow("escaped backslash before n")
            << json("{'path':'C:\\\\new\\\\tab', 'x':1}") << "path" << true << "C:\\new\\tab";
        QTest::newRow("unicode") << json("{'n':'caf\\u00e9 \\u2019', 'x':1}") << "n" << true
                                 << QString::fromUtf8("caf\u00e9 \u2019");
        QTest::newRow("surrogate pair") << json("{'n':'\\ud83c\\udfb5', 'x':1}") << "n" << true
                                        << QString::fromUtf8("\U0001F3B5");
        QTest::newRow("unicode escape yielding a backslash")
            << json("{'n':'\\u005cu0041', 'x':1}") << "n" << true << "\\u0041";
        QTest::newRow("unknown escape: not JSON")
            << json("{'n':'a\\qb', 'x':1}") << "n" << false << "";
        QTest::newRow("lone backslash at the end: not JSON") << "{\"n\":ab\\, \"x\":1}"
                                                             << "n" << false << "";
        QTest::newRow("empty text") << json("{'n':'', 'x':1}") << "n" << true << "";
        QTest::newRow("first occurrence wins")
            << json("{'v':'1', 'v':'2', 'x':1}") << "v" << true << "1";
        QTest::newRow("unclosed text: not JSON") << json("{'n':'a, b, c}") << "n" << false << "";
        QTest::newRow("broken array: not JSON")
            << json("{'version': [1,2,,, }}}{") << "version" << false << "";
        QTest::newRow("text after the object: not JSON")
            << json("{'version':'2.0', 'x':1} {'version':'3.0', 'x':1}") << "version" << false
            << "";
        QTest::newRow("nested answer")
            << json("{'resultCount':1,'results':[{'version':'2.0','trackId':4711}]}") << "version"
            << true << "2.0";
        QTest::newRow("key missing")
            << json("{'version':'2.0', 'x':1}") << "bundleId" << false << "";
        QTest::newRow("key only as part of another")
            << json("{'bundleIdentifier':'x', 'y':1}") << "bundleId" << false << "";
        QTest::newRow("no colon") << json("{'version'") << "version" << false << "";
        QTest::newRow("last key's text")
            << json("{'x':1, 'version':'2.0'}") << "version" << true << "2.0";
        QTest::newRow("last key's number")
            << json("{'resultCount':1,'results':[{'x':'a','trackId':4711}]}") << "trackId" << true
            << "4711";
        QTest::newRow("last key's literal")
            << json("{'x':1, 'free':true }") << "free" << true << "true";
        QTest::newRow("empty input") << ""
                                     << "version" << false << "";
    }

    void valueForKey()
    {
        QFETCH(QString, json);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        const std::optional<QString> result = JsonValueExtractor::valueForKey(key, json);
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, value);
    }

    // Escapes that JSON does not allow never reach unescape() through valueForKey(), but the
    // decoder itself stays tolerant.
    void unescapeKeepsWhatItDoesNotKnow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("short unicode escape at the end") << "ab\\u12"
                                                         << "ab\\u12";
        QTest::newRow("unicode escape with no hex") << "\\uZZZZ"
                                                    << "\\uZZZZ";
        QTest::newRow("unknown escape kept") << "a\\qb"
                                             << "a\\qb";
        QTest::newRow("lone backslash at the end") << "ab\\"
                                                   << "ab\\";
    }

    void unescapeKeepsWhatItDoesNotKnow()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(JsonValueExtractor::unescape(text), decoded);
    }

    // Megabytes of commas after an open quote once took hours; each comma is now looked at once.
    // The bound is far above what a linear walk needs even on a loaded machine.
    void valueForKeyIsLinearInCommas()
    {
        const QString commas(2 * 1024 * 1024, QLatin1Char(','));
        const QString invalid = QStringLiteral("{\"bundleId\":\"") + commas;
        const QString valid =
            QStringLiteral("{\"bundleId\":\"") + commas + QStringLiteral("\", \"x\":1}");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!JsonValueExtractor::valueForKey(QStringLiteral("bundleId"), invalid));
        QCOMPARE(JsonValueExtractor::valueForKey(QStringLiteral("bundleId"), valid), commas);
        QVERIFY2(clock.elapsed() < 60000, "the extractor is not linear");
    }

    void versionOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("1.10 after 1.9") << "1.10"
                                        << "1.9" << 1;
        QTest::newRow("1.9 before 1.10") << "1.9"
                                         << "1.10" << -1;
        QTest::newRow("same") << "2.0.1"
                              << "2.0.1" << 0;
        QTest::newRow("longer is newer") << "2.0"
                                         << "2" << 1;
        QTest::newRow("leading zeros") << "1.01"
                                       << "1.1" << 0;
        QTest::newRow("beyond 64 bits") << "1.99999999999999999999999"
                                        << "1.99999999999999999999998" << 1;
        QTest::newRow("letters") << "1.0b"
                                 << "1.0a" << 1;
        QTest::newRow("empty before anything") << ""
                                               << "0" << -1;
    }

    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        const int result = VersionOrder::compare(a, b);
        QCOMPARE((result > 0) - (result < 0), order);
        const int reverse = VersionOrder::compare(b, a);
        QCOMPARE((reverse > 0) - (reverse < 0), -order);
    }

    void addresses()
    {
        qputenv("WAVELARK_STORE_SERVER", "http://127.0.0.1:8080/store/");
        QCOMPARE(
            StoreLookup::lookupUrl(QStringLiteral("de"), 0, QStringLiteral("com.morvane.wavelark")),
            QUrl(QStringLiteral(
                "http://127.0.0.1:8080/store/de/lookup?bundleId=com.morvane.wavelark")));
        QCOMPARE(StoreLookup::lookupUrl(QStringLiteral("de"), 4711,
                                        QStringLiteral("com.morvane.wavelark")),
                 QUrl(QStringLiteral("http://127.0.0.1:8080/store/de/lookup?id=4711")));
        qunsetenv("WAVELARK_STORE_SERVER");
        QCOMPARE(StoreLookup::storePageUrl(QStringLiteral("com.morvane.wavelark")).toString(),
                 QStringLiteral("appstream:com.morvane.wavelark"));
        QCOMPARE(StoreLookup::defaultCountry().size(), 2);
    }

    // The lookup runs on a thread of its own; the server answers on this one.
    void lookupBodiesAreCapped()
    {
        TinyHttpServer server;
        QVERIFY(server.listen());
        TinyHttpServer::Reply huge;
        huge.body = QByteArray(4 * 1024 * 1024, ' ');
        huge.declareLength = false;
        server.route(QStringLiteral("/huge"), huge);
        server.route(QStringLiteral("/small"), QByteArray("{\"resultCount\":0}"));

        auto fetchOnThread = [](const QUrl &url) {
            StoreFetchResult result;
            std::unique_ptr<QThread> thread(QThread::create([&result, url] {
                result = StoreLookup::fetch(url, StoreLookup::CachePolicy::ReloadIgnoringCache);
            }));
            thread->start();
            while (!thread->wait(10))
                QCoreApplication::processEvents();
            return result;
        };

        const StoreFetchResult capped = fetchOnThread(QUrl(server.url(QStringLiteral("/huge"))));
        QVERIFY(!capped.hasBody);
        QVERIFY(capped.body.isEmpty());
        QVERIFY(capped.error.has_value());
        QVERIFY(capped.error->description.contains(QStringLiteral("larger than 150000")));

        const StoreFetchResult small = fetchOnThread(QUrl(server.url(QStringLiteral("/small"))));
        QVERIFY(small.hasBody);
        QCOMPARE(small.body, QByteArray("{\"resultCount\":0}"));
    }

    void softwareCentreIsFoundByProcessName()
    {
        QTemporaryDir proc;
        auto addProcess = [&proc](const QString &pid, const QByteArray &name) {
            QDir(proc.path()).mkpath(pid);
            QFile comm(proc.path() + QLatin1Char('/') + pid + QStringLiteral("/comm"));
            QVERIFY(comm.open(QIODevice::WriteOnly));
            comm.write(name + '\n');
        };
        addProcess(QStringLiteral("1"), "systemd");
        addProcess(QStringLiteral("self"), "plasma-discover");
        QVERIFY(!SoftwareCentreWatcher::softwareCentreRunning(proc.path()));
        addProcess(QStringLiteral("977"), "plasma-discover");
        QVERIFY(SoftwareCentreWatcher::softwareCentreRunning(proc.path()));
        QVERIFY(
            !SoftwareCentreWatcher::softwareCentreRunning(proc.path() + QStringLiteral("/none")));
    }
};

WAVELARK_TEST_MAIN(TestStoreAnswer)
#include "tst_StoreAnswer.moc"
