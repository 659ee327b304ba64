#include "app/AppDelegate.h"

#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "model/MVMediaInfo.h"
#include "preferences/CustomSettingViewCtl.h"
#include "preferences/PrefsWindowController.h"
#include "preferences/TrustedPathsPane.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{}

AppDelegate::~AppDelegate()
{
    // The window shows one of the panes' views: it goes first.
    m_preferWndCtl.reset();
}

void AppDelegate::applicationDidFinishLaunching()
{
    FFMpegInit();
    if (!m_preferWndCtl)
        buildPreferencesWindow();
    m_preferWndCtl->window();
}

void AppDelegate::buildPreferencesWindow()
{
    m_trustedPane = std::make_unique<TrustedPathsPane>();
    m_settingsPane = std::make_unique<CustomSettingViewCtl>();
    if (auto *main = qobject_cast<MainWndController *>(m_window.data())) {
        const QPointer<MainWndController> window(main);
        m_settingsPane->setWaitingItems(
            [window] { return window ? window->waitingItems() : QList<LSMediaPtr>(); },
            [window] {
                if (window)
                    window->listModel()->refreshAll();
            });
        m_settingsPane->setExampleItem([window] {
            return window && !window->items().isEmpty() ? window->items().first() : LSMediaPtr();
        });
    }
    const QList<PrefsViewController *> panes{m_settingsPane.get(), m_trustedPane.get()};
    m_preferWndCtl = std::make_unique<PrefsWindowController>(
        panes, QCoreApplication::translate("AppDelegate", "Preferences"));
    // Selecting the trusted folders pane loads the window and that pane's view, which regains
    // the stored folders; selecting the settings pane afterwards leaves it in front.
    if (m_preferWndCtl->selectedViewController() != m_trustedPane.get()) {
        m_preferWndCtl->selectControllerAtIndex(1);
        m_preferWndCtl->selectControllerAtIndex(0);
    }
}

void AppDelegate::preferenceDown()
{
    if (!m_preferWndCtl)
        buildPreferencesWindow();
    m_preferWndCtl->showWindow();
}

void AppDelegate::setWindow(QWidget *window)
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (m_window)
        m_window->installEventFilter(this);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // During a run the window asks first whether to stop and quit, and quits itself.
    const auto *mainWindow = qobject_cast<MainWndController *>(m_window.data());
    const bool asks = mainWindow && mainWindow->isConverting();
    if (watched == m_window && event->type() == QEvent::Close && !asks &&
        applicationShouldTerminateAfterLastWindowClosed()) {
        // Let the window close first, then end the application even if the preferences or
        // the products window are still open.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
