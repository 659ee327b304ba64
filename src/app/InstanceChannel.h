#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps Wavelark to one window per user session: the first start listens on a local socket in
// the runtime folder; a later start hands its command-line paths to it and ends once the running
// instance has answered (after raising its window). Without an answer within a few seconds the
// later start takes the socket over and starts normally, so a hung instance never swallows
// every start. The listener bounds what it holds: a few open connections, each with at most one
// message of a few MiB that must arrive within a few seconds.
// Thread: main thread.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    explicit InstanceChannel(QObject *parent = nullptr);
    ~InstanceChannel() override;

    // The socket of the session: com.morvane.wavelark.socket in $XDG_RUNTIME_DIR, else in
    // "runtime-<user>" of the temporary folder (made when missing); only in a folder that is this
    // user's own with mode 0700, never a link, since anyone who can create the socket first
    // receives the paths of later starts. Empty when there is no such folder.
    static QString defaultSocketPath();
    // `path` when it is a folder (not a link) of this user with mode 0700, made so first when
    // `create` and it is missing; else empty, with a warning.
    static QString privateFolder(const QString &path, bool create);

    // Hands `paths` to a running instance and answers true when one took them; otherwise
    // starts listening (this process becomes the running instance) and answers false. With an
    // empty `socketPath` (no private folder) it neither sends nor listens: this window runs on its
    // own.
    bool handOverToRunningInstance(const QStringList &paths,
                                   const QString &socketPath = defaultSocketPath());

    bool isListening() const;
    // Connections of later starts still being read.
    int openConnectionCount() const;

    static constexpr int kAcknowledgementTimeoutMs = 5000;
    static constexpr int kMessageTimeoutMs = 5000;
    static constexpr int kMaxOpenConnections = 8;

signals:
    // Paths that a later start handed over, already absolute; empty when it had none. Receivers
    // show and raise the window; the later start is answered when they return.
    void pathsReceived(const QStringList &paths);

private:
    bool sendTo(const QString &socketPath, const QStringList &paths);
    bool listenOn(const QString &socketPath);
    void acceptConnections();
    void readFrom(QLocalSocket *socket);
    void drop(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
    QSet<QLocalSocket *> m_connections;
};
