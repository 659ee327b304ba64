#include "app/DesktopWorkspace.h"

#include "AppInfo.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/Translations.h"
#include "model/MVMediaInfo.h"
#include "preferences/MVTrustedPathViewCtl.h"

#include <QApplication>

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

    // The trusted folder list regains the stored folders before anything is converted.
    MVTrustedPathViewCtl trustedFolders;
    trustedFolders.restoreBookmarks();

    MainWndController window;
    window.show();
    const int status = app.exec();
    Workspace::setShared(nullptr);
    return status;
}
