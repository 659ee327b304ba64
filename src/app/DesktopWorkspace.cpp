#include "app/DesktopWorkspace.h"

#include "Shared/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

DesktopWorkspace::DesktopWorkspace(const QDBusConnection &bus)
    : m_bus(bus)
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{}

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return m_openUrl(url);
}

void DesktopWorkspace::selectFile(const QString &path)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    if (!m_bus.isConnected()) {
        qCInfo(lcApp) << "no session bus to show" << path;
        openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    // The reply may come after this workspace is gone: it carries its own opener.
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [opener = m_openUrl, watcher, path, folder] {
                         watcher->deleteLater();
                         if (!watcher->isError())
                             return;
                         qCInfo(lcApp) << "file manager refused to show" << path
                                       << watcher->error().message();
                         opener(folder);
                     });
}
