#pragma once

#include "RecordingWorkspace.h"
#include "Shared/Workspace.h"
#include "TinyHttpServer.h"
#include "net/store/PromptPresenter.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QUrl>

#include <functional>

// The store lookup service's answer with one result.
inline QByteArray lookupAnswer(const QString &bundleId, const QString &version,
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

// `body` as the lookup service sends it; nothing of it may be cached, so each test sees its own
// answer.
inline TinyHttpServer::Reply storeReply(const QByteArray &body)
{
    TinyHttpServer::Reply reply;
    reply.body = body;
    reply.headers = {{"Content-Type", "text/javascript; charset=utf-8"},
                     {"Cache-Control", "no-store"}};
    return reply;
}

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
