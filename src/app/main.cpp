#include "AppInfo.h"
#include "Shared/Logging.h"
#include "Shared/QuitWatchdog.h"
#include "app/AppDelegate.h"
#include "app/AppMenus.h"
#include "app/DesktopWorkspace.h"
#include "app/InstanceChannel.h"
#include "app/LauncherEntry.h"
#include "app/MacAppHelper.h"
#include "app/RunAnnouncer.h"
#include "app/WindowFront.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/Translations.h"
#include "net/gui/MessageBoxPresenter.h"
#include "net/store/AppRater.h"
#include "net/store/UpdateCheck.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

namespace {

void describeApplication()
{
    QApplication::setApplicationName(QLatin1String(AppInfo::kProductName));
    QApplication::setOrganizationName(QLatin1String(AppInfo::kMakerName));
    QApplication::setApplicationVersion(QLatin1String(AppInfo::kShortVersion));
    QApplication::setDesktopFileName(QLatin1String(AppInfo::kBundleIdentifier));
    QApplication::setWindowIcon(QIcon::fromTheme(QLatin1String(AppInfo::kBundleIdentifier),
                                                 QIcon(QStringLiteral(":/app/wavelark.svg"))));
}

// The files and folders named on the command line; Qt has taken its own options already.
QStringList pathArguments(const QStringList &arguments)
{
    QStringList paths;
    for (const QString &argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')) || QFileInfo::exists(argument))
            paths.append(argument);
    }
    return paths;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Logging::configure(Logging::LogLines::Written, false);
    describeApplication();
    const QStringList paths = pathArguments(QApplication::arguments());

    InstanceChannel instances;
    if (instances.handOverToRunningInstance(paths))
        return 0;

    Translations::install(app);
    DesktopWorkspace workspace;
    Workspace::setShared(&workspace);

    MainWndController window;
    MacAppHelper helper;
    helper.awakeFromNib();
    AppDelegate delegate;
    delegate.setWindow(&window);
    delegate.applicationDidFinishLaunching();
    AppMenus::install(window, delegate, helper);
    RunAnnouncer announcer(window);
    LauncherEntry launcher(window);

    MessageBoxPresenter prompts(&window);
    PromptPresenter::setShared(&prompts);
    AppRater::startWhenApplicationRuns();
    UpdateCheck::startWhenApplicationRuns();

    QObject::connect(&instances, &InstanceChannel::pathsReceived, &window,
                     [&window](const QStringList &handedOver) {
                         if (!handedOver.isEmpty())
                             window.importPaths(handedOver);
                         WindowFront::bringToFront(window);
                     });
    window.show();
    if (!paths.isEmpty())
        QTimer::singleShot(0, &window, [&window, paths] { window.importPaths(paths); });

    const int status = app.exec();
    // The window's workers are joined from here on; none of them may hold the quit up for good.
    QuitWatchdog::arm(status);
    PromptPresenter::setShared(nullptr);
    Workspace::setShared(nullptr);
    return status;
}
