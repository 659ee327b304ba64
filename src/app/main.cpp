#include "app/DesktopWorkspace.h"

#include "AppInfo.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(AppInfo::kProductName));
    QApplication::setOrganizationName(QLatin1String(AppInfo::kMakerName));
    QApplication::setApplicationVersion(QLatin1String(AppInfo::kShortVersion));

    DesktopWorkspace workspace;
    Workspace::setShared(&workspace);

    QMainWindow window;
    window.setWindowTitle(QLatin1String(AppInfo::kProductName));
    window.resize(720, 480);
    window.show();
    const int status = app.exec();
    Workspace::setShared(nullptr);
    return status;
}
