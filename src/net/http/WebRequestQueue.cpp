#include "net/http/WebRequestQueue.h"

#include "Shared/Logging.h"
#include "net/http/WebCache.h"
#include "net/http/WebDataResponse.h"
#include "net/http/WebError.h"
#include "net/http/WebRequestLoader.h"

#include <QCoreApplication>
#include <QPointer>

WebRequestQueue &WebRequestQueue::mainQueue()
{
    // Parented to the application so that its network manager goes before Qt's globals do.
    static QPointer<WebRequestQueue> queue;
    if (!queue)
        queue = new WebRequestQueue(QCoreApplication::instance());
    return *queue;
}

WebRequestQueue::WebRequestQueue(QObject *parent)
    : QObject(parent)
{
    m_dequeueTimer.setSingleShot(true);
    m_dequeueTimer.setInterval(kDequeueIntervalMs);
    connect(&m_dequeueTimer, &QTimer::timeout, this, &WebRequestQueue::loadNextInQueue);
}

bool WebRequestQueue::sendRequest(const WebRequestPtr &request)
{
    if (!request || request->isLoading())
        return false;
    if (loadFromCache(request))
        return true;

    request->notifyStart();
    if (request->urlPath().isEmpty()) {
        request->notifyFailure(WebError::urlLoading(WebError::BadUrl, QStringLiteral("bad URL")));
        return false;
    }

    request->m_isLoading = true;
    request->m_respondedFromCache = false;
    request->m_totalContentLength = 0;
    request->m_totalBytesDownloaded = 0;
    const QString key = request->cacheKey();
    const bool shared = request->isSharedFetch();
    if (shared) {
        if (WebRequestLoader *loader = m_loaders.value(key)) {
            loader->addRequest(request);
            return true;
        }
    }

    auto *loader = new WebRequestLoader(request, this);
    if (shared)
        m_loaders.insert(key, loader);
    if (m_suspended || m_inFlight.size() >= kMaxConcurrentLoads) {
        m_loaderQueue.append(loader);
    } else {
        m_inFlight.insert(loader);
        startLoader(loader);
    }
    return true;
}

bool WebRequestQueue::loadFromCache(const WebRequestPtr &request)
{
    const int policy = request->cachePolicy();
    if ((policy & WebCacheNoCache) || !(policy & (WebCacheMemory | WebCacheDisk)))
        return false;
    const auto entry =
        WebCache::shared().dataForKey(request->cacheKey(), request->cacheExpirationAge());
    if (!entry)
        return false;
    if (const auto response = request->response()) {
        if (response->processResponse(request.get(), nullptr, entry->data))
            return false; // unusable: ask the network instead
    }
    request->m_respondedFromCache = true;
    request->m_timestamp = entry->timestamp;
    request->m_isLoading = false;
    request->notifyFinish();
    return true;
}

void WebRequestQueue::startLoader(WebRequestLoader *loader)
{
    WebCache::shared(); // its folders exist from the first fetch on
    loader->load();
}

void WebRequestQueue::setSuspended(bool suspended)
{
    m_suspended = suspended;
    if (suspended)
        m_dequeueTimer.stop();
    else
        loadNextInQueue();
}

void WebRequestQueue::loadNextInQueue()
{
    m_dequeueTimer.stop();
    int started = 0;
    while (!m_suspended && !m_loaderQueue.isEmpty() && started < kMaxConcurrentLoads &&
           m_inFlight.size() < kMaxConcurrentLoads) {
        WebRequestLoader *loader = m_loaderQueue.takeFirst();
        m_inFlight.insert(loader);
        ++started;
        startLoader(loader);
    }
    if (!m_loaderQueue.isEmpty() && !m_suspended)
        m_dequeueTimer.start();
}

bool WebRequestQueue::removeLoader(WebRequestLoader *loader)
{
    const bool inFlight = m_inFlight.remove(loader);
    const bool waiting = m_loaderQueue.removeOne(loader);
    if (!inFlight && !waiting)
        return false; // already gone
    const auto registered = m_loaders.constFind(loader->cacheKey());
    if (registered != m_loaders.cend() && registered.value() == loader)
        m_loaders.erase(registered);
    loader->deleteLater();
    return inFlight;
}

void WebRequestQueue::loaderDidLoad(WebRequestLoader *loader, const WebHttpResponse &response,
                                    const QByteArray &data)
{
    removeLoader(loader);
    const QList<WebRequestPtr> requests = loader->takeRequests();
    std::optional<WebError> error;
    for (const WebRequestPtr &request : requests) {
        if (const auto processor = request->response()) {
            error = processor->processResponse(request.get(), &response, data);
            if (error)
                break;
        }
    }
    if (!error && !(loader->cachePolicy() & WebCacheNoCache) && !requests.isEmpty() &&
        requests.constFirst()->isSharedFetch()) {
        WebCache::shared().storeData(loader->cacheKey(), data);
    }
    const QDateTime now = QDateTime::currentDateTime();
    for (const WebRequestPtr &request : requests) {
        request->m_isLoading = false;
        if (error) {
            request->notifyFailure(*error);
        } else {
            request->m_timestamp = now;
            request->notifyFinish();
        }
    }
    loadNextInQueue();
}

void WebRequestQueue::loaderDidFail(WebRequestLoader *loader, const WebError &error)
{
    removeLoader(loader);
    const QList<WebRequestPtr> requests = loader->takeRequests();
    for (const WebRequestPtr &request : requests) {
        request->m_isLoading = false;
        request->notifyFailure(error);
    }
    loadNextInQueue();
}

void WebRequestQueue::cancelRequest(WebRequest *request)
{
    if (!request || !request->m_isLoading)
        return;
    const WebRequestPtr keep = request->shared_from_this(); // through its delegates' calls
    QPointer<WebRequestLoader> loader = request->m_loader;
    request->m_isLoading = false;
    request->notifyCancel();
    if (!loader)
        return;
    loader->removeRequest(request);
    if (loader->requests().isEmpty()) {
        const bool wasInFlight = removeLoader(loader);
        loader->cancel();
        if (wasInFlight)
            loadNextInQueue();
    }
}

void WebRequestQueue::cancelLoader(WebRequestLoader *loader)
{
    // Nobody joins a fetch that is being dropped.
    const auto registered = m_loaders.constFind(loader->cacheKey());
    if (registered != m_loaders.cend() && registered.value() == loader)
        m_loaders.erase(registered);
    QPointer<WebRequestLoader> guard(loader);
    const QList<WebRequestPtr> requests = loader->requests();
    for (const WebRequestPtr &request : requests)
        cancelRequest(request.get());
    if (guard && removeLoader(loader)) {
        loader->cancel();
        loadNextInQueue();
    }
}
