#include "mainwindow/MainWindowActions.h"

#include "mainwindow/BottomBar.h"
#include "mainwindow/SegmentedControl.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>

MainWindowActions::MainWindowActions(QWidget *window, BottomBar *bar)
    : QObject(window)
    , m_bar(bar)
{
    m_about = new QAction(window);
    m_hide = new QAction(window);
    connect(m_hide, &QAction::triggered, window, &QWidget::showMinimized);
    m_quit = new QAction(window);
    m_help = new QAction(window);
    m_import = new QAction(tr("Import..."), window);
    m_import->setShortcut(QKeySequence::Open);
    m_start = new QAction(tr("Start Converting"), window);
    m_start->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_delete = new QAction(tr("Delete"), window);
    m_clear = new QAction(tr("Clear"), window);
    m_reveal = new QAction(tr("Reveal in Folder"), window);
    m_stop = new QAction(tr("Stop Converting"), window);
    m_escape = new QAction(tr("Stop Converting..."), window);
    m_escape->setShortcut(QKeySequence(Qt::Key_Escape));
    m_pause = new QAction(tr("Pause Converting"), window);
    m_pause->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    window->addActions({m_import, m_start, m_delete, m_clear, m_reveal, m_stop, m_escape, m_pause});

    m_showOutput = new QAction(tr("Show Encoder Output"), window);
    m_format = new QAction(tr("Set Output Format"), window);
    update(State());
}

void MainWindowActions::update(const State &state)
{
    const bool any = state.rows > 0;
    const bool idleWithRows = any && !state.converting;
    const bool canStop = state.converting && !state.stopping;

    m_import->setEnabled(true);
    m_start->setEnabled(idleWithRows);
    // The menu's list commands follow the rows alone: a row removed during a run takes its
    // conversion with it.
    m_delete->setEnabled(any);
    m_clear->setEnabled(any);
    m_reveal->setEnabled(any);
    m_stop->setEnabled(canStop);
    m_escape->setEnabled(canStop);
    m_pause->setEnabled(canStop);
    m_pause->setText(state.paused ? tr("Resume Converting") : tr("Pause Converting"));
    m_showOutput->setEnabled(state.currentHasOutput);
    m_format->setEnabled(state.selectionHasWaiting);

    // The bar's buttons keep the list still during a run.
    SegmentedControl *segments = m_bar->segments();
    segments->setSegmentEnabled(BottomBar::SegmentImport, true);
    segments->setSegmentEnabled(BottomBar::SegmentDelete, idleWithRows);
    segments->setSegmentEnabled(BottomBar::SegmentClear, idleWithRows);
    segments->setSegmentEnabled(BottomBar::SegmentReveal, idleWithRows);
    m_bar->startButton()->setEnabled(idleWithRows);
    m_bar->startButton()->setToolTip(state.converting ? tr("Converting...")
                                                      : tr("Click to start!"));
    m_bar->stopButton()->setEnabled(canStop);
    QPushButton *pause = m_bar->pauseButton();
    pause->setEnabled(canStop);
    pause->setText(state.paused ? tr("Resume") : tr("Pause"));
    pause->setToolTip(state.paused ? tr("Go on converting") : tr("Hold the conversions"));
}

void MainWindowActions::retitle(const QString &product)
{
    m_about->setText(tr("About %1").arg(product));
    m_hide->setText(tr("Hide %1").arg(product));
    m_quit->setText(tr("Quit %1").arg(product));
    m_help->setText(tr("%1 Help").arg(product));
}
