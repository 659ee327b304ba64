#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests: answers each GET by its path (query aside)
// with a canned reply, closes the connection after it, and counts what it received. A held reply
// is answered only when the test releases it, so a fetch can be kept in flight.
class TinyHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        bool declareLength = true;
        bool hold = false;
    };

    explicit TinyHttpServer(QObject *parent = nullptr);
    ~TinyHttpServer() override;

    bool listen();
    QString baseUrl() const;
    QString url(const QString &path) const { return baseUrl() + path; }

    void route(const QString &path, const Reply &reply) { m_routes.insert(path, reply); }
    void route(const QString &path, const QByteArray &body, int status = 200);
    // The answer for every path without a route of its own (404 until set).
    void setFallback(const Reply &reply) { m_fallback = reply; }

    int requestCount(const QString &path) const { return m_counts.value(path); }
    int totalRequests() const { return int(m_targets.size()); }
    QStringList requestTargets() const { return m_targets; }
    void clearRequests();

    int heldCount() const { return int(m_held.size()); }
    // Answers up to `count` held requests, oldest first (-1: all of them).
    void releaseHeld(int count = -1);

signals:
    void requestReceived(const QString &target);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Reply &reply);

    QTcpServer m_server;
    QHash<QString, Reply> m_routes;
    Reply m_fallback{404, "not found", {}, true, false};
    QHash<QString, int> m_counts;
    QStringList m_targets;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QPair<QPointer<QTcpSocket>, Reply>> m_held;
};
