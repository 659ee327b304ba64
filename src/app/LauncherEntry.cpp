#include "app/LauncherEntry.h"

#include "AppInfo.h"
#include "mainwindow/MainWndController.h"

#include <QDBusConnection>
#include <QDBusMessage>

LauncherEntry::LauncherEntry(MainWndController &window)
{
    connect(&window, &MainWndController::runProgressChanged, this, &LauncherEntry::send);
}

QString LauncherEntry::appUri()
{
    return QStringLiteral("application://") + QLatin1String(AppInfo::kBundleIdentifier) +
           QStringLiteral(".desktop");
}

QVariantMap LauncherEntry::properties(double fraction, bool visible)
{
    return {{QStringLiteral("progress"), qBound(0.0, fraction, 1.0)},
            {QStringLiteral("progress-visible"), visible}};
}

void LauncherEntry::send(double fraction, bool visible)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QLatin1Char('/') + QString::fromLatin1(AppInfo::kBundleIdentifier)
                               .replace(QLatin1Char('.'), QLatin1Char('/')),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << appUri() << properties(fraction, visible);
    bus.send(update);
}
