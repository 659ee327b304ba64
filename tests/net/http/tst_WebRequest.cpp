#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "net/http/LocalAddress.h"
#include "net/http/WebCache.h"
#include "net/http/WebDataResponse.h"
#include "net/http/WebError.h"
#include "net/http/WebRequest.h"
#include "net/http/WebRequestDelegate.h"
#include "net/http/WebRequestQueue.h"

#include <QDir>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWait = 60000;

// Hears every call and keeps what it heard in order.
class RecordingDelegate : public WebRequestDelegate
{
public:
    QStringList events;
    QList<WebError> errors;
    QByteArray body;

    int count(const QString &event) const { return int(events.count(event)); }

    void requestDidStartLoad(WebRequest *) override { events.append(QStringLiteral("start")); }
    void requestDidFinishLoad(WebRequest *request) override
    {
        events.append(QStringLiteral("finish"));
        body = std::static_pointer_cast<WebDataResponse>(request->response())->data();
    }
    void requestDidFailLoadWithError(WebRequest *, const WebError &error) override
    {
        events.append(QStringLiteral("fail"));
        errors.append(error);
    }
    void requestDidCancelLoad(WebRequest *) override { events.append(QStringLiteral("cancel")); }
};

WebRequestPtr sendRequest(const QString &url, WebRequestDelegate *delegate,
                          int policy = WebCacheNoCache)
{
    WebRequestPtr request = WebRequest::requestWithURL(url, delegate);
    request->setResponse(std::make_shared<WebDataResponse>());
    request->setCachePolicy(policy);
    request->send();
    return request;
}

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/morvane/wavelark/WebCache");
}

} // namespace

class TestWebRequest : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    WebRequestQueue &queue() { return WebRequestQueue::mainQueue(); }

private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }

    void cleanup()
    {
        m_server.releaseHeld();
        QTRY_COMPARE_WITH_TIMEOUT(queue().loadingCount(), 0, kWait);
        QCOMPARE(queue().waitingCount(), 0);
    }

    void localAddressesAreKnown_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("local");
        QTest::newRow("loopback") << "http://127.0.0.1:8080/x" << true;
        QTest::newRow("loopback elsewhere in 127/8") << "http://127.1.2.3/" << true;
        QTest::newRow("localhost") << "http://LocalHost/" << true;
        QTest::newRow("below localhost") << "http://admin.localhost/" << true;
        QTest::newRow("10/8") << "http://10.0.0.1/" << true;
        QTest::newRow("172.16/12") << "http://172.31.255.1/" << true;
        QTest::newRow("192.168/16") << "http://192.168.1.1/" << true;
        QTest::newRow("link-local") << "http://169.254.169.254/latest/" << true;
        QTest::newRow("carrier-grade NAT") << "http://100.64.0.1/" << true;
        QTest::newRow("unspecified") << "http://0.0.0.0/" << true;
        QTest::newRow("IPv6 loopback") << "http://[::1]/" << true;
        QTest::newRow("IPv6 unique local") << "http://[fd00::1]/" << true;
        QTest::newRow("IPv6 link-local") << "http://[fe80::1]/" << true;
        QTest::newRow("IPv4 in IPv6") << "http://[::ffff:127.0.0.1]/" << true;
        QTest::newRow("public address") << "http://203.0.113.7/" << false;
        QTest::newRow("172.32 is public") << "http://172.32.0.1/" << false;
        QTest::newRow("public name") << "https://www.morvane.com/x.png" << false;
    }
    void localAddressesAreKnown()
    {
        QFETCH(QString, url);
        QFETCH(bool, local);
        QCOMPARE(LocalAddress::isLocal(QUrl(url)), local);
        QVERIFY(LocalAddress::allows(QUrl("http://127.0.0.1:8080/"), QUrl(url)));
        QCOMPARE(LocalAddress::allows(QUrl("https://www.morvane.com/"), QUrl(url)), !local);
    }

    // A public server (reached here through a proxy that stands in for the internet) redirects
    // to a service on this machine: the step is not taken and the request fails; a server that
    // is itself local may redirect locally.
    void redirectsFromAPublicServerStayOutOfThisMachine()
    {
        const QString publicList = QStringLiteral("http://203.0.113.7/list");
        const QString secret = m_server.url(QStringLiteral("/secret"));
        m_server.route(publicList, TinyHttpServer::Reply{302, "", {{"Location", secret.toUtf8()}}});
        m_server.route(QStringLiteral("/secret"), "private");
        m_server.route(QStringLiteral("/moved"),
                       TinyHttpServer::Reply{302, "", {{"Location", secret.toUtf8()}}});
        m_server.clearRequests();
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy,
                                                         QStringLiteral("127.0.0.1"),
                                                         quint16(QUrl(m_server.baseUrl()).port())));
        auto noProxy = qScopeGuard(
            [] { QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy)); });

        RecordingDelegate refused;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not following the redirect"));
        sendRequest(publicList, &refused);
        QTRY_COMPARE_WITH_TIMEOUT(refused.events.size(), 2, kWait);
        QCOMPARE(refused.events.last(), QStringLiteral("fail"));
        QCOMPARE(m_server.requestTargets(), QStringList({publicList}));
        noProxy.dismiss();
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));

        RecordingDelegate followed;
        sendRequest(m_server.url(QStringLiteral("/moved")), &followed);
        QTRY_COMPARE_WITH_TIMEOUT(followed.events.size(), 2, kWait);
        QCOMPARE(followed.events.last(), QStringLiteral("finish"));
        QCOMPARE(followed.body, QByteArray("private"));
    }

    void cacheKeyIsTheMd5OfTheAddress()
    {
        WebRequestPtr request = WebRequest::requestWithURL(QStringLiteral("http://a/b"), nullptr);
        QCOMPARE(request->cacheKey(),
                 QString::fromLatin1(
                     QCryptographicHash::hash("http://a/b", QCryptographicHash::Md5).toHex()));
        QCOMPARE(request->cachePolicy(), int(WebCacheDefault));
        QCOMPARE(request->cacheExpirationAge(), 604800.0);
    }

    void identicalRequestsShareOneFetch()
    {
        m_server.route(QStringLiteral("/shared"), "one body");
        QSignalSpy fetches(&queue(), &WebRequestQueue::fetchStarted);
        RecordingDelegate first;
        RecordingDelegate second;
        WebRequestPtr a = sendRequest(m_server.url(QStringLiteral("/shared")), &first);
        WebRequestPtr b = sendRequest(m_server.url(QStringLiteral("/shared")), &second);
        QVERIFY(a->isLoading() && b->isLoading());
        QTRY_COMPARE_WITH_TIMEOUT(second.count(QStringLiteral("finish")), 1, kWait);
        QCOMPARE(first.events, QStringList({"start", "finish"}));
        QCOMPARE(first.body, QByteArray("one body"));
        QCOMPARE(second.body, QByteArray("one body"));
        QVERIFY(a->response() != b->response());
        QCOMPARE(m_server.requestCount(QStringLiteral("/shared")), 1);
        QCOMPARE(fetches.count(), 1);
        QVERIFY(!a->isLoading() && a->timestamp().isValid());
    }

    void statuses_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("200") << 200 << true;
        QTest::newRow("201 is success") << 201 << true;
        QTest::newRow("299") << 299 << true;
        QTest::newRow("404") << 404 << false;
        QTest::newRow("500") << 500 << false;
        QTest::newRow("304 not followed") << 304 << false;
    }
    void statuses()
    {
        QFETCH(int, status);
        QFETCH(bool, succeeds);
        const QString path = QStringLiteral("/status/%1").arg(status);
        m_server.route(path, status == 304 ? QByteArray() : QByteArray("body"), status);
        RecordingDelegate delegate;
        sendRequest(m_server.url(path), &delegate);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.events.size(), 2, kWait);
        if (succeeds) {
            QCOMPARE(delegate.events.last(), QStringLiteral("finish"));
            QCOMPARE(delegate.body, QByteArray("body"));
        } else {
            QCOMPARE(delegate.events.last(), QStringLiteral("fail"));
            QCOMPARE(delegate.errors.constFirst().domain(), WebError::urlLoadingDomain());
            QCOMPARE(delegate.errors.constFirst().code(), status);
        }
    }

    void contentLengthLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("declared");
        QTest::addColumn<bool>("read");
        QTest::newRow("exactly the limit") << 150000 << true << true;
        QTest::newRow("one byte over") << 150001 << true << false;
        QTest::newRow("undeclared, exactly the limit") << 150000 << false << true;
        QTest::newRow("undeclared, one byte over") << 150001 << false << false;
    }
    void contentLengthLimit()
    {
        QFETCH(int, size);
        QFETCH(bool, declared);
        QFETCH(bool, read);
        QCOMPARE(queue().maxContentLength(), qint64(150000));
        const QString path = QStringLiteral("/size/%1/%2").arg(size).arg(declared);
        TinyHttpServer::Reply reply;
        reply.body = QByteArray(size, 'x');
        reply.declareLength = declared;
        m_server.route(path, reply);
        RecordingDelegate delegate;
        WebRequestPtr request = sendRequest(m_server.url(path), &delegate);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.events.size(), 2, kWait);
        if (read) {
            QCOMPARE(delegate.events, QStringList({"start", "finish"}));
            QCOMPARE(delegate.body.size(), size);
            QCOMPARE(request->totalBytesDownloaded(), qint64(size));
        } else {
            // Only the cancel call: a delegate that listens for finish and failure hears nothing.
            QCOMPARE(delegate.events, QStringList({"start", "cancel"}));
        }
        QVERIFY(!request->isLoading());
    }

    // Four servers, because the network manager opens at most six connections per host.
    void twentyFirstRequestWaitsForAFreeSlot()
    {
        std::vector<std::unique_ptr<TinyHttpServer>> servers;
        for (int i = 0; i < 4; ++i) {
            servers.push_back(std::make_unique<TinyHttpServer>());
            QVERIFY(servers.back()->listen());
        }
        const auto received = [&servers] {
            int total = 0;
            for (const auto &server : servers)
                total += server->totalRequests();
            return total;
        };
        TinyHttpServer::Reply held;
        held.body = "late";
        held.hold = true;
        std::vector<std::unique_ptr<RecordingDelegate>> delegates;
        for (int i = 0; i < 21; ++i) {
            TinyHttpServer &server = *servers.at(size_t(i % 4));
            const QString path = QStringLiteral("/slot/%1").arg(i);
            server.route(path, held);
            delegates.push_back(std::make_unique<RecordingDelegate>());
            sendRequest(server.url(path), delegates.back().get());
        }
        QCOMPARE(queue().loadingCount(), 20);
        QCOMPARE(queue().waitingCount(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(received(), 20, kWait);
        QCOMPARE(servers.at(0)->requestCount(QStringLiteral("/slot/20")), 0);

        // One of the first twenty ends: the waiting one goes out.
        servers.at(1)->releaseHeld(1);
        QTRY_COMPARE_WITH_TIMEOUT(servers.at(0)->requestCount(QStringLiteral("/slot/20")), 1,
                                  kWait);
        QCOMPARE(queue().waitingCount(), 0);
        for (const auto &server : servers)
            server->releaseHeld();
        for (const auto &delegate : delegates)
            QTRY_COMPARE_WITH_TIMEOUT(delegate->count(QStringLiteral("finish")), 1, kWait);
        QCOMPARE(received(), 21);
    }

    void suspendedQueueHoldsFetches()
    {
        m_server.route(QStringLiteral("/suspended"), "ok");
        queue().setSuspended(true);
        RecordingDelegate delegate;
        sendRequest(m_server.url(QStringLiteral("/suspended")), &delegate);
        QCOMPARE(queue().waitingCount(), 1);
        QCOMPARE(queue().loadingCount(), 0);
        queue().setSuspended(false);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.count(QStringLiteral("finish")), 1, kWait);
    }

    // Host look-ups stay on this machine: main() turns off the resolver's DNS queries.
    void hostNotFoundIsTriedThreeTimes()
    {
        QSignalSpy fetches(&queue(), &WebRequestQueue::fetchStarted);
        RecordingDelegate delegate;
        sendRequest(QStringLiteral("http://wavelark-test.invalid/products.json"), &delegate);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.count(QStringLiteral("fail")), 1, kWait);
        QCOMPARE(fetches.count(), 3);
        QCOMPARE(delegate.errors.constFirst().code(), int(WebError::CannotFindHost));
        QCOMPARE(delegate.errors.constFirst().domain(), WebError::urlLoadingDomain());
    }

    void emptyAddressFailsAtOnce()
    {
        RecordingDelegate delegate;
        WebRequestPtr request = WebRequest::requestWithURL(QString(), &delegate);
        QVERIFY(!request->send());
        QCOMPARE(delegate.events, QStringList({"start", "fail"}));
        QCOMPARE(delegate.errors.constFirst().code(), int(WebError::BadUrl));
    }

    void refusedConnectionFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        RecordingDelegate delegate;
        sendRequest(QStringLiteral("http://127.0.0.1:%1/x").arg(port), &delegate);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.count(QStringLiteral("fail")), 1, kWait);
        QCOMPARE(delegate.errors.constFirst().code(), int(WebError::CannotConnectToHost));
    }

    void silentServerTimesOut()
    {
        TinyHttpServer::Reply silent;
        silent.hold = true;
        m_server.route(QStringLiteral("/silent"), silent);
        QCOMPARE(queue().timeoutMs(), 30000);
        queue().setTimeoutMs(1000);
        RecordingDelegate delegate;
        sendRequest(m_server.url(QStringLiteral("/silent")), &delegate);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.count(QStringLiteral("fail")), 1, kWait);
        queue().setTimeoutMs(WebRequestQueue::kDefaultTimeoutMs);
        QCOMPARE(delegate.errors.constFirst().code(), int(WebError::TimedOut));
    }

    void cancellingOneSharerLeavesTheOther()
    {
        TinyHttpServer::Reply held;
        held.body = "kept";
        held.hold = true;
        m_server.route(QStringLiteral("/cancel"), held);
        RecordingDelegate leaving;
        RecordingDelegate staying;
        WebRequestPtr a = sendRequest(m_server.url(QStringLiteral("/cancel")), &leaving);
        sendRequest(m_server.url(QStringLiteral("/cancel")), &staying);
        a->cancel();
        QCOMPARE(leaving.events, QStringList({"start", "cancel"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_server.heldCount(), 1, kWait);
        m_server.releaseHeld();
        QTRY_COMPARE_WITH_TIMEOUT(staying.count(QStringLiteral("finish")), 1, kWait);
        QCOMPARE(staying.body, QByteArray("kept"));
        QCOMPARE(leaving.events.size(), 2);
    }

    void destroyedDelegateIsNotCalled()
    {
        TinyHttpServer::Reply held;
        held.body = "later";
        held.hold = true;
        m_server.route(QStringLiteral("/gone"), held);
        auto gone = std::make_unique<RecordingDelegate>();
        RecordingDelegate alive;
        WebRequestPtr request = sendRequest(m_server.url(QStringLiteral("/gone")), gone.get());
        request->addDelegate(&alive);
        gone.reset();
        QCOMPARE(request->delegates(), QList<WebRequestDelegate *>{&alive});
        QTRY_COMPARE_WITH_TIMEOUT(m_server.heldCount(), 1, kWait);
        m_server.releaseHeld();
        QTRY_COMPARE_WITH_TIMEOUT(alive.count(QStringLiteral("finish")), 1, kWait);
    }

    void noCachePolicyLeavesTheCacheEmpty()
    {
        m_server.route(QStringLiteral("/nocache"), "fresh");
        RecordingDelegate first;
        sendRequest(m_server.url(QStringLiteral("/nocache")), &first);
        QTRY_COMPARE_WITH_TIMEOUT(first.count(QStringLiteral("finish")), 1, kWait);
        RecordingDelegate second;
        sendRequest(m_server.url(QStringLiteral("/nocache")), &second);
        QTRY_COMPARE_WITH_TIMEOUT(second.count(QStringLiteral("finish")), 1, kWait);
        QCOMPARE(m_server.requestCount(QStringLiteral("/nocache")), 2);

        QCOMPARE(WebCache::shared().cachePath(), cacheFolder());
        QVERIFY(QDir(cacheFolder()).exists());
        const QString key =
            WebRequest::requestWithURL(m_server.url(QStringLiteral("/nocache")), nullptr)
                ->cacheKey();
        QVERIFY(!QFile::exists(cacheFolder() + QLatin1Char('/') + key));
    }

    void defaultPolicyAnswersFromTheCache()
    {
        m_server.route(QStringLiteral("/cached"), "stored");
        RecordingDelegate first;
        WebRequestPtr a =
            sendRequest(m_server.url(QStringLiteral("/cached")), &first, WebCacheDefault);
        QTRY_COMPARE_WITH_TIMEOUT(first.count(QStringLiteral("finish")), 1, kWait);
        QVERIFY(!a->respondedFromCache());
        RecordingDelegate second;
        WebRequestPtr b =
            sendRequest(m_server.url(QStringLiteral("/cached")), &second, WebCacheDefault);
        QCOMPARE(second.events, QStringList({"finish"})); // answered within send()
        QVERIFY(b->respondedFromCache());
        QCOMPARE(second.body, QByteArray("stored"));
        QCOMPARE(m_server.requestCount(QStringLiteral("/cached")), 1);
    }
};

int main(int argc, char *argv[])
{
    // The resolver answers without asking any name server, so a made-up host fails here.
    qputenv("RES_OPTIONS", "attempts:0");
    TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestWebRequest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WebRequest.moc"
