#include "mainwindow/RunQuestions.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace {

// The window's texts keep the window's translation context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWndController)
};

// Room for the title bar's buttons around the title.
constexpr int kTitleMargin = 160;

// A message box is as wide as its texts; a plain window manager then cuts a longer title.
void makeRoomForTitle(QMessageBox *box)
{
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = metrics.horizontalAdvance(box->windowTitle()) + kTitleMargin;
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox *question(QWidget *window, const QString &title, const QString &text,
                      const QString &details)
{
    auto *box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, window);
    box->setInformativeText(details);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    makeRoomForTitle(box);
    return box;
}

void openAndAnswer(QMessageBox *box, QPushButton *yes, const std::function<void()> &confirmed)
{
    QObject::connect(box, &QMessageBox::finished, box, [box, yes, confirmed] {
        if (box->clickedButton() == yes)
            confirmed();
    });
    box->open();
}

} // namespace

namespace RunQuestions {

QMessageBox *askToStop(QWidget *window, const std::function<void()> &confirmed)
{
    QMessageBox *box =
        question(window, Texts::tr("Stop converting?"), Texts::tr("Stop converting?"),
                 Texts::tr("Files that are not finished are not kept."));
    box->setObjectName(QStringLiteral("stopQuestion"));
    QPushButton *stop = box->addButton(Texts::tr("Stop"), QMessageBox::DestructiveRole);
    QPushButton *goOn = box->addButton(Texts::tr("Continue"), QMessageBox::RejectRole);
    box->setDefaultButton(goOn);
    box->setEscapeButton(goOn);
    openAndAnswer(box, stop, confirmed);
    return box;
}

QMessageBox *askToStopAndQuit(QWidget *window, const std::function<void()> &confirmed)
{
    QMessageBox *box =
        question(window, Texts::tr("Stop converting and quit?"),
                 Texts::tr("Files are still being converted."),
                 Texts::tr("Unfinished files are not kept. Stop the conversions and quit?"));
    box->setObjectName(QStringLiteral("quitQuestion"));
    QPushButton *quit = box->addButton(Texts::tr("Stop and Quit"), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(quit);
    openAndAnswer(box, quit, confirmed);
    return box;
}

} // namespace RunQuestions
