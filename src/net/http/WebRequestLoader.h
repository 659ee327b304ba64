#pragma once

#include "net/http/WebRequest.h"
#include "net/http/WebResponse.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QNetworkReply;
class WebRequestQueue;

// One network fetch, shared by every request for the same address. Owned by the queue.
// Thread: main thread.
class WebRequestLoader : public QObject
{
    Q_OBJECT

public:
    WebRequestLoader(const WebRequestPtr &firstRequest, WebRequestQueue *queue);
    ~WebRequestLoader() override;

    QString urlPath() const { return m_urlPath; }
    QString cacheKey() const { return m_cacheKey; }
    int cachePolicy() const { return m_cachePolicy; }
    QList<WebRequestPtr> requests() const { return m_requests; }
    void addRequest(const WebRequestPtr &request);
    void removeRequest(WebRequest *request);
    QList<WebRequestPtr> takeRequests();

    void load();
    // Drops the connection without telling anyone.
    void cancel();
    bool isConnected() const { return !m_reply.isNull(); }

private:
    void connectReply();
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    bool exceedsLimit(qint64 length) const;

    QString m_urlPath;
    WebRequestQueue *m_queue; // not owned
    QString m_cacheKey;
    int m_cachePolicy;
    double m_cacheExpirationAge;
    QList<WebRequestPtr> m_requests;
    int m_retriesLeft = 2;
    QPointer<QNetworkReply> m_reply;
    WebHttpResponse m_response;
    QByteArray m_body;
};
