#include "net/http/WebRequestLoader.h"

#include "Shared/Logging.h"
#include "net/http/LocalAddress.h"
#include "net/http/WebError.h"
#include "net/http/WebRequestQueue.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

WebError connectionError(QNetworkReply::NetworkError error, const QString &text)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return WebError::urlLoading(WebError::CannotConnectToHost, text);
    case QNetworkReply::RemoteHostClosedError:
        return WebError::urlLoading(WebError::NetworkConnectionLost, text);
    case QNetworkReply::HostNotFoundError:
        return WebError::urlLoading(WebError::CannotFindHost, text);
    // The loader never aborts a reply it still listens to: a cancelled one timed out.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return WebError::urlLoading(WebError::TimedOut, text);
    case QNetworkReply::ProtocolUnknownError:
        return WebError::urlLoading(WebError::UnsupportedUrl, text);
    default:
        return WebError::urlLoading(WebError::Unknown, text);
    }
}

// Errors below 200 are about the connection itself, not about the reply's status.
bool isConnectionError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

} // namespace

WebRequestLoader::WebRequestLoader(const WebRequestPtr &firstRequest, WebRequestQueue *queue)
    : QObject(queue)
    , m_urlPath(firstRequest->urlPath())
    , m_queue(queue)
    , m_cacheKey(firstRequest->cacheKey())
    , m_cachePolicy(firstRequest->cachePolicy())
    , m_cacheExpirationAge(firstRequest->cacheExpirationAge())
{
    addRequest(firstRequest);
}

WebRequestLoader::~WebRequestLoader()
{
    cancel();
}

void WebRequestLoader::addRequest(const WebRequestPtr &request)
{
    m_requests.append(request);
    request->m_loader = this;
}

void WebRequestLoader::removeRequest(WebRequest *request)
{
    m_requests.removeIf([request](const WebRequestPtr &entry) { return entry.get() == request; });
    if (request->m_loader == this)
        request->m_loader = nullptr;
}

QList<WebRequestPtr> WebRequestLoader::takeRequests()
{
    for (const WebRequestPtr &request : std::as_const(m_requests))
        request->m_loader = nullptr;
    return std::exchange(m_requests, {});
}

void WebRequestLoader::load()
{
    m_body.clear();
    m_response = WebHttpResponse();
    const QUrl url(m_urlPath);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(m_queue->timeoutMs());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    if (!m_queue->userAgent().isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, m_queue->userAgent());

    QByteArray verb("GET");
    QByteArray body;
    // A shared fetch cannot honour one request's method, body and headers over another's.
    if (m_requests.size() == 1) {
        const WebRequestPtr &only = m_requests.constFirst();
        if (!only->shouldHandleCookies()) {
            request.setAttribute(QNetworkRequest::CookieLoadControlAttribute,
                                 QNetworkRequest::Manual);
            request.setAttribute(QNetworkRequest::CookieSaveControlAttribute,
                                 QNetworkRequest::Manual);
        }
        if (!only->httpMethod().isEmpty())
            verb = only->httpMethod().toUpper().toLatin1();
        if (!only->contentType().isEmpty())
            request.setRawHeader("Content-Type", only->contentType().toLatin1());
        body = only->httpBody();
        const auto headers = only->headers();
        for (auto it = headers.cbegin(); it != headers.cend(); ++it)
            request.setRawHeader(it.key(), it.value());
    }

    QNetworkAccessManager &network = m_queue->network();
    if (verb == "GET" && body.isEmpty())
        m_reply = network.get(request);
    else
        m_reply = network.sendCustomRequest(request, verb, body);
    LocalAddress::guardRedirects(m_reply);
    connectReply();
    qCDebug(lcNet) << "fetching" << m_urlPath;
    emit m_queue->fetchStarted(url);
}

void WebRequestLoader::connectReply()
{
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &WebRequestLoader::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &WebRequestLoader::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &WebRequestLoader::onFinished);
}

void WebRequestLoader::cancel()
{
    if (QNetworkReply *reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

bool WebRequestLoader::exceedsLimit(qint64 length) const
{
    // Requests sharing this fetch: the most generous limit among them holds.
    qint64 limit = -1;
    for (const WebRequestPtr &request : std::as_const(m_requests)) {
        const qint64 own = request->maxContentLength() >= 0 ? request->maxContentLength()
                                                            : m_queue->maxContentLength();
        if (own == 0)
            return false;
        limit = qMax(limit, own);
    }
    if (limit < 0)
        limit = m_queue->maxContentLength();
    return limit != 0 && length > limit;
}

void WebRequestLoader::onMetaDataChanged()
{
    m_response.statusCode = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_response.url = m_reply->url();
    m_response.headers = m_reply->rawHeaderPairs();
    bool declared = false;
    const qint64 length = m_reply->rawHeader("Content-Length").trimmed().toLongLong(&declared);
    if (declared && exceedsLimit(length)) {
        qCInfo(lcNet) << "body of" << length << "bytes is over the limit:" << m_urlPath;
        m_queue->cancelLoader(this);
        return;
    }
    m_body.clear();
    for (const WebRequestPtr &request : std::as_const(m_requests))
        request->m_totalContentLength = declared ? length : 0;
}

void WebRequestLoader::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    m_body.append(chunk);
    // A body sent without a length (or longer than it said) is held to the same limit.
    if (exceedsLimit(m_body.size())) {
        qCInfo(lcNet) << "body is over the limit:" << m_urlPath;
        m_queue->cancelLoader(this);
        return;
    }
    for (const WebRequestPtr &request : std::as_const(m_requests))
        request->m_totalBytesDownloaded += chunk.size();
}

void WebRequestLoader::onFinished()
{
    QNetworkReply *reply = m_reply.data();
    if (!reply)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::HostNotFoundError && m_retriesLeft > 0) {
        --m_retriesLeft;
        qCDebug(lcNet) << "host not found, trying again:" << m_urlPath;
        load();
        return;
    }
    if (isConnectionError(error)) {
        m_queue->loaderDidFail(this, connectionError(error, reply->errorString()));
        return;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        m_response.statusCode = code;
        if (code < 200 || code > 299) {
            m_queue->loaderDidFail(
                this, WebError::urlLoading(code, QStringLiteral("HTTP status %1").arg(code)));
            return;
        }
    } else if (error != QNetworkReply::NoError) {
        m_queue->loaderDidFail(this, connectionError(error, reply->errorString()));
        return;
    }
    const QByteArray rest = reply->readAll();
    m_body.append(rest);
    if (exceedsLimit(m_body.size())) {
        m_queue->cancelLoader(this);
        return;
    }
    m_queue->loaderDidLoad(this, m_response, m_body);
}
