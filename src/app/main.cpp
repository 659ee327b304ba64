#include "app/DesktopWorkspace.h"

#include "AppInfo.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/Translations.h"
#include "model/MVMediaInfo.h"
#include "preferences/PreferencesWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(AppInfo::kProductName));
    QApplication::setOrganizationName(QLatin1String(AppInfo::kMakerName));
    QApplication::setApplicationVersion(QLatin1String(AppInfo::kShortVersion));
    Translations::install(app);

    DesktopWorkspace workspace;
    Workspace::setShared(&workspace);
    FFMpegInit();

    MainWndController window;
    // After the main window has registered the defaults the settings pane shows. Its trusted
    // folders pane regains the stored folders before anything is converted.
    PreferencesWindow::shared();
    QMenu *appMenu = window.menuBar()->addMenu(QLatin1String(AppInfo::kProductName));
    QAction *preferences = appMenu->addAction(QApplication::translate("main", "Preferences..."),
                                              &PreferencesWindow::show);
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcuts({QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma)});
    window.show();
    const int status = app.exec();
    Workspace::setShared(nullptr);
    return status;
}
