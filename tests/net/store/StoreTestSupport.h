#pragma once

#include "RecordingWorkspace.h"
#include "Shared/Workspace.h"
#include "net/store/PromptPresenter.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>

// Stands in for the store's lookup service on 127.0.0.1: answers every GET with `body` and keeps
// the request lines. Nothing it sends may be cached, so each test sees its own answer.
class StoreTestServer : public QTcpServer
{
public:
    QByteArray body;
    QStringList requestTargets;

    StoreTestServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    bool start() { return listen(QHostAddress::LocalHost); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

    // An answer of the lookup service with one result.
    static QByteArray lookupAnswer(const QString &bundleId, const QString &version,
                                   const QString &releaseNotesMember = QString())
    {
        QString json =
            QStringLiteral("{\n \"resultCount\":1,\n \"results\": [\n{\"kind\":\"mac-software\", "
                           "\"trackId\":4711, \"primaryGenreId\":12001, ");
        if (!releaseNotesMember.isNull())
            json += QStringLiteral("\"releaseNotes\":%1, ").arg(releaseNotesMember);
        json += QStringLiteral("\"bundleId\":\"%1\", \"version\":\"%2\", \"price\":0.00}]\n}\n")
                    .arg(bundleId, version);
        return json.toUtf8();
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        requestTargets.append(QString::fromUtf8(requestLine.value(1)));
        m_pending.remove(socket);
        QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: text/javascript; charset=utf-8\r\n"
                            "Cache-Control: no-store\r\nConnection: close\r\nContent-Length: ";
        answer += QByteArray::number(body.size()) + "\r\n\r\n" + body;
        socket->write(answer);
        socket->disconnectFromHost();
    }

    QHash<QTcpSocket *, QByteArray> m_pending;
};

// Keeps the sheets the core asks for and lets the test choose their buttons.
class RecordingPresenter : public PromptPresenter
{
public:
    bool windowAvailable = true;
    QList<PromptSheet> sheets;
    QList<std::function<void(int)>> pending;

    bool mainWindowAvailable() override { return windowAvailable; }
    void showSheet(const PromptSheet &sheet, std::function<void(int)> done) override
    {
        sheets.append(sheet);
        pending.append(std::move(done));
    }
    // Ends the oldest sheet still open with `returnCode`.
    void answer(int returnCode)
    {
        if (!pending.isEmpty())
            pending.takeFirst()(returnCode);
    }
};

// Collects this process's log lines (any thread) while it lives.
class LogRecorder
{
public:
    LogRecorder()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogRecorder::handler);
    }
    ~LogRecorder()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList lines() const
    {
        QMutexLocker locker(&m_lock);
        return m_lines;
    }
    bool contains(const QString &text) const
    {
        for (const QString &line : lines()) {
            if (line.contains(text))
                return true;
        }
        return false;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (LogRecorder *recorder = s_current) {
            QMutexLocker locker(&recorder->m_lock);
            recorder->m_lines.append(message);
        }
        if (s_current && s_current->m_previous)
            s_current->m_previous(type, context, message);
    }

    static inline LogRecorder *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_lock;
    QStringList m_lines;
};
