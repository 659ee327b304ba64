#include "mainwindow/MainWndController.h"

#include "AppInfo.h"
#include "Shared/Logging.h"
#include "Shared/Workspace.h"
#include "engine/QueueWidthPreference.h"
#include "mainwindow/EncoderOutputWindow.h"
#include "mainwindow/ListCommands.h"
#include "mainwindow/ListFeeder.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/MediaOpenDialog.h"
#include "mainwindow/MissingOutputFolder.h"
#include "mainwindow/ProblemBar.h"
#include "mainwindow/ProgressItemDelegate.h"
#include "mainwindow/RunController.h"
#include "mainwindow/RunQuestions.h"
#include "mainwindow/SegmentedControl.h"
#include "model/ConversionSettings.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

MainWndController::MainWndController(QWidget *parent)
    : QMainWindow(parent)
{
    m_model = new MediaListModel(this);
    UserDefaults &prefs = UserDefaults::standard();
    PreferenceDefaults::registerDefaults(prefs);
    m_run = new RunController(QueueWidthPreference::width(prefs), this);
    QueueWidthPreference::follow(m_run->queue(), prefs);
    buildWindow();
    refreshByTargetType();

    m_tableView->setReloadDelegate(this);
    m_tableView->setDropDelegate(this);
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWndController::refreshButtonState);
    m_tableView->reloadData();
    connectRun();

    m_quit = [] { QCoreApplication::quit(); };
    setIsConverting(false);
    reloadList();
}

MainWndController::~MainWndController()
{
    m_tableView->setReloadDelegate(nullptr);
    m_tableView->setDropDelegate(nullptr);
    // Loader threads and running conversions end before the list and the window go.
    delete m_feeder;
    m_feeder = nullptr;
    delete m_run;
    m_run = nullptr;
}

OperationQueue *MainWndController::queue() const
{
    return m_run ? m_run->queue() : nullptr;
}

bool MainWndController::isConverting() const
{
    return m_run && m_run->isConverting();
}

void MainWndController::setIsConverting(bool converting)
{
    if (m_run)
        m_run->setIsConverting(converting);
}

const QList<LSMediaPtr> &MainWndController::items() const
{
    return m_model->items();
}

QMessageBox *MainWndController::quitQuestion() const
{
    return m_quitQuestion.data();
}

int MainWndController::pendingLoads() const
{
    return m_feeder ? m_feeder->pendingLoads() : 0;
}

void MainWndController::buildWindow()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_problemBar = new ProblemBar(central);
    column->addWidget(m_problemBar);

    m_tableView = new MyTableView(central);
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegateForColumn(MediaListModel::ProgressColumn,
                                          new ProgressItemDelegate(m_tableView));
    MediaListModel::arrangeColumns(m_tableView);
    column->addWidget(m_tableView, 1);

    m_bar = new BottomBar(central);
    m_bar->stopButton()->setToolTip(tr("Stop converting (Esc)"));
    connect(m_bar, &BottomBar::segmentClicked, this, &MainWndController::bottomSegmentDown);
    connect(m_bar, &BottomBar::startClicked, this, &MainWndController::startConvertDown);
    connect(m_bar, &BottomBar::stopClicked, this, &MainWndController::stopConvertDown);
    column->addWidget(m_bar);
    setCentralWidget(central);
    resize(720, 480);

    buildListParts();
    m_actions = new MainWindowActions(this, m_bar);
    connectActions();
    buildRowCommands();
}

void MainWndController::connectActions()
{
    connect(importAction(), &QAction::triggered, this, &MainWndController::importDown);
    connect(quitMenu(), &QAction::triggered, this, &MainWndController::quitDown);
    connect(startAction(), &QAction::triggered, this, &MainWndController::startConvertDown);
    connect(deleteAction(), &QAction::triggered, this, &MainWndController::deleteDown);
    connect(clearAction(), &QAction::triggered, this, &MainWndController::clearDown);
    connect(revealAction(), &QAction::triggered, this, &MainWndController::revealFinderDown);
    connect(stopAction(), &QAction::triggered, this, &MainWndController::stopConvertDown);
    connect(m_actions->escapeAction(), &QAction::triggered, this, &MainWndController::askToStop);
}

void MainWndController::buildRowCommands()
{
    connect(showOutputAction(), &QAction::triggered, this,
            [this] { showEncoderOutput(m_tableView->currentIndex().row()); });
    m_tableView->addAction(showOutputAction());
    formatAction()->setMenu(m_commands->outputFormatMenu(this));
    m_tableView->addAction(formatAction());
    m_tableView->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWndController::buildListParts()
{
    m_feeder = new ListFeeder(m_model, m_tableView, m_problemBar, this);
    connect(m_feeder, &ListFeeder::itemsInserted, this, [this] {
        forgetRunSummary();
        reloadList();
    });
    connect(m_feeder, &ListFeeder::batchEnded, this, &MainWndController::reloadList);
    connect(m_feeder, &ListFeeder::inputsRefused, this, &MainWndController::inputsRefused);
    connect(m_feeder, &ListFeeder::loadingFinished, this, &MainWndController::loadingFinished);

    m_commands = new ListCommands(m_model, m_tableView, m_problemBar, m_run, this);
    connect(m_commands, &ListCommands::rowsRemoved, this, [this] {
        forgetRunSummary();
        reloadList();
    });
    connect(m_commands, &ListCommands::rowsChanged, this, &MainWndController::reloadList);
    connect(m_problemBar, &ProblemBar::removeListedRequested, m_commands,
            &ListCommands::removeListedWithProblems);
}

void MainWndController::connectRun()
{
    connect(m_run, &RunController::ticked, this, &MainWndController::reloadList);
    connect(m_run, &RunController::runStatusChanged, this, &MainWndController::showRunStatus);
    connect(m_run, &RunController::progressChanged, this, &MainWndController::showRunProgress);
    connect(m_run, &RunController::runEnded, this, &MainWndController::endOfRun);
    connect(m_run, &RunController::pausedChanged, this, &MainWndController::reloadList);
    connect(pauseAction(), &QAction::triggered, m_run, &RunController::togglePause);
    connect(m_bar, &BottomBar::pauseClicked, m_run, &RunController::togglePause);
    connect(m_run, &RunController::quitRequested, this, [this] { m_quit(); });
}

void MainWndController::refreshByTargetType()
{
    const QString product = QLatin1String(AppInfo::kProductName);
    setWindowTitle(product);
    m_actions->retitle(product);
}

void MainWndController::reloadList()
{
    m_model->refreshAll();
    m_tableView->reloadData();
}

void MainWndController::refreshButtonState()
{
    const qsizetype count = m_model->items().size();
    m_bar->setStatus(MediaListModel::statusText(count, m_model->totalDuration()));
    m_bar->setRunStatus(m_runStatus);
    const LSMediaPtr current = m_model->itemAt(m_tableView->currentIndex().row());
    MainWindowActions::State state;
    state.rows = count;
    state.converting = isConverting();
    state.stopping = m_run && m_run->isStopping();
    state.paused = m_run && m_run->isPaused();
    state.currentHasOutput = current && !current->strEncoderOutput().isEmpty();
    state.selectionHasWaiting = !m_commands->waitingAmong(m_commands->selectedItems()).isEmpty();
    m_actions->update(state);
}

bool MainWndController::validateUserInterfaceItem(UserInterfaceAction action) const
{
    switch (action) {
    case UserInterfaceAction::Start:
        return !m_model->items().isEmpty() && !isConverting();
    case UserInterfaceAction::Delete:
    case UserInterfaceAction::Clear:
    case UserInterfaceAction::Reveal:
        // A row removed during a run takes its conversion with it.
        return !m_model->items().isEmpty();
    default:
        return true;
    }
}

void MainWndController::loadMediasWithPaths(const QStringList &paths, qint64 index)
{
    m_currentIndex = index < 0 ? 0 : index;
    if (paths.isEmpty())
        return;
    m_feeder->load(paths, m_currentIndex);
}

void MainWndController::importDown()
{
    auto *dialog = new MediaOpenDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &MediaOpenDialog::pathsChosen, this, &MainWndController::importPaths);
    dialog->open();
}

void MainWndController::importPaths(const QStringList &paths)
{
    m_currentIndex = -1;
    loadMediasWithPaths(paths, m_currentIndex);
}

void MainWndController::deleteDown()
{
    m_commands->deleteSelection();
}

void MainWndController::clearDown()
{
    m_commands->clear();
}

void MainWndController::forgetRunSummary()
{
    if (!isConverting())
        m_runStatus.clear();
}

QList<LSMediaPtr> MainWndController::waitingItems() const
{
    return m_commands->waitingItems();
}

void MainWndController::setOutputFormatOfSelection(const QString &title)
{
    m_commands->setOutputFormatOfSelection(title);
}

void MainWndController::revealFinderDown()
{
    if (const LSMediaPtr media = m_model->itemAt(m_tableView->rowToActOn()))
        Workspace::shared().selectFile(media->filePath());
}

void MainWndController::startConvertDown()
{
    // A second start while converting would run the same items twice at once.
    if (isConverting())
        return;
    if (!outputFolderReady())
        return;
    const QList<LSMediaPtr> items = m_commands->itemsToConvert();
    m_run->start(items, int(m_model->items().size() - items.size()));
    refreshButtonState();
}

bool MainWndController::outputFolderReady()
{
    const QString folder = UserDefaults::standard().stringForKey(PrefKeys::AppAudioOutputFolder);
    if (QFileInfo(folder).isDir())
        return true;
    QPointer<MainWndController> self(this);
    MissingOutputFolder::ask(this, folder, m_chooseFolder, [self] {
        if (self)
            self->startConvertDown();
    });
    return false;
}

void MainWndController::stopConvertDown()
{
    if (!isConverting())
        return;
    qCInfo(lcMainWindow).noquote() << QStringLiteral("stop converting");
    m_run->stop();
    reloadList();
}

void MainWndController::quitDown()
{
    if (!isConverting()) {
        m_quit();
        return;
    }
    askToStopAndQuit();
}

void MainWndController::closeEvent(QCloseEvent *event)
{
    if (!isConverting() || m_run->quitsAfterRun()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    askToStopAndQuit();
}

void MainWndController::askToStopAndQuit()
{
    if (m_quitQuestion || m_run->quitsAfterRun())
        return;
    m_quitQuestion = RunQuestions::askToStopAndQuit(this, [this] {
        m_run->stopThenQuit();
        reloadList();
    });
    // Answered is gone, though the box itself is deleted later.
    connect(m_quitQuestion, &QMessageBox::finished, this, [this] { m_quitQuestion = nullptr; });
}

void MainWndController::askToStop()
{
    if (!isConverting() || findChild<QMessageBox *>(QStringLiteral("stopQuestion")))
        return;
    RunQuestions::askToStop(this, [this] { stopConvertDown(); });
}

void MainWndController::showRunStatus(const QString &text)
{
    m_runStatus = text;
}

void MainWndController::showRunProgress(double fraction, bool visible)
{
    m_bar->showRunProgress(fraction, visible);
    emit runProgressChanged(fraction, visible);
}

QPlainTextEdit *MainWndController::showEncoderOutput(int row)
{
    const LSMediaPtr media = m_model->itemAt(row);
    return media ? EncoderOutputWindow::show(this, *media) : nullptr;
}

void MainWndController::endOfRun(const RunTally::Counts &counts, bool stoppedByUser)
{
    if (m_run->quitsAfterRun()) {
        reloadList();
        emit runFinished();
        return;
    }
    // A run the user stopped does not open the output folder, nor one that wrote nothing there,
    // nor one whose user said not to. The folder is the one the run wrote into.
    const ConversionSettings &settings = m_run->settings();
    if (!stoppedByUser && counts.converted > 0 && settings.openOutputFolder)
        Workspace::shared().openUrl(QUrl::fromLocalFile(settings.audioOutputFolder));
    reloadList();
    emit runFinished();
}

void MainWndController::bottomSegmentDown()
{
    switch (segmentCtl()->selectedSegment()) {
    case BottomBar::SegmentImport:
        importDown();
        break;
    case BottomBar::SegmentDelete:
        deleteDown();
        break;
    case BottomBar::SegmentClear:
        clearDown();
        break;
    case BottomBar::SegmentReveal:
        revealFinderDown();
        break;
    default:
        break;
    }
}

void MainWndController::deleteFileDown(MyTableView *)
{
    deleteDown();
}

void MainWndController::spaceKeyDown(MyTableView *)
{}

void MainWndController::tableViewReloaded(MyTableView *)
{
    refreshButtonState();
}

Qt::DropAction MainWndController::validateDrop(MyTableView *tableView, const QMimeData *data,
                                               MyTableViewDropPosition position)
{
    const bool acceptable = !position.onRow && !MyTableView::localFilePaths(data).isEmpty();
    tableView->refreshState(acceptable);
    return acceptable ? Qt::CopyAction : Qt::IgnoreAction;
}

bool MainWndController::acceptDrop(MyTableView *tableView, const QMimeData *data,
                                   MyTableViewDropPosition position)
{
    tableView->refreshState(false);
    if (position.onRow)
        return false;
    const QStringList paths = MyTableView::localFilePaths(data);
    if (paths.isEmpty())
        return false;
    qCInfo(lcMainWindow).noquote()
        << QStringLiteral("accept drop,%1").arg(paths.join(QLatin1String(", ")));
    loadMediasWithPaths(paths, position.row);
    return true;
}
