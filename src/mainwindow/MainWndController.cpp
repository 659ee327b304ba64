#include "mainwindow/MainWndController.h"

#include "AppInfo.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/PathText.h"
#include "Shared/Workspace.h"
#include "engine/OperationQueue.h"
#include "engine/QueueWidthPreference.h"
#include "mainwindow/ListConversionRun.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/MediaLoader.h"
#include "mainwindow/MediaOpenDialog.h"
#include "mainwindow/ProblemBar.h"
#include "mainwindow/ProgressItemDelegate.h"
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
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

enum Segment { SegmentImport = 0, SegmentDelete = 1, SegmentClear = 2, SegmentReveal = 3 };

} // namespace

MainWndController::MainWndController(QWidget *parent)
    : QMainWindow(parent)
{
    m_model = new MediaListModel(this);
    buildWindow();
    refreshByTargetType();

    m_tableView->setReloadDelegate(this);
    m_tableView->setDropDelegate(this);
    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_formatAction->setEnabled(!waitingAmong(selectedItems()).isEmpty()); });
    m_tableView->reloadData();

    UserDefaults &prefs = UserDefaults::standard();
    PreferenceDefaults::registerDefaults(prefs);
    m_run = new ListConversionRun(QueueWidthPreference::width(prefs), this);
    QueueWidthPreference::follow(m_run->queue(), prefs);
    connect(m_run, &ListConversionRun::ticked, this, &MainWndController::updateRunProgress);
    connect(m_run, &ListConversionRun::ticked, this, &MainWndController::reloadList);
    connect(m_run, &ListConversionRun::runEnded, this, &MainWndController::endOfRun);

    m_loader = new MediaLoader(this);
    connect(m_loader, &MediaLoader::itemsLoaded, this, &MainWndController::insertLoadedItems);
    connect(m_loader, &MediaLoader::inputsRefused, this,
            [this](const QList<InputRefusal> &refused) {
                for (const InputRefusal &refusal : refused)
                    qCInfo(lcMainWindow).noquote()
                        << QStringLiteral("skipped %1: %2").arg(refusal.path, refusal.reason);
                QList<ProblemBar::Problem> problems;
                for (const InputRefusal &refusal : refused)
                    problems.append({refusal.path, refusal.reason});
                m_problemBar->addProblems(problems);
                emit inputsRefused(refused);
            });
    connect(m_loader, &MediaLoader::batchFinished, this, [this](int batch) {
        m_model->closeInsertionPoint(batch);
        reloadList();
        if (m_loader->pendingBatches() == 0)
            emit loadingFinished();
    });

    m_quit = [] { QCoreApplication::quit(); };
    setIsConverting(false);
    m_btnStart->setToolTip(tr("Click to start!"));
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
    m_tableView->verticalHeader()->hide();
    m_tableView->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView *header = m_tableView->horizontalHeader();
    header->setSectionResizeMode(MediaListModel::TitleColumn, QHeaderView::Stretch);
    header->resizeSection(MediaListModel::DurationColumn, 90);
    header->resizeSection(MediaListModel::FormatColumn, 70);
    // Clicking a header sorts the rows themselves; a run converts them in the order shown.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_tableView->setSortingEnabled(true);
    header->resizeSection(MediaListModel::ProgressColumn, 140);
    column->addWidget(m_tableView, 1);

    // The bar along the window's lower edge.
    auto *bar = new QWidget(central);
    bar->setFixedHeight(kBottomBarHeight);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);

    QStyle *look = style();
    m_segmentCtl = new SegmentedControl(bar);
    m_segmentCtl->addSegment(tr("Import"), tr("Add files or folders"),
                             look->standardIcon(QStyle::SP_DialogOpenButton));
    m_segmentCtl->addSegment(tr("Delete"), tr("Remove the selected files from the list"),
                             look->standardIcon(QStyle::SP_TrashIcon));
    m_segmentCtl->addSegment(tr("Clear"), tr("Remove every file from the list"),
                             look->standardIcon(QStyle::SP_DialogResetButton));
    m_segmentCtl->addSegment(tr("Reveal"), tr("Show the selected file in its folder"),
                             look->standardIcon(QStyle::SP_DirOpenIcon));
    connect(m_segmentCtl, &SegmentedControl::segmentClicked, this,
            &MainWndController::bottomSegmentDown);
    row->addWidget(m_segmentCtl);

    m_lblStatus = new QLabel(bar);
    m_lblStatus->setAlignment(Qt::AlignCenter);
    row->addWidget(m_lblStatus, 1);
    m_overallBar = new QProgressBar(bar);
    m_overallBar->setRange(0, 1000);
    m_overallBar->setTextVisible(false);
    m_overallBar->setFixedWidth(120);
    m_overallBar->hide();
    row->addWidget(m_overallBar);

    m_btnStop = new QPushButton(tr("Stop"), bar);
    m_btnStop->setToolTip(tr("Stop converting (Esc)"));
    m_btnStop->setEnabled(false);
    connect(m_btnStop, &QPushButton::clicked, this, &MainWndController::stopConvertDown);
    row->addWidget(m_btnStop);

    m_btnStart = new QPushButton(tr("Start"), bar);
    m_btnStart->setDefault(true);
    connect(m_btnStart, &QPushButton::clicked, this, &MainWndController::startConvertDown);
    row->addWidget(m_btnStart);
    column->addWidget(bar);
    setCentralWidget(central);
    resize(720, 480);

    m_importAction = new QAction(tr("Import..."), this);
    m_importAction->setShortcut(QKeySequence::Open);
    connect(m_importAction, &QAction::triggered, this, &MainWndController::importDown);
    m_startAction = new QAction(tr("Start Converting"), this);
    m_startAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(m_startAction, &QAction::triggered, this, &MainWndController::startConvertDown);
    m_deleteAction = new QAction(tr("Delete"), this);
    connect(m_deleteAction, &QAction::triggered, this, &MainWndController::deleteDown);
    m_clearAction = new QAction(tr("Clear"), this);
    connect(m_clearAction, &QAction::triggered, this, &MainWndController::clearDown);
    m_revealAction = new QAction(tr("Reveal in Folder"), this);
    connect(m_revealAction, &QAction::triggered, this, &MainWndController::revealFinderDown);
    m_stopAction = new QAction(tr("Stop Converting"), this);
    m_stopAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_stopAction->setEnabled(false);
    connect(m_stopAction, &QAction::triggered, this, &MainWndController::stopConvertDown);
    addActions({m_importAction, m_startAction, m_deleteAction, m_clearAction, m_revealAction,
                m_stopAction});

    m_showOutputAction = new QAction(tr("Show Encoder Output"), this);
    connect(m_showOutputAction, &QAction::triggered, this,
            [this] { showEncoderOutput(m_tableView->currentIndex().row()); });
    m_tableView->addAction(m_showOutputAction);
    m_formatAction = new QAction(tr("Set Output Format"), this);
    auto *formats = new QMenu(this);
    for (const OutputFormat &format : OutputFormat::all()) {
        QAction *choice = formats->addAction(format.paneLabel());
        const QString title = format.catalogueTitle();
        connect(choice, &QAction::triggered, this,
                [this, title] { setOutputFormatOfSelection(title); });
    }
    m_formatAction->setMenu(formats);
    m_tableView->addAction(m_formatAction);
    m_tableView->setContextMenuPolicy(Qt::ActionsContextMenu);

    m_aboutMenu = new QAction(this);
    m_hideMenu = new QAction(this);
    m_quitMenu = new QAction(this);
    m_helpMenu = new QAction(this);
    connect(m_hideMenu, &QAction::triggered, this, &QWidget::showMinimized);
    connect(m_quitMenu, &QAction::triggered, this, &MainWndController::quitDown);
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
    if (!isConverting()) {
        const bool any = count > 0;
        m_btnStart->setEnabled(any);
        m_segmentCtl->setSegmentEnabled(SegmentDelete, any);
        m_segmentCtl->setSegmentEnabled(SegmentClear, any);
        m_segmentCtl->setSegmentEnabled(SegmentReveal, any);
    }
    m_lblStatus->setText(m_runStatus.isEmpty()
                             ? MediaListModel::statusText(count, m_model->totalDuration())
                             : m_runStatus);
    const int row = m_tableView->currentIndex().row();
    const LSMediaPtr current = m_model->itemAt(row);
    m_showOutputAction->setEnabled(current && !current->strEncoderOutput().isEmpty());
    m_formatAction->setEnabled(!waitingAmong(selectedItems()).isEmpty());
    refreshActionStates();
}

void MainWndController::refreshActionStates()
{
    m_importAction->setEnabled(validateUserInterfaceItem(UserInterfaceAction::Import));
    m_startAction->setEnabled(validateUserInterfaceItem(UserInterfaceAction::Start));
    m_deleteAction->setEnabled(validateUserInterfaceItem(UserInterfaceAction::Delete));
    m_clearAction->setEnabled(validateUserInterfaceItem(UserInterfaceAction::Clear));
    m_revealAction->setEnabled(validateUserInterfaceItem(UserInterfaceAction::Reveal));
}

bool MainWndController::validateUserInterfaceItem(UserInterfaceAction action) const
{
    switch (action) {
    case UserInterfaceAction::Start:
    case UserInterfaceAction::Delete:
    case UserInterfaceAction::Clear:
    case UserInterfaceAction::Reveal:
        // As the buttons: nothing to act on, or a run that holds the list.
        return !m_model->items().isEmpty() && !isConverting();
    default:
        return true;
    }
}

void MainWndController::loadMediasWithPaths(const QStringList &paths, qint64 index)
{
    m_currentIndex = index < 0 ? 0 : index;
    if (paths.isEmpty())
        return;
    for (const QString &path : paths) {
        // A folder named here (or a link to one) becomes a trusted folder.
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
            TrustedFolders::record(QUrl::fromLocalFile(path));
        }
    }
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
            problems.append({media->filePath(), problem});
    }
    m_problemBar->addProblems(problems);
    if (!isConverting())
        m_runStatus.clear();
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
    const QModelIndexList selected = m_tableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QList<int> rows;
    QList<LSMediaPtr> removed;
    int first = INT_MAX;
    for (const QModelIndex &index : selected) {
        rows << index.row();
        if (const LSMediaPtr media = m_model->itemAt(index.row()))
            removed << media;
        first = qMin(first, index.row());
    }
    m_model->removeItemsAtRows(rows);
    removeItems(removed);
    if (!isConverting())
        m_runStatus.clear();
    if (m_model->rowCount() > 0) {
        const int row = qMax(first - 1, 0);
        m_tableView->selectionModel()->select(m_model->index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        m_tableView->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                       QItemSelectionModel::NoUpdate);
    }
    reloadList();
}

void MainWndController::clearDown()
{
    const QList<LSMediaPtr> removed = m_model->items();
    m_model->removeAllItems();
    removeItems(removed);
    if (!isConverting())
        m_runStatus.clear();
    reloadList();
}

// Rows that leave the list take their conversions with them: nothing of theirs reaches the
// output folder or the playlist.
void MainWndController::removeItems(const QList<LSMediaPtr> &items)
{
    if (isConverting() && !items.isEmpty()) {
        m_run->cancelItems(items);
        m_progress.forget(items);
    }
}

QList<LSMediaPtr> MainWndController::waitingItems() const
{
    return waitingAmong(m_model->items());
}

QList<LSMediaPtr> MainWndController::waitingAmong(const QList<LSMediaPtr> &items) const
{
    const QSet<const LSMedia *> held =
        isConverting() ? m_run->heldItems() : QSet<const LSMedia *>();
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
    if (!m_tableView->selectionModel())
        return selected;
    for (const QModelIndex &index : m_tableView->selectionModel()->selectedRows()) {
        if (const LSMediaPtr media = m_model->itemAt(index.row()))
            selected.append(media);
    }
    return selected;
}

void MainWndController::setOutputFormatOfSelection(const QString &title)
{
    for (const LSMediaPtr &media : waitingAmong(selectedItems()))
        MediaItemBuilder::setOutputFormat(*media, title);
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
    QItemSelectionModel *selection = m_tableView->selectionModel();
    const QModelIndexList selected = selection->selectedRows();
    if (selected.isEmpty())
        return;
    // The row selected last: the current one when it is selected.
    int row = selected.last().row();
    if (selection->isRowSelected(selection->currentIndex().row(), QModelIndex()))
        row = selection->currentIndex().row();
    if (const LSMediaPtr media = m_model->itemAt(row))
        Workspace::shared().selectFile(media->filePath());
}

void MainWndController::startConvertDown()
{
    // A second start while converting would run the same items twice at once.
    if (isConverting())
        return;
    if (!outputFolderReady())
        return;
    m_stopRequested = false;
    const QList<LSMediaPtr> items = itemsToConvert();
    m_progress.start(items);
    m_runClock.start();
    m_overallBar->setValue(0);
    m_overallBar->show();
    m_run->start(items);
    m_btnStart->setToolTip(tr("Converting..."));
    m_btnStart->setEnabled(false);
    m_btnStop->setEnabled(true);
    m_stopAction->setEnabled(true);
    updateRunProgress();
    m_segmentCtl->setSegmentEnabled(SegmentDelete, false);
    m_segmentCtl->setSegmentEnabled(SegmentClear, false);
    m_segmentCtl->setSegmentEnabled(SegmentReveal, false);
    refreshActionStates();
}

bool MainWndController::outputFolderReady()
{
    const QString folder = UserDefaults::standard().stringForKey(PrefKeys::AppAudioOutputFolder);
    if (QFileInfo(folder).isDir())
        return true;
    askAboutMissingFolder(folder);
    return false;
}

void MainWndController::askAboutMissingFolder(const QString &folder)
{
    // A stored folder on a disk that is not plugged in stays stored; the user decides.
    qCInfo(lcMainWindow) << "output folder missing:" << folder;
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Output Folder Missing"),
                                tr("The output folder \"%1\" does not exist.").arg(folder),
                                QMessageBox::NoButton, this);
    box->setObjectName(QStringLiteral("missingOutputFolder"));
    box->setInformativeText(
        tr("It may be on a disk that is not connected. Create it, or choose another one."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton *create = box->addButton(tr("Create Folder"), QMessageBox::AcceptRole);
    QPushButton *choose = box->addButton(tr("Choose Another..."), QMessageBox::ActionRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(create);
    connect(box, &QMessageBox::finished, this, [this, box, create, choose, folder] {
        if (box->clickedButton() == create) {
            if (QDir().mkpath(folder))
                startConvertDown();
            else
                qCWarning(lcMainWindow) << "cannot create the output folder" << folder;
        } else if (box->clickedButton() == choose) {
            QPointer<MainWndController> self(this);
            m_chooseFolder(this, false, [self](const QList<QUrl> &folders) {
                if (!self || folders.isEmpty())
                    return;
                UserDefaults &store = UserDefaults::standard();
                store.setValue(PrefKeys::AppAudioOutputFolder, folders.first().toLocalFile());
                store.synchronize();
                self->startConvertDown();
            });
        }
    });
    box->open();
}

void MainWndController::stopConvertDown()
{
    if (!isConverting())
        return;
    qCInfo(lcMainWindow).noquote() << QStringLiteral("stop converting");
    m_stopRequested = true;
    m_btnStop->setEnabled(false);
    m_stopAction->setEnabled(false);
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
    if (!isConverting() || m_quitAfterRun) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    askToStopAndQuit();
}

void MainWndController::askToStopAndQuit()
{
    if (m_quitQuestion || m_quitAfterRun)
        return;
    m_quitQuestion =
        new QMessageBox(QMessageBox::Question, tr("Stop converting and quit?"),
                        tr("Files are still being converted."), QMessageBox::NoButton, this);
    m_quitQuestion->setInformativeText(
        tr("Unfinished files are not kept. Stop the conversions and quit?"));
    QPushButton *quit = m_quitQuestion->addButton(tr("Stop and Quit"), QMessageBox::AcceptRole);
    m_quitQuestion->addButton(QMessageBox::Cancel);
    m_quitQuestion->setDefaultButton(quit);
    m_quitQuestion->setWindowModality(Qt::WindowModal);
    m_quitQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_quitQuestion, &QMessageBox::finished, this, [this, quit] {
        const bool confirmed = m_quitQuestion->clickedButton() == quit;
        m_quitQuestion = nullptr;
        if (!confirmed)
            return;
        if (!isConverting()) {
            m_quit();
            return;
        }
        // Quit once the encoders have really stopped: none may be left writing.
        m_quitAfterRun = true;
        stopConvertDown();
    });
    m_quitQuestion->open();
}

void MainWndController::updateRunProgress()
{
    if (!isConverting())
        return;
    const RunProgress::Snapshot snapshot = m_progress.sample(m_runClock.elapsed() / 1000.0);
    QString text = RunProgress::filesText(snapshot);
    const QString left = RunProgress::timeLeftText(snapshot.secondsLeft);
    if (m_run->isStopping())
        text += tr(" \u2014 stopping...");
    else if (!left.isEmpty())
        text += QStringLiteral(" \u2014 ") + left;
    m_runStatus = text;
    m_overallBar->setValue(int(snapshot.fraction * 1000.0));
    const int percent = int(snapshot.fraction * 100.0);
    setWindowTitle(tr("%1% \u2014 %2").arg(percent).arg(QLatin1String(AppInfo::kProductName)));
    emit runProgressChanged(snapshot.fraction, true);
}

QPlainTextEdit *MainWndController::showEncoderOutput(int row)
{
    const LSMediaPtr media = m_model->itemAt(row);
    if (!media)
        return nullptr;
    auto *view = new QPlainTextEdit(this);
    view->setWindowFlag(Qt::Window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setWindowTitle(
        tr("Encoder output \u2014 %1").arg(PathText::lastComponent(media->filePath())));
    const QString output = media->strEncoderOutput();
    view->setPlainText(output.isEmpty() ? tr("The encoder has not written anything.") : output);
    view->resize(640, 360);
    view->show();
    return view;
}

void MainWndController::endOfRun()
{
    m_btnStop->setEnabled(false);
    m_stopAction->setEnabled(false);
    m_overallBar->hide();
    m_runStatus = RunProgress::summaryText(m_progress.finish(m_runClock.elapsed() / 1000.0));
    refreshByTargetType();
    emit runProgressChanged(1.0, false);
    if (m_quitAfterRun) {
        m_quitAfterRun = false;
        reloadList();
        emit runFinished();
        m_quit();
        return;
    }
    m_btnStart->setToolTip(tr("Click to start!"));
    m_btnStart->setEnabled(true);
    m_segmentCtl->setSegmentEnabled(SegmentDelete, true);
    m_segmentCtl->setSegmentEnabled(SegmentClear, true);
    m_segmentCtl->setSegmentEnabled(SegmentReveal, true);
    // A run the user stopped does not open the output folder, nor one whose user said not to.
    // The folder the run wrote into, as the run read it when it started.
    const ConversionSettings &settings = m_run->settings();
    if (!m_stopRequested && settings.openOutputFolder)
        Workspace::shared().openUrl(QUrl::fromLocalFile(settings.audioOutputFolder));
    m_stopRequested = false;
    reloadList();
    emit runFinished();
}

void MainWndController::bottomSegmentDown()
{
    switch (m_segmentCtl->selectedSegment()) {
    case SegmentImport:
        importDown();
        break;
    case SegmentDelete:
        deleteDown();
        break;
    case SegmentClear:
        clearDown();
        break;
    case SegmentReveal:
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

QStringList MainWndController::droppedPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

Qt::DropAction MainWndController::validateDrop(MyTableView *tableView, const QMimeData *data,
                                               MyTableViewDropPosition position)
{
    const bool acceptable = !position.onRow && !droppedPaths(data).isEmpty();
    tableView->refreshState(acceptable);
    return acceptable ? Qt::CopyAction : Qt::IgnoreAction;
}

bool MainWndController::acceptDrop(MyTableView *tableView, const QMimeData *data,
                                   MyTableViewDropPosition position)
{
    tableView->refreshState(false);
    if (position.onRow)
        return false;
    const QStringList paths = droppedPaths(data);
    if (paths.isEmpty())
        return false;
    qCInfo(lcMainWindow).noquote()
        << QStringLiteral("accept drop,%1").arg(paths.join(QLatin1String(", ")));
    loadMediasWithPaths(paths, position.row);
    return true;
}
