#include "mainwindow/MissingOutputFolder.h"

#include "Shared/Logging.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

namespace {

// The window's texts keep the window's translation context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWndController)
};

void storeOutputFolder(const QString &folder)
{
    UserDefaults &store = UserDefaults::standard();
    store.setValue(PrefKeys::AppAudioOutputFolder, folder);
    store.synchronize();
}

} // namespace

namespace MissingOutputFolder {

void ask(QWidget *window, const QString &folder, const FolderPanel::Chooser &chooseFolder,
         const std::function<void()> &retry)
{
    // A stored folder on a disk that is not plugged in stays stored; the user decides. Something
    // else at its path (a file) is named as what it is: connecting a disk would not help.
    const bool somethingElse = QFileInfo(folder).exists();
    qCInfo(lcMainWindow) << "output folder missing:" << folder;
    auto *box = new QMessageBox(
        QMessageBox::Warning, Texts::tr("Output Folder Missing"),
        somethingElse ? Texts::tr("The output folder \"%1\" is a file, not a folder.").arg(folder)
                      : Texts::tr("The output folder \"%1\" does not exist.").arg(folder),
        QMessageBox::NoButton, window);
    box->setObjectName(QStringLiteral("missingOutputFolder"));
    box->setInformativeText(
        somethingElse
            ? Texts::tr("Choose another folder for the converted files.")
            : Texts::tr(
                  "It may be on a disk that is not connected. Create it, or choose another one."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton *create = nullptr;
    if (!somethingElse)
        create = box->addButton(Texts::tr("Create Folder"), QMessageBox::AcceptRole);
    QPushButton *choose = box->addButton(Texts::tr("Choose Another..."), QMessageBox::ActionRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(create ? create : choose);
    QPointer<QWidget> owner(window);
    QObject::connect(box, &QMessageBox::finished, box, [=] {
        if (create && box->clickedButton() == create) {
            if (QDir().mkpath(folder))
                retry();
            else
                qCWarning(lcMainWindow) << "cannot create the output folder" << folder;
        } else if (box->clickedButton() == choose && owner) {
            chooseFolder(owner, false, [owner, retry](const QList<QUrl> &folders) {
                if (!owner || folders.isEmpty())
                    return;
                storeOutputFolder(folders.first().toLocalFile());
                retry();
            });
        }
    });
    box->open();
}

} // namespace MissingOutputFolder
