#pragma once

#include "Shared/Workspace.h"

// The desktop's own open services: addresses through QDesktopServices, revealing a file through
// the file manager's D-Bus interface (org.freedesktop.FileManager1), or its folder when no file
// manager answers.
// Thread: main thread.
class DesktopWorkspace final : public Workspace
{
public:
    bool openUrl(const QUrl &url) override;
    void selectFile(const QString &path) override;
};
