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

QString runSummary(const RunTally::Counts &counts)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("DesktopNotifier", text);
    };
    const bool onlyUpToDate =
        counts.upToDate > 0 && counts.converted == 0 && counts.failed == 0 && counts.stopped == 0;
    if (onlyUpToDate) {
        if (counts.upToDate == 1)
            return tr("Nothing converted: the file is up to date.");
        return tr("Nothing converted: all %1 files are up to date.").arg(counts.upToDate);
    }
    QString text = counts.converted == 1 ? tr("1 file converted")
                                         : tr("%1 files converted").arg(counts.converted);
    if (counts.failed > 0)
        text = tr("%1, %2 failed").arg(text).arg(counts.failed);
    if (counts.stopped > 0)
        text = tr("%1, %2 stopped").arg(text).arg(counts.stopped);
    if (counts.upToDate > 0)
        text = tr("%1, %2 up to date").arg(text).arg(counts.upToDate);
    QStringList notes;
    if (counts.warned > 0)
        notes << tr("%1 with a warning").arg(counts.warned);
    if (counts.playlistFailed > 0)
        notes << tr("%1 not added to the playlist").arg(counts.playlistFailed);
    if (!notes.isEmpty())
        text += QStringLiteral(" (") + notes.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text + QLatin1Char('.');
}

} // namespace DesktopNotifier
