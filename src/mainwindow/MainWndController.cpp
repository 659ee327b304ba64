#include "mainwindow/MainWndController.h"

#include "AppInfo.h"
#include "Shared/Logging.h"
#include "Shared/Workspace.h"
#include "engine/MediaLoader.h"
#include "engine/QueueWidthPreference.h"
#include "mainwindow/EncoderOutputWindow.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/MediaOpenDialog.h"
#include "mainwindow/MissingOutputFolder.h"
#include "mainwindow/ProblemBar.h"
#include "mainwindow/ProgressItemDelegate.h"
#include "mainwindow/RunController.h"
#include "mainwindow/RunQuestions.h"
#include "mainwindow/SegmentedControl.h"
#include "model/ConversionSettings.h"
#include "model/MediaItemBuilder.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/TrustedFolders.h"
#include "model/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

MainWndController::MainWndController(QWidget *parent)
    : QMainWindow(parent)
{
    m_model = new MediaListModel(this);
    buildWindow();
    refreshByTargetType();

    m_tableView->setReloadDelegate(this);
    m_tableView->setDropDelegate(this);
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWndController::refreshButtonState);
    m_tableView->reloadData();

    UserDefaults &prefs = UserDefaults::standard();
    PreferenceDefaults::registerDefaults(prefs);
    m_run = new RunController(QueueWidthPreference::width(prefs), this);
    QueueWidthPreference::follow(m_run->queue(), prefs);
    connectRun();
    connectLoader();

    m_quit = [] { QCoreApplication::quit(); };
    setIsConverting(false);
    reloadList();
}

MainWndController::~MainWndController()
{
    m_tableView->setReloadDelegate(nullptr);
    m_tableView->setDropDelegate(nullptr);
    // Loader threads and running conversions end before the list and the window go.
    delete m_loader;
    m_loader = nullptr;
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
    return m_loader ? m_loader->pendingBatches() : 0;
}

void MainWndController::buildWindow()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_problemBar = new ProblemBar(central);
    connect(m_problemBar, &ProblemBar::removeListedRequested, this,
            &MainWndController::removeItemsWithProblems);
    column->addWidget(m_problemBar);

    m_tableView = new MyTableView(central);
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegateForColumn(MediaListModel::ProgressColumn,
                                          new ProgressItemDelegate(m_tableView));
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setShowGrid(false);
    m_tableView->setAlternatingRowColors(true);
    m_tableView->setWordWrap(false);
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

    m_actions = new MainWindowActions(this, m_bar);
    connectActions();
    buildRowCommands();

    m_aboutMenu = new QAction(this);
    m_hideMenu = new QAction(this);
    m_quitMenu = new QAction(this);
    m_helpMenu = new QAction(this);
    connect(m_hideMenu, &QAction::triggered, this, &QWidget::showMinimized);
    connect(m_quitMenu, &QAction::triggered, this, &MainWndController::quitDown);
}

void MainWndController::connectActions()
{
    connect(importAction(), &QAction::triggered, this, &MainWndController::importDown);
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
    auto *formats = new QMenu(this);
    for (const OutputFormat &format : OutputFormat::all()) {
        QAction *choice = formats->addAction(format.paneLabel());
        const QString title = format.catalogueTitle();
        connect(choice, &QAction::triggered, this,
                [this, title] { setOutputFormatOfSelection(title); });
    }
    formatAction()->setMenu(formats);
    m_tableView->addAction(formatAction());
    m_tableView->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWndController::connectLoader()
{
    m_loader = new MediaLoader(this);
    connect(m_loader, &MediaLoader::itemsLoaded, this, &MainWndController::insertLoadedItems);
    connect(m_loader, &MediaLoader::inputsRefused, this,
            [this](const QList<InputRefusal> &refused) {
                QList<ProblemBar::Problem> problems;
                problems.reserve(refused.size());
                for (const InputRefusal &refusal : refused)
                    problems.append({refusal.path, refusal.reason});
                logRefusals(refused);
                m_problemBar->addProblems(problems);
                emit inputsRefused(refused);
            });
    // A folder named in a drop or import (or a link to one) becomes a trusted folder.
    connect(m_loader, &MediaLoader::foldersNamed, this, [](int, const QStringList &folders) {
        for (const QString &folder : folders)
            TrustedFolders::record(QUrl::fromLocalFile(folder));
    });
    connect(m_loader, &MediaLoader::batchFinished, this, [this](int batch) {
        m_model->closeInsertionPoint(batch);
        reloadList();
        if (m_loader->pendingBatches() == 0)
            emit loadingFinished();
    });
}

void MainWndController::connectRun()
{
    connect(m_run, &RunController::ticked, this, &MainWndController::reloadList);
    connect(m_run, &RunController::runStatusChanged, this, &MainWndController::showRunStatus);
    connect(m_run, &RunController::progressChanged, this, &MainWndController::showRunProgress);
    connect(m_run, &RunController::runEnded, this, &MainWndController::endOfRun);
    connect(m_run, &RunController::quitRequested, this, [this] { m_quit(); });
}

// A hand-over of many thousand paths would flood the log (and the journal, where a desktop
// start sends it) line by line: the first few of each part are named, the rest counted.
void MainWndController::logRefusals(const QList<InputRefusal> &refused)
{
    const qsizetype named = qMin<qsizetype>(refused.size(), kLoggedRefusals);
    for (qsizetype i = 0; i < named; ++i) {
        qCInfo(lcMainWindow).noquote()
            << QStringLiteral("skipped %1: %2").arg(refused.at(i).path, refused.at(i).reason);
    }
    if (refused.size() > named)
        qCInfo(lcMainWindow).noquote()
            << QStringLiteral("skipped %1 more paths").arg(refused.size() - named);
}

void MainWndController::refreshByTargetType()
{
    const QString product = QLatin1String(AppInfo::kProductName);
    setWindowTitle(product);
    m_aboutMenu->setText(tr("About %1").arg(product));
    m_hideMenu->setText(tr("Hide %1").arg(product));
    m_quitMenu->setText(tr("Quit %1").arg(product));
    m_helpMenu->setText(tr("%1 Help").arg(product));
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
    state.currentHasOutput = current && !current->strEncoderOutput().isEmpty();
    state.selectionHasWaiting = !waitingAmong(selectedItems()).isEmpty();
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
    // Choosing the files (folders listed, links followed) happens on the loader's thread, so a
    // large folder does not hold up the window. Each batch keeps an insertion point of its own:
    // a second drop while a large folder still loads must not split the first one.
    const int batch =
        m_model->openInsertionPoint(int(qBound<qint64>(0, m_currentIndex, qint64(INT_MAX))));
    m_loader->load(paths, ConversionSettings::current(), batch);
}

void MainWndController::insertLoadedItems(int batch, const QList<LSMediaPtr> &items)
{
    m_model->insertAtPoint(batch, items);
    // New rows land where they were dropped: the list is no longer sorted by a column.
    m_tableView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    QList<ProblemBar::Problem> problems;
    for (const LSMediaPtr &media : items) {
        const QString problem = media->strInputProblem();
        if (!problem.isEmpty())
            problems.append({media->filePath(), problem, true});
    }
    m_problemBar->addProblems(problems);
    forgetRunSummary();
    reloadList();
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
    const QList<int> rows = m_tableView->selectedRowNumbers();
    if (rows.isEmpty())
        return;
    const QList<LSMediaPtr> removed = selectedItems();
    m_model->removeItemsAtRows(rows);
    removeItems(removed);
    forgetRunSummary();
    if (m_model->rowCount() > 0)
        m_tableView->selectOnly(qMax(*std::min_element(rows.begin(), rows.end()) - 1, 0));
    reloadList();
}

void MainWndController::clearDown()
{
    const QList<LSMediaPtr> removed = m_model->items();
    m_model->removeAllItems();
    removeItems(removed);
    m_problemBar->dismiss();
    forgetRunSummary();
    reloadList();
}

// Rows that leave the list take their conversions with them: nothing of theirs reaches the
// output folder or the playlist.
void MainWndController::removeItems(const QList<LSMediaPtr> &items)
{
    m_run->cancelItems(items);
    for (const LSMediaPtr &media : items)
        m_formatSetByHand.remove(media.get());
}

void MainWndController::removeItemsWithProblems(const QStringList &paths)
{
    const QSet<QString> named(paths.cbegin(), paths.cend());
    QList<int> rows;
    QList<LSMediaPtr> removed;
    const QList<LSMediaPtr> &items = m_model->items();
    for (int row = 0; row < items.size(); ++row) {
        const LSMediaPtr &media = items.at(row);
        if (!media->strInputProblem().isEmpty() && named.contains(media->filePath())) {
            rows << row;
            removed << media;
        }
    }
    m_model->removeItemsAtRows(rows);
    removeItems(removed);
    forgetRunSummary();
    reloadList();
}

void MainWndController::forgetRunSummary()
{
    if (!isConverting())
        m_runStatus.clear();
}

QList<LSMediaPtr> MainWndController::waitingItems() const
{
    QList<LSMediaPtr> waiting = waitingAmong(m_model->items());
    if (!m_formatSetByHand.isEmpty()) {
        waiting.removeIf(
            [this](const LSMediaPtr &media) { return m_formatSetByHand.contains(media.get()); });
    }
    return waiting;
}

QList<LSMediaPtr> MainWndController::waitingAmong(const QList<LSMediaPtr> &items) const
{
    // The list reloads once before the run exists, while the window is built.
    const QSet<const LSMedia *> held = m_run ? m_run->heldItems() : QSet<const LSMedia *>();
    QList<LSMediaPtr> waiting;
    for (const LSMediaPtr &media : items) {
        if (media->eumCvtState() == LSMedia::CvtStatePending && !held.contains(media.get()))
            waiting.append(media);
    }
    return waiting;
}

QList<LSMediaPtr> MainWndController::selectedItems() const
{
    QList<LSMediaPtr> selected;
    for (const int row : m_tableView->selectedRowNumbers()) {
        if (const LSMediaPtr media = m_model->itemAt(row))
            selected.append(media);
    }
    return selected;
}

void MainWndController::setOutputFormatOfSelection(const QString &title)
{
    for (const LSMediaPtr &media : waitingAmong(selectedItems())) {
        MediaItemBuilder::setOutputFormat(*media, title);
        m_formatSetByHand.insert(media.get());
    }
    reloadList();
}

QList<LSMediaPtr> MainWndController::itemsToConvert() const
{
    if (!UserDefaults::standard().boolForKey(PrefKeys::AppSkipFinished))
        return m_model->items();
    QList<LSMediaPtr> unfinished;
    for (const LSMediaPtr &media : m_model->items()) {
        if (media->eumCvtState() != LSMedia::CvtStateFinished)
            unfinished.append(media);
    }
    return unfinished;
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
    m_run->start(itemsToConvert());
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

void MainWndController::endOfRun(const RunProgress::Summary &summary, bool stoppedByUser)
{
    if (m_run->quitsAfterRun()) {
        reloadList();
        emit runFinished();
        return;
    }
    // A run the user stopped does not open the output folder, nor one that wrote nothing there,
    // nor one whose user said not to. The folder is the one the run wrote into.
    const ConversionSettings &settings = m_run->settings();
    if (!stoppedByUser && summary.converted > 0 && settings.openOutputFolder)
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
