#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <utility>

class WebError;
class WebRequest;
class WebRequestDelegate;
class WebRequestLoader;
class WebResponse;

using WebRequestPtr = std::shared_ptr<WebRequest>;

// Where a request may be answered from (flags).
enum WebCachePolicy : int {
    WebCacheMemory = 1,
    WebCacheDisk = 2,
    WebCacheNetwork = 4,
    WebCacheNoCache = 8, // never read from the cache, never store in it
    WebCacheDefault = WebCacheMemory | WebCacheDisk | WebCacheNetwork,
};

// One HTTP request with its delegates and its response object. The usual road:
//     auto request = WebRequest::requestWithURL(url, this);
//     request->setResponse(std::make_shared<WebDataResponse>());
//     request->setCachePolicy(WebCacheNoCache);
//     request->send();
// then, on the main thread, requestDidFinishLoad (read response()) or
// requestDidFailLoadWithError. The queue keeps the request alive while it loads.
// Thread: main thread only.
class WebRequest : public std::enable_shared_from_this<WebRequest>
{
public:
    static WebRequestPtr requestWithURL(const QString &urlPath, WebRequestDelegate *delegate);

    QString urlPath() const { return m_urlPath; }

    // The delegates still alive, the one given at creation first.
    QList<WebRequestDelegate *> delegates() const;
    void addDelegate(WebRequestDelegate *delegate);
    void removeDelegate(WebRequestDelegate *delegate);

    std::shared_ptr<WebResponse> response() const { return m_response; }
    void setResponse(std::shared_ptr<WebResponse> response) { m_response = std::move(response); }

    int cachePolicy() const { return m_cachePolicy; }
    void setCachePolicy(int policy) { m_cachePolicy = policy; }
    // Seconds a cached answer stays good; 7 days by default.
    double cacheExpirationAge() const { return m_cacheExpirationAge; }
    void setCacheExpirationAge(double seconds) { m_cacheExpirationAge = seconds; }
    // The 32 lower-case hex digits of the MD5 of the address (made on first use).
    QString cacheKey();

    // Null for a plain GET.
    QString httpMethod() const { return m_httpMethod; }
    void setHttpMethod(const QString &method) { m_httpMethod = method; }
    QByteArray httpBody() const { return m_httpBody; }
    void setHttpBody(const QByteArray &body) { m_httpBody = body; }
    QString contentType() const { return m_contentType; }
    void setContentType(const QString &type) { m_contentType = type; }
    QMap<QByteArray, QByteArray> headers() const { return m_headers; }
    void setValueForHTTPHeaderField(const QByteArray &value, const QByteArray &field);
    bool shouldHandleCookies() const { return m_shouldHandleCookies; }
    void setShouldHandleCookies(bool handle) { m_shouldHandleCookies = handle; }
    // Free for the caller: the request only carries it.
    // Longest body accepted for this request; -1 (the default) takes the queue's limit, 0 means
    // none. Images need more room than the JSON answers the queue's limit is made for.
    qint64 maxContentLength() const { return m_maxContentLength; }
    void setMaxContentLength(qint64 bytes) { m_maxContentLength = bytes; }
    QVariant userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariant &info) { m_userInfo = info; }

    // Set while and after loading.
    QDateTime timestamp() const { return m_timestamp; }
    bool isLoading() const { return m_isLoading; }
    bool respondedFromCache() const { return m_respondedFromCache; }
    qint64 totalContentLength() const { return m_totalContentLength; }
    qint64 totalBytesDownloaded() const { return m_totalBytesDownloaded; }

    // Hands the request to the main queue. False when it could not start (already loading, or
    // an empty address, which the delegates hear as error -1000).
    bool send();
    // Stops waiting for this request; its delegates hear requestDidCancelLoad. The fetch itself
    // goes on while other requests share it.
    void cancel();

    bool isSharedFetch() const; // a GET that identical requests in flight may share

private:
    friend class WebRequestQueue;
    friend class WebRequestLoader;

    WebRequest() = default;

    void notifyStart();
    void notifyFinish();
    void notifyFailure(const WebError &error);
    void notifyCancel();
    template<typename Call>
    void forEachDelegate(Call call);

    QString m_urlPath;
    QList<std::pair<WebRequestDelegate *, std::weak_ptr<const void>>> m_delegates;
    std::shared_ptr<WebResponse> m_response;
    int m_cachePolicy = WebCacheDefault;
    double m_cacheExpirationAge = 604800.0;
    QString m_cacheKey;
    QString m_httpMethod;
    QByteArray m_httpBody;
    QString m_contentType;
    QMap<QByteArray, QByteArray> m_headers;
    bool m_shouldHandleCookies = true;
    QVariant m_userInfo;
    qint64 m_maxContentLength = -1;

    QDateTime m_timestamp;
    bool m_isLoading = false;
    bool m_respondedFromCache = false;
    qint64 m_totalContentLength = 0;
    qint64 m_totalBytesDownloaded = 0;
    QPointer<WebRequestLoader> m_loader;
};
