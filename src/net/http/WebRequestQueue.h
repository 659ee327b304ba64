#pragma once

#include "net/http/WebRequest.h"

#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>

class WebError;
class WebRequestLoader;
struct WebHttpResponse;

// The process's one queue of HTTP fetches. Identical GET requests in flight share one fetch; at
// most 20 fetches run at once and the others wait, the queue trying again every 0.3 seconds.
// Each fetch has a 30-second time-out, is tried again twice at once when the host is not found,
// and is cancelled when its body is longer than maxContentLength().
// Thread: main thread only (made there on first use; every callback arrives there).
class WebRequestQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxConcurrentLoads = 20;
    static constexpr int kDequeueIntervalMs = 300;
    static constexpr int kDefaultTimeoutMs = 30000;
    static constexpr qint64 kDefaultMaxContentLength = 150000;

    static WebRequestQueue &mainQueue();

    // Answers from the cache when the policy allows, else starts or queues a fetch. False when
    // the request could not start.
    bool sendRequest(const WebRequestPtr &request);
    void cancelRequest(WebRequest *request);

    bool isSuspended() const { return m_suspended; }
    // Suspended, the queue starts no fetch; resuming starts the waiting ones at once.
    void setSuspended(bool suspended);

    // Longest body accepted, in bytes; 0 means no limit. A longer one cancels its fetch.
    qint64 maxContentLength() const { return m_maxContentLength; }
    void setMaxContentLength(qint64 bytes) { m_maxContentLength = bytes; }
    QString userAgent() const { return m_userAgent; }
    void setUserAgent(const QString &agent) { m_userAgent = agent; }
    // Time a fetch may go without receiving anything.
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }

    int loadingCount() const { return int(m_inFlight.size()); }
    int waitingCount() const { return int(m_loaderQueue.size()); }

signals:
    // A connection was opened for `url` (retries included).
    void fetchStarted(const QUrl &url);

private:
    friend class WebRequestLoader;

    explicit WebRequestQueue(QObject *parent);

    bool loadFromCache(const WebRequestPtr &request);
    void startLoader(WebRequestLoader *loader);
    void loadNextInQueue();
    // Forgets the loader; true when it was in flight.
    bool removeLoader(WebRequestLoader *loader);

    // Called by loaders.
    void loaderDidLoad(WebRequestLoader *loader, const WebHttpResponse &response,
                       const QByteArray &data);
    void loaderDidFail(WebRequestLoader *loader, const WebError &error);
    void cancelLoader(WebRequestLoader *loader);
    QNetworkAccessManager &network() { return m_network; }

    QNetworkAccessManager m_network;
    QHash<QString, WebRequestLoader *> m_loaders; // shared fetches by cache key
    QList<WebRequestLoader *> m_loaderQueue;
    QSet<WebRequestLoader *> m_inFlight;
    qint64 m_maxContentLength = kDefaultMaxContentLength;
    QString m_userAgent;
    int m_timeoutMs = kDefaultTimeoutMs;
    bool m_suspended = false;
    QTimer m_dequeueTimer;
};
