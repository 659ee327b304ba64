#pragma once

#include "Shared/InputCollector.h"
#include "engine/RunTally.h"
#include "mainwindow/BottomBar.h"
#include "mainwindow/MainWindowActions.h"
#include "mainwindow/MyTableView.h"
#include "model/LSMedia.h"
#include "preferences/FolderPanel.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>

class ListCommands;
class ListFeeder;
class MediaListModel;
class OperationQueue;
class QAction;
class QLabel;
class QMessageBox;
class ProblemBar;
class QProgressBar;
class QPlainTextEdit;
class QPushButton;
class RunController;
class SegmentedControl;

// The main window: the list of files to convert (MediaListModel in MyTableView) and the bar
// under it (BottomBar). Dropped, imported and handed-over files and folders reach the list
// through ListFeeder (probed off the GUI thread); the row commands are ListCommands'. Start hands
// the list to the run (RunController), which converts it on its operation queue and reports every
// 0.5 seconds until the queue has drained; then the audio output folder is opened. What is enabled
// is decided in one place (MainWindowActions).
//
// The queue's width follows the "AppMaxConvertNumKey" preference (QueueWidthPreference).
// Thread: main thread.
class MainWndController : public QMainWindow,
                          public MyTableViewDelegate,
                          public MyTableViewDropDelegate
{
    Q_OBJECT

public:
    // The bottom bar's height, in points.
    static constexpr int kBottomBarHeight = BottomBar::kHeight;

    // What a menu entry or button does, for validateUserInterfaceItem().
    enum class UserInterfaceAction { Import, Delete, Clear, Reveal, Start, Other };

    explicit MainWndController(QWidget *parent = nullptr);
    ~MainWndController() override;

    OperationQueue *queue() const;
    // The row the latest drop or import was made at; each batch then follows its own insertion
    // point in the list model.
    qint64 currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(qint64 index) { m_currentIndex = index; }
    bool isConverting() const;
    void setIsConverting(bool converting);

    // Keeps the supported files among `paths` (folders: every supported file below them, and the
    // folder becomes a trusted folder) and has them loaded in order from row `index` on (0 when
    // negative). Returns at once; the rows appear as the loader hands them over.
    void loadMediasWithPaths(const QStringList &paths, qint64 index);
    // Imports `paths` as the open panel does: at the top of the list, in their order. Also the
    // way for paths given on the command line or handed over by a later start.
    void importPaths(const QStringList &paths);

    // Enabled state of a menu entry or button: start, delete, clear and reveal need at least one
    // row and no run in progress; import is always possible.
    bool validateUserInterfaceItem(UserInterfaceAction action) const;

    // Widgets and parts, for the menus of the application and for tests.
    MyTableView *tableView() const { return m_tableView; }
    BottomBar *bottomBar() const { return m_bar; }
    SegmentedControl *segmentCtl() const { return m_bar->segments(); }
    QPushButton *btnStart() const { return m_bar->startButton(); }
    QPushButton *btnStop() const { return m_bar->stopButton(); }
    QPushButton *btnPause() const { return m_bar->pauseButton(); }
    QLabel *lblStatus() const { return m_bar->status(); }
    QProgressBar *overallBar() const { return m_bar->overallBar(); }
    RunController *run() const { return m_run; }
    ProblemBar *problemBar() const { return m_problemBar; }
    MediaListModel *listModel() const { return m_model; }
    const QList<LSMediaPtr> &items() const;
    // Menu entries, enabled by validateUserInterfaceItem() whenever the list or the run changes,
    // so their shortcuts follow too.
    QAction *importAction() const { return m_actions->importAction(); }
    QAction *startAction() const { return m_actions->startAction(); }
    QAction *deleteAction() const { return m_actions->deleteAction(); }
    QAction *clearAction() const { return m_actions->clearAction(); }
    QAction *revealAction() const { return m_actions->revealAction(); }
    // Stops the run at once (Escape asks first); enabled while a run goes on.
    QAction *stopAction() const { return m_actions->stopAction(); }
    // Pauses the run, or resumes a paused one; enabled while a run goes on.
    QAction *pauseAction() const { return m_actions->pauseAction(); }
    // Row command: shows the encoder's last lines for the current row.
    QAction *showOutputAction() const { return m_actions->showOutputAction(); }
    // Application menu entries retitled at start; the application shell places them.
    QAction *aboutMenu() const { return m_actions->aboutAction(); }
    QAction *hideMenu() const { return m_actions->hideAction(); }
    QAction *quitMenu() const { return m_actions->quitAction(); }
    QAction *helpMenu() const { return m_actions->helpAction(); }

    // Batches still being loaded.
    int pendingLoads() const;

    // Rows whose output settings the preferences may still change: pending, not held by a run,
    // and not given a format by hand ("Set Output Format").
    QList<LSMediaPtr> waitingItems() const;
    // Gives the selected waiting rows the output format titled `title` (a catalogue title).
    void setOutputFormatOfSelection(const QString &title);
    // Row command: a menu of the output formats for the selected waiting rows.
    QAction *formatAction() const { return m_actions->formatAction(); }

    // The folder dialog used when the output folder is missing and the user chooses another;
    // tests pick a folder without a dialog.
    void setFolderChooser(FolderPanel::Chooser chooser) { m_chooseFolder = std::move(chooser); }
    // What quitting the application means; tests replace it so that it does not end their loop.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }
    // The question asked when the user quits during a run; null when none is open.
    QMessageBox *quitQuestion() const;

public slots:
    void importDown();
    void deleteDown();
    void clearDown();
    void revealFinderDown();
    void startConvertDown();
    // Stops a run: running encoders are stopped, waiting rows go back to pending.
    void stopConvertDown();
    // Opens a window with the encoder's last lines of the row's last conversion; answers it.
    QPlainTextEdit *showEncoderOutput(int row);
    // Quits, asking first during a run whether to stop the conversions (then quits once they
    // have stopped).
    void quitDown();
    void bottomSegmentDown();

signals:
    // Every batch of a drop or import has been listed.
    void loadingFinished();
    // Paths of a drop, import or hand-over that were not taken, and why.
    void inputsRefused(const QList<InputRefusal> &refused);
    // The tick that found the queue drained has restored the controls.
    void runFinished();
    // The run's share done (0..1) every tick, and not visible once it has ended.
    void runProgressChanged(double fraction, bool visible);

protected:
    void closeEvent(QCloseEvent *event) override;
    // MyTableViewDelegate
    void deleteFileDown(MyTableView *tableView) override;
    void spaceKeyDown(MyTableView *tableView) override;
    void tableViewReloaded(MyTableView *tableView) override;
    // MyTableViewDropDelegate
    Qt::DropAction validateDrop(MyTableView *tableView, const QMimeData *data,
                                MyTableViewDropPosition position) override;
    bool acceptDrop(MyTableView *tableView, const QMimeData *data,
                    MyTableViewDropPosition position) override;

private:
    void buildWindow();
    void buildRowCommands();
    void connectActions();
    void buildListParts();
    void connectRun();
    void refreshByTargetType();
    void refreshButtonState();
    void reloadList();
    void showRunStatus(const QString &text);
    void showRunProgress(double fraction, bool visible);
    void endOfRun(const RunTally::Counts &counts, bool stoppedByUser);
    // False, with the question shown, while the output folder does not exist: create it, choose
    // another (stored in the preferences) or cancel; the first two start the run.
    bool outputFolderReady();
    void askToStopAndQuit();
    // Escape: asks whether to stop the run.
    void askToStop();
    // Forgets the last run's summary once the list changes, unless a run goes on.
    void forgetRunSummary();

    MyTableView *m_tableView = nullptr;
    BottomBar *m_bar = nullptr;
    MainWindowActions *m_actions = nullptr;
    QPointer<QMessageBox> m_quitQuestion;
    std::function<void()> m_quit;
    ProblemBar *m_problemBar = nullptr;
    QString m_runStatus; // the run's line; the summary after it, until the list changes
    MediaListModel *m_model = nullptr;
    ListFeeder *m_feeder = nullptr;
    ListCommands *m_commands = nullptr;
    RunController *m_run = nullptr;
    FolderPanel::Chooser m_chooseFolder = FolderPanel::chooseFolders;
    qint64 m_currentIndex = 0;
};
