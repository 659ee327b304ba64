#include "net/store/StoreLookup.h"

#include "Shared/Logging.h"
#include "net/http/LocalAddress.h"
#include "net/http/ServiceHosts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

namespace {

// Only the rating prompt's lookups read the cache; the update check always asks the server.
QString lookupCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/store-lookup");
}

} // namespace

QUrl StoreLookup::lookupUrl(const QString &country, quint64 appStoreID, const QString &bundleID)
{
    QUrl url(ServiceHosts::storeLookupServer());
    QString path = url.path();
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QLatin1Char('/') + country + QStringLiteral("/lookup"));
    QUrlQuery query;
    if (appStoreID != 0)
        query.addQueryItem(QStringLiteral("id"), QString::number(appStoreID));
    else
        query.addQueryItem(QStringLiteral("bundleId"), bundleID);
    url.setQuery(query);
    return url;
}

QUrl StoreLookup::storePageUrl(const QString &bundleID)
{
    QUrl url;
    url.setScheme(QStringLiteral("appstream"));
    url.setPath(bundleID);
    return url;
}

QString StoreLookup::defaultCountry()
{
    const QLocale locale = QLocale::system();
    const QString code = QLocale::territoryToCode(locale.territory()).toLower();
    return code.size() == 2 ? code : QStringLiteral("us");
}

StoreFetchResult StoreLookup::fetch(const QUrl &url, CachePolicy policy, int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    if (policy == CachePolicy::ReturnCacheDataElseLoad) {
        auto *cache = new QNetworkDiskCache(&manager);
        cache->setCacheDirectory(lookupCacheFolder());
        manager.setCache(cache);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::PreferCache);
    } else {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    }

    QEventLoop loop;
    QNetworkReply *reply = manager.get(request);
    LocalAddress::guardRedirects(reply);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The body is taken in as it arrives, so that an answer over the cap is dropped before it
    // fills the memory, whether or not it declared its length.
    QByteArray body;
    bool overCap = false;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, &body, &overCap] {
        body += reply->readAll();
        if (body.size() > kMaxBodyBytes && !overCap) {
            overCap = true;
            body.clear();
            body.squeeze();
            reply->abort();
        }
    });
    // The owner stops a lookup at quit by asking the thread to stop; a lookup that trickles
    // data in never outlasts the time-out as a whole.
    QElapsedTimer clock;
    clock.start();
    QTimer stopPoll;
    stopPoll.setInterval(100);
    QObject::connect(&stopPoll, &QTimer::timeout, reply, [reply, &clock, timeoutMs] {
        if (QThread::currentThread()->isInterruptionRequested() || clock.elapsed() > timeoutMs)
            reply->abort();
    });
    stopPoll.start();
    if (!reply->isFinished())
        loop.exec();

    StoreFetchResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (overCap) {
        result.error =
            StoreError{QStringLiteral("StoreConnection"), int(reply->error()),
                       QStringLiteral("The answer is larger than %1 bytes").arg(kMaxBodyBytes)};
    } else if (status.isValid() && reply->error() != QNetworkReply::OperationCanceledError) {
        result.hasBody = true;
        result.body = body + reply->readAll();
    } else {
        result.error = StoreError{QStringLiteral("StoreConnection"), int(reply->error()),
                                  reply->errorString()};
    }
    reply->deleteLater();
    return result;
}
