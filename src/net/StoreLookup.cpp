#include "net/StoreLookup.h"

#include "Shared/Logging.h"
#include "net/ServiceHosts.h"

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
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // The owner stops a lookup at quit by asking the thread to stop.
    QTimer stopPoll;
    stopPoll.setInterval(100);
    QObject::connect(&stopPoll, &QTimer::timeout, reply, [reply] {
        if (QThread::currentThread()->isInterruptionRequested())
            reply->abort();
    });
    stopPoll.start();
    if (!reply->isFinished())
        loop.exec();

    StoreFetchResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        result.hasBody = true;
        result.body = reply->readAll();
    } else {
        result.error = StoreError{QStringLiteral("StoreConnection"), int(reply->error()),
                                  reply->errorString()};
    }
    reply->deleteLater();
    return result;
}
