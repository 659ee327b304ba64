#include "app/LauncherEntry.h"

#include "mainwindow/MainWndController.h"

#include <QDBusConnection>
#include <QDBusMessage>

LauncherEntry::LauncherEntry(MainWndController &window)
    : QObject(&window)
{
    connect(&window, &MainWndController::runProgressChanged, this, &LauncherEntry::send);
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
        QStringLiteral("/com/morvane/wavelark"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    update << QString::fromLatin1(kAppUri) << properties(fraction, visible);
    bus.send(update);
}
