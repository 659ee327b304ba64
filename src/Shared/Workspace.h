#pragma once

#include <QString>
#include <QUrl>

// The desktop's "open" services: open an address (folder, web page, mail message, store page)
// and reveal a file in the file manager. The core calls them only through this seam; the GUI
// installs the desktop implementation at start and tests install a recorder.
// Thread: main thread.
class Workspace
{
public:
    virtual ~Workspace() = default;

    virtual bool openUrl(const QUrl &url) = 0;
    // Shows the file in the file manager with the file selected.
    virtual void selectFile(const QString &path) = 0;

    // The installed workspace; one that only logs until the GUI installs the desktop's.
    static Workspace &shared();
    // Installs `workspace` (not owned; it must outlive its use). Null restores the logging one.
    static void setShared(Workspace *workspace);
};
