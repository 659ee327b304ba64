#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

// The open panel of the preferences panes: a folder dialog shown window-modal on the pane's
// window, which hands the chosen folders to a callback when the user confirms (a cancelled
// dialog calls nothing). Panes keep it in a replaceable member, so tests can pick folders
// without a dialog.
// Thread: main thread.
namespace FolderPanel {

using Accepted = std::function<void(const QList<QUrl> &folders)>;
using Chooser = std::function<void(QWidget *window, bool multipleSelection, Accepted accepted)>;

// Shows the dialog and returns at once; `accepted` runs when the user confirms.
void chooseFolders(QWidget *window, bool multipleSelection, Accepted accepted);

} // namespace FolderPanel
