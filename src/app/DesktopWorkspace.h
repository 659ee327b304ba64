#pragma once

#include "Shared/Workspace.h"

#include <QDBusConnection>

#include <functional>

// The desktop's own open services: addresses through QDesktopServices, revealing a file through
// the file manager's D-Bus interface (org.freedesktop.FileManager1.ShowItems).
//
// The call is sent without waiting and without asking first whether a file manager runs: the bus
// starts an installed one that is idle (D-Bus activation), however long that takes, and the
// window never blocks on it. An error reply (no file manager installed, a refusal, no answer in
// time) opens the file's folder instead.
// Thread: main thread; the reply arrives there.
class DesktopWorkspace final : public Workspace
{
public:
    using FolderOpener = std::function<bool(const QUrl &)>;

    // `bus` carries the file manager's calls (the session bus unless a test gives a private one).
    explicit DesktopWorkspace(const QDBusConnection &bus = QDBusConnection::sessionBus());

    bool openUrl(const QUrl &url) override;
    void selectFile(const QString &path) override;

    // What opens a folder or address (QDesktopServices::openUrl unless replaced by a test).
    void setFolderOpener(FolderOpener opener) { m_openUrl = std::move(opener); }

private:
    QDBusConnection m_bus;
    FolderOpener m_openUrl;
};
