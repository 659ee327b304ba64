#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// An error of the store lookup, carried as a value: the domain says who made it
// ("AppRaterErrorDomain", "UpdateCheckErrorDomain", or "StoreConnection" for the transfer itself).
struct StoreError
{
    QString domain;
    int code = 0;
    QString description;
};

// What a synchronous fetch of the lookup service brought back. `hasBody` is true whenever the
// server answered over HTTP (the body may be empty); otherwise `error` tells why not.
struct StoreFetchResult
{
    bool hasBody = false;
    QByteArray body;
    std::optional<StoreError> error;
};

// The store's public lookup service and the application's store page, shared by the rating
// prompt and the update check.
// Thread: any; fetch() blocks the calling thread and must not be called on the main thread.
class StoreLookup
{
public:
    StoreLookup() = delete;

    enum class CachePolicy {
        ReturnCacheDataElseLoad, // an answer cached by an earlier lookup is good enough
        ReloadIgnoringCache,     // always ask the server
    };

    static constexpr int kTimeoutMs = 60000;
    // Larger answers are cancelled while they arrive, as in the request layer.
    static constexpr qsizetype kMaxBodyBytes = 150000;

    // "<lookup service>/<country>/lookup?id=<id>", or "?bundleId=<bundle id>" while the store ID
    // is not known.
    static QUrl lookupUrl(const QString &country, quint64 appStoreID, const QString &bundleID);
    // The application's page in the desktop's software centre: "appstream:<bundle id>".
    static QUrl storePageUrl(const QString &bundleID);
    // The current locale's two-letter country code in lower case, "us" when the locale has none.
    static QString defaultCountry();

    // Fetches `url` on the calling thread with its own network access, giving up after
    // `timeoutMs` in all, on a body over kMaxBodyBytes, or when the thread is asked to stop
    // (QThread::requestInterruption).
    static StoreFetchResult fetch(const QUrl &url, CachePolicy policy, int timeoutMs = kTimeoutMs);
};
