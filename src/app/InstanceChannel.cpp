#include "app/InstanceChannel.h"

#include "AppInfo.h"
#include "Shared/Logging.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 1000;
constexpr int kWriteTimeoutMs = 3000;
// A later start never sends more than this; anything larger is not ours.
constexpr qint64 kMaxMessageBytes = 4 * 1024 * 1024;
const QByteArray kAcknowledgement("ok\n");

QStringList absolutePaths(const QStringList &paths)
{
    QStringList absolute;
    for (const QString &path : paths)
        absolute.append(QFileInfo(path).absoluteFilePath());
    return absolute;
}

// True when the other end has closed the connection: nothing more to read, and the end of the
// stream already there.
bool peerHasClosed(QLocalSocket *socket)
{
    char byte = 0;
    const qintptr fd = socket->socketDescriptor();
    return fd >= 0 && ::recv(int(fd), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

} // namespace

InstanceChannel::InstanceChannel(QObject *parent)
    : QObject(parent)
{}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::privateFolder(const QString &path, bool create)
{
    if (path.isEmpty())
        return {};
    const QByteArray native = QFile::encodeName(path);
    if (create && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // lstat: a link there could lead anywhere, whoever owns the link.
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 07777) != 0700) {
        qCWarning(lcApp).noquote()
            << QStringLiteral("%1 is not a folder of this user with mode 0700").arg(path);
        return {};
    }
    return path;
}

QString InstanceChannel::defaultSocketPath()
{
    QString folder = privateFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), false);
    if (folder.isEmpty()) {
        const struct passwd *user = ::getpwuid(::getuid());
        const QString name = user ? QFile::decodeName(user->pw_name) : QString::number(::getuid());
        folder = privateFolder(QDir::tempPath() + QStringLiteral("/runtime-") + name, true);
    }
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + QLatin1String(AppInfo::kBundleIdentifier) +
           QStringLiteral(".socket");
}

bool InstanceChannel::handOverToRunningInstance(const QStringList &paths, const QString &socketPath)
{
    if (socketPath.isEmpty()) {
        // A socket anyone can create first would hand the paths to a stranger.
        qCWarning(lcApp) << "no private runtime folder: this window runs on its own and later "
                            "starts open windows of their own";
        return false;
    }
    if (sendTo(socketPath, absolutePaths(paths)))
        return true;
    listenOn(socketPath);
    return false;
}

bool InstanceChannel::isListening() const
{
    return m_server && m_server->isListening();
}

int InstanceChannel::openConnectionCount() const
{
    return int(m_connections.size());
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
    // Only an instance that has raised its window answers; one that hangs (stuck at quit, say)
    // would swallow every later start, so without an answer this start carries on by itself.
    QDeadlineTimer deadline(kAcknowledgementTimeoutMs);
    while (socket.bytesAvailable() < kAcknowledgement.size()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            qCWarning(lcApp) << "the running instance did not answer; starting on our own";
            return false;
        }
    }
    const bool acknowledged = socket.read(kAcknowledgement.size()) == kAcknowledgement;
    socket.disconnectFromServer();
    return acknowledged;
}

bool InstanceChannel::listenOn(const QString &socketPath)
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    }
    // Nobody answered on the socket, so a file left there is from an instance that ended or
    // hangs; the socket is ours from now on.
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
        if (m_connections.size() >= kMaxOpenConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.insert(socket);
        // The frame's header and the largest message, no more, wait in memory.
        socket->setReadBufferSize(qint64(sizeof(qint64)) + kMaxMessageBytes);
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        // A whole message comes at once; one that stalls or trickles is dropped.
        QTimer::singleShot(kMessageTimeoutMs, socket, [this, socket] { drop(socket); });
    }
}

void InstanceChannel::readFrom(QLocalSocket *socket)
{
    if (!m_connections.contains(socket))
        return;
    QDataStream in(socket);
    in.startTransaction();
    qint64 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok) {
        in.rollbackTransaction();
        return;
    }
    if (size < 0 || size > kMaxMessageBytes) {
        drop(socket);
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
    if (body.status() != QDataStream::Ok) {
        drop(socket);
        return;
    }
    // A later start that gave up waiting has started on its own meanwhile.
    if (socket->state() != QLocalSocket::ConnectedState || peerHasClosed(socket)) {
        drop(socket);
        return;
    }
    // Receivers raise the window before this returns; then the later start may end.
    emit pathsReceived(paths);
    socket->write(kAcknowledgement);
    socket->flush();
}

void InstanceChannel::drop(QLocalSocket *socket)
{
    if (!m_connections.remove(socket))
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
