#include "net/http/WebRequest.h"

#include "net/http/WebError.h"
#include "net/http/WebRequestDelegate.h"
#include "net/http/WebRequestQueue.h"

#include <QCryptographicHash>

WebRequestPtr WebRequest::requestWithURL(const QString &urlPath, WebRequestDelegate *delegate)
{
    WebRequestPtr request(new WebRequest);
    request->m_urlPath = urlPath;
    request->addDelegate(delegate);
    return request;
}

QList<WebRequestDelegate *> WebRequest::delegates() const
{
    QList<WebRequestDelegate *> alive;
    for (const auto &[delegate, lifetime] : m_delegates) {
        if (!lifetime.expired())
            alive.append(delegate);
    }
    return alive;
}

void WebRequest::addDelegate(WebRequestDelegate *delegate)
{
    if (delegate && !delegates().contains(delegate))
        m_delegates.append({delegate, delegate->lifetime()});
}

void WebRequest::removeDelegate(WebRequestDelegate *delegate)
{
    m_delegates.removeIf([delegate](const auto &entry) { return entry.first == delegate; });
}

QString WebRequest::cacheKey()
{
    if (m_cacheKey.isEmpty()) {
        // Requests with a body are never shared, and this layer sends no form parameters, so
        // the address alone names every request.
        m_cacheKey = QString::fromLatin1(
            QCryptographicHash::hash(m_urlPath.toUtf8(), QCryptographicHash::Md5).toHex());
    }
    return m_cacheKey;
}

void WebRequest::setValueForHTTPHeaderField(const QByteArray &value, const QByteArray &field)
{
    m_headers.insert(field, value);
}

bool WebRequest::isSharedFetch() const
{
    const QString method = m_httpMethod.toUpper();
    return method != QLatin1String("POST") && method != QLatin1String("PUT");
}

bool WebRequest::send()
{
    // The queue keeps its own reference from here on.
    return WebRequestQueue::mainQueue().sendRequest(shared_from_this());
}

void WebRequest::cancel()
{
    WebRequestQueue::mainQueue().cancelRequest(this);
}

template<typename Call>
void WebRequest::forEachDelegate(Call call)
{
    // A delegate may add or remove delegates, or be destroyed, while it is called.
    const auto snapshot = m_delegates;
    for (const auto &[delegate, lifetime] : snapshot) {
        if (!lifetime.expired())
            call(delegate);
    }
}

void WebRequest::notifyStart()
{
    forEachDelegate([this](WebRequestDelegate *delegate) { delegate->requestDidStartLoad(this); });
}

void WebRequest::notifyFinish()
{
    forEachDelegate([this](WebRequestDelegate *delegate) { delegate->requestDidFinishLoad(this); });
}

void WebRequest::notifyFailure(const WebError &error)
{
    forEachDelegate([this, &error](WebRequestDelegate *delegate) {
        delegate->requestDidFailLoadWithError(this, error);
    });
}

void WebRequest::notifyCancel()
{
    forEachDelegate([this](WebRequestDelegate *delegate) { delegate->requestDidCancelLoad(this); });
}
