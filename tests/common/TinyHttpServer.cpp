#include "TinyHttpServer.h"

#include <QTcpSocket>

TinyHttpServer::TinyHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TinyHttpServer::onNewConnection);
}

TinyHttpServer::~TinyHttpServer()
{
    // Connections still open close while the server goes away: they must not reach the
    // bookkeeping that is already gone.
    for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
        socket->disconnect(this);
    for (QTcpSocket *socket : findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

bool TinyHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QString TinyHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void TinyHttpServer::route(const QString &path, const QByteArray &body, int status)
{
    Reply reply;
    reply.body = body;
    reply.status = status;
    route(path, reply);
}

void TinyHttpServer::clearRequests()
{
    m_targets.clear();
    m_counts.clear();
}

void TinyHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void TinyHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    buffer.clear();
    const QString target = QString::fromLatin1(requestLine.value(1));
    const QString path = target.section(QLatin1Char('?'), 0, 0);
    m_targets.append(target);
    m_counts[path] += 1;

    const Reply reply = m_routes.value(path, m_fallback);
    if (reply.hold)
        m_held.append({QPointer<QTcpSocket>(socket), reply});
    else
        respond(socket, reply);
    emit requestReceived(target);
}

void TinyHttpServer::respond(QTcpSocket *socket, const Reply &reply)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Canned\r\n";
    if (reply.declareLength)
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    for (const auto &[name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + reply.body);
    socket->disconnectFromHost();
}

void TinyHttpServer::releaseHeld(int count)
{
    while (!m_held.isEmpty() && count != 0) {
        const auto [socket, reply] = m_held.takeFirst();
        if (socket)
            respond(socket, reply);
        --count;
    }
}
