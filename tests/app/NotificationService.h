#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Stands in for the desktop's notification service on a private session bus: keeps the summary
// and body of every notification it is sent.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;
    QStringList bodies;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(appName)
        Q_UNUSED(replacesId)
        Q_UNUSED(icon)
        Q_UNUSED(actions)
        Q_UNUSED(hints)
        Q_UNUSED(timeout)
        summaries.append(summary);
        bodies.append(body);
        return uint(summaries.size());
    }
};
