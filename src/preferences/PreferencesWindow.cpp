#include "preferences/PreferencesWindow.h"

#include "preferences/CustomSettingViewCtl.h"
#include "preferences/PrefsWindowController.h"
#include "preferences/TrustedPathsPane.h"

#include <QCoreApplication>
#include <QPointer>

#include <memory>

namespace {

struct Panes
{
    std::unique_ptr<CustomSettingViewCtl> settings;
    std::unique_ptr<TrustedPathsPane> trusted;
    std::unique_ptr<PrefsWindowController> controller;

    ~Panes()
    {
        // The window goes first: it shows one of the panes' views.
        controller.reset();
    }
};

Panes *g_panes = nullptr;

} // namespace

PrefsWindowController *PreferencesWindow::shared()
{
    if (!g_panes) {
        g_panes = new Panes;
        g_panes->settings = std::make_unique<CustomSettingViewCtl>();
        g_panes->trusted = std::make_unique<TrustedPathsPane>();
        g_panes->controller = std::make_unique<PrefsWindowController>(
            QList<PrefsViewController *>{g_panes->settings.get(), g_panes->trusted.get()});
        // Loading the window now applies the remembered pane and position before it is shown.
        g_panes->controller->window();
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
            delete g_panes;
            g_panes = nullptr;
        });
    }
    return g_panes->controller.get();
}

void PreferencesWindow::show()
{
    shared()->showWindow();
}
