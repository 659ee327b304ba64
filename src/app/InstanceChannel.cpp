#include "app/InstanceChannel.h"

#include "AppInfo.h"
#include "Shared/Logging.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 3000;
// A later start never sends more than this; anything larger is not ours.
constexpr qint64 kMaxMessageBytes = 16 * 1024 * 1024;

QStringList absolutePaths(const QStringList &paths)
{
    QStringList absolute;
    for (const QString &path : paths)
        absolute.append(QFileInfo(path).absoluteFilePath());
    return absolute;
}

} // namespace

InstanceChannel::InstanceChannel(QObject *parent)
    : QObject(parent)
{}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::defaultSocketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QLatin1Char('/') + QLatin1String(AppInfo::kBundleIdentifier) +
           QStringLiteral(".socket");
}

bool InstanceChannel::handOverToRunningInstance(const QStringList &paths, const QString &socketPath)
{
    if (sendTo(socketPath, absolutePaths(paths)))
        return true;
    listenOn(socketPath);
    return false;
}

bool InstanceChannel::isListening() const
{
    return m_server && m_server->isListening();
}

bool InstanceChannel::sendTo(const QString &socketPath, const QStringList &paths)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << paths;
    QDataStream framed(&socket);
    framed << qint64(message.size());
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kWriteTimeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    return true;
}

bool InstanceChannel::listenOn(const QString &socketPath)
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    }
    // Nobody answered on the socket, so a file left there is from an instance that ended.
    QLocalServer::removeServer(socketPath);
    if (!m_server->listen(socketPath)) {
        qCWarning(lcApp) << "cannot listen for later starts:" << m_server->errorString();
        return false;
    }
    return true;
}

void InstanceChannel::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            qint64 size = 0;
            in >> size;
            if (size < 0 || size > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            if (socket->bytesAvailable() < size) {
                in.rollbackTransaction();
                return;
            }
            const QByteArray message = socket->read(size);
            in.commitTransaction();
            QDataStream body(message);
            QStringList paths;
            body >> paths;
            if (body.status() == QDataStream::Ok && !paths.isEmpty())
                emit pathsReceived(paths);
        });
    }
}
