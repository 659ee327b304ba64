#include "app/DesktopNotifier.h"

#include "AppInfo.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace DesktopNotifier {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
}

bool notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                       kService, QStringLiteral("Notify"));
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QLatin1String(AppInfo::kBundleIdentifier)}};
    call << QLatin1String(AppInfo::kProductName) << uint(0)
         << QLatin1String(AppInfo::kBundleIdentifier) << summary << body << QStringList() << hints
         << qint32(-1);
    return bus.send(call);
}

QString runSummary(int finished, int failed)
{
    const QString done =
        finished == 1
            ? QCoreApplication::translate("DesktopNotifier", "1 file converted")
            : QCoreApplication::translate("DesktopNotifier", "%1 files converted").arg(finished);
    if (failed == 0)
        return done + QLatin1Char('.');
    return QCoreApplication::translate("DesktopNotifier", "%1, %2 failed.").arg(done).arg(failed);
}

} // namespace DesktopNotifier
