#include "preferences/FolderPanel.h"

#include "Shared/GlobalFun.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QStandardPaths>

void FolderPanel::chooseFolders(QWidget *window, bool multipleSelection, Accepted accepted)
{
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setDirectory(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    QStringList patterns;
    for (const QString &extension : GlobalFun::getSupportedFmts())
        patterns.append(QStringLiteral("*.") + extension);
    dialog->setNameFilter(patterns.join(QLatin1Char(' ')));
    // The desktop's own folder dialogs pick one folder only; Qt's own can pick several.
    if (multipleSelection)
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    QObject::connect(dialog, &QFileDialog::accepted, dialog, [dialog, accepted] {
        const QList<QUrl> folders = dialog->selectedUrls();
        if (!folders.isEmpty() && accepted)
            accepted(folders);
    });
    dialog->open();
    if (multipleSelection) {
        for (auto *view : dialog->findChildren<QAbstractItemView *>())
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
}
