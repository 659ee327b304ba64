#pragma once

#include "Shared/Workspace.h"

#include <QList>
#include <QStringList>
#include <QUrl>

// Records the desktop "open" calls instead of starting a file manager, a browser or a mail
// program.
class RecordingWorkspace final : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    void selectFile(const QString &path) override { selected.append(path); }

    QList<QUrl> opened;
    QStringList selected;
};
