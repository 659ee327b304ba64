#include "app/AppMenus.h"

#include "AppInfo.h"
#include "app/AppDelegate.h"
#include "app/MacAppHelper.h"
#include "mainwindow/MainWndController.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

namespace AppMenus {
namespace {

// The menus' texts, in the translation context "AppMenus".
struct MenuTexts
{
    Q_DECLARE_TR_FUNCTIONS(AppMenus)
};

void showAbout(MainWndController &window)
{
    auto *about = new QMessageBox(
        QMessageBox::NoIcon, MenuTexts::tr("About %1").arg(QLatin1String(AppInfo::kProductName)),
        QStringLiteral("<b>%1 %2</b>")
            .arg(QLatin1String(AppInfo::kProductName), QLatin1String(AppInfo::kShortVersion)),
        QMessageBox::Ok, &window);
    about->setInformativeText(MenuTexts::tr("Converts FLAC and Ogg audio to MP3 or AAC.\n© %1")
                                  .arg(QLatin1String(AppInfo::kMakerName)));
    about->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    // A message box is as narrow as its text; the title bar needs room for the title too.
    if (auto *grid = qobject_cast<QGridLayout *>(about->layout())) {
        const int titleWidth = about->fontMetrics().horizontalAdvance(about->windowTitle()) + 160;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    about->setWindowModality(Qt::WindowModal);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void addApplicationMenu(MainWndController &window, AppDelegate &delegate)
{
    QMenu *menu = window.menuBar()->addMenu(QLatin1String(AppInfo::kProductName));
    QObject::connect(window.aboutMenu(), &QAction::triggered, &window,
                     [&window] { showAbout(window); });
    window.aboutMenu()->setMenuRole(QAction::AboutRole);
    menu->addAction(window.aboutMenu());
    menu->addSeparator();
    QAction *preferences =
        menu->addAction(MenuTexts::tr("Preferences..."), &delegate, &AppDelegate::preferenceDown);
    preferences->setMenuRole(QAction::PreferencesRole);
    preferences->setShortcuts({QKeySequence::Preferences, QKeySequence(Qt::CTRL | Qt::Key_Comma)});
    menu->addSeparator();
    window.hideMenu()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    menu->addAction(window.hideMenu());
    window.quitMenu()->setShortcut(QKeySequence::Quit);
    window.quitMenu()->setMenuRole(QAction::QuitRole);
    menu->addAction(window.quitMenu());
}

void addFileMenu(MainWndController &window)
{
    QMenu *menu = window.menuBar()->addMenu(MenuTexts::tr("&File"));
    window.importAction()->setShortcut(QKeySequence::Open);
    menu->addAction(window.importAction());
    menu->addAction(window.startAction());
    menu->addAction(window.pauseAction());
    menu->addAction(window.stopAction());
    menu->addSeparator();
    menu->addAction(window.revealAction());
    menu->addAction(window.deleteAction());
    menu->addAction(window.clearAction());
}

void addHelpMenu(MainWndController &window, MacAppHelper &helper)
{
    QMenu *menu = window.menuBar()->addMenu(MenuTexts::tr("&Help"));
    QObject::connect(window.helpMenu(), &QAction::triggered, &helper, &MacAppHelper::websiteDown);
    menu->addAction(window.helpMenu());
    menu->addSeparator();
    menu->addAction(MenuTexts::tr("Send Feedback..."), &helper, &MacAppHelper::feedbackDown);
    menu->addAction(MenuTexts::tr("More Products..."), &helper, &MacAppHelper::moreProductsDown);
    menu->addAction(MenuTexts::tr("Rate %1...").arg(QLatin1String(AppInfo::kProductName)), &helper,
                    &MacAppHelper::rateDown);
    menu->addAction(MenuTexts::tr("%1 Website").arg(QLatin1String(AppInfo::kProductName)), &helper,
                    &MacAppHelper::websiteDown);
}

} // namespace

void install(MainWndController &window, AppDelegate &delegate, MacAppHelper &helper)
{
    addApplicationMenu(window, delegate);
    addFileMenu(window);
    addHelpMenu(window, helper);
}

} // namespace AppMenus
