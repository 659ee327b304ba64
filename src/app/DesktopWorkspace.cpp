#include "app/DesktopWorkspace.h"

#include "Shared/Logging.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QFileInfo>

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void DesktopWorkspace::selectFile(const QString &path)
{
    QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"),
                               QDBusConnection::sessionBus());
    if (fileManager.isValid()) {
        const QDBusMessage reply =
            fileManager.call(QStringLiteral("ShowItems"),
                             QStringList{QUrl::fromLocalFile(path).toString()}, QString());
        if (reply.type() != QDBusMessage::ErrorMessage)
            return;
        qCInfo(lcApp) << "file manager refused to show" << path << reply.errorMessage();
    }
    openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
