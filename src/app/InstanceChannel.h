#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// Keeps Wavelark to one window per user session: the first start listens on a local socket in
// the runtime folder; a later start hands its command-line paths to it and ends.
// Thread: main thread.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    explicit InstanceChannel(QObject *parent = nullptr);
    ~InstanceChannel() override;

    // The socket of the session: $XDG_RUNTIME_DIR/com.morvane.wavelark.socket.
    static QString defaultSocketPath();

    // Hands `paths` to a running instance and answers true when one took them; otherwise
    // starts listening (this process becomes the running instance) and answers false.
    bool handOverToRunningInstance(const QStringList &paths,
                                   const QString &socketPath = defaultSocketPath());

    bool isListening() const;

signals:
    // Paths that a later start handed over, already absolute.
    void pathsReceived(const QStringList &paths);

private:
    bool sendTo(const QString &socketPath, const QStringList &paths);
    bool listenOn(const QString &socketPath);
    void acceptConnections();

    QLocalServer *m_server = nullptr;
};
