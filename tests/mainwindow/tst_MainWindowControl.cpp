// The user's control over a run in the main window, with the real encoder: stopping, pausing,
// quitting during a run, removing a converting row; why a file failed or will fail; the run's
// progress in the status line and the window title.
#include "ChildProcesses.h"
#include "MainWindowTestSupport.h"
#include "TestAudio.h"
#include "mainwindow/RunController.h"

#include "engine/OperationQueue.h"
#include "mainwindow/BottomBar.h"
#include "mainwindow/ListFeeder.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/ProblemBar.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

constexpr int kRunTimeoutMs = 240000;

// The process states ('R', 'S', 'T' for stopped...) of this process's children: the encoders.
QList<char> encoderStates()
{
    QList<char> states;
    for (const QList<QByteArray> &fields : ChildProcesses::statFields())
        states << fields.at(0).at(0);
    return states;
}

} // namespace

class TestMainWindowControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stopEndsTheRunAndKeepsWaitingRowsPending();
    void quitDuringARunAsksThenStopsAndQuits();
    void pauseHoldsTheRunAndResumeFinishesItWhole();
    void stoppingOrQuittingWhilePausedLeavesNothing();
    void removingAConvertingRowStopsItsEncoder();
    void failedRowShowsItsReasonAndTheEncoderOutput();
    void filesThatCannotConvertAreNamedWhenAdded();
    void thousandsOfRefusedPathsAreCountedInOrderAndLoggedBriefly();
    void statusLineFollowsTheRunAndSumsItUp();

private:
    QStringList copies(const QString &sample, const QString &stem, int count);
    void loadAndWait(const QStringList &files);
    // Starts the loaded rows and pauses once an encoder runs; false when that did not happen.
    bool startThenPauseAnEncoder();
    QStringList outputsStartingWith(const QString &stem) const;
    QStringList temporaries() const;

    QTemporaryDir m_samples;
    std::unique_ptr<QTemporaryDir> m_scratch;
    RecordingWorkspace m_workspace;
    std::unique_ptr<MainWndController> m_window;
    QString m_output;
    int m_quits = 0;
};

void TestMainWindowControl::initTestCase()
{
    // Long enough that a stop surely finds the encoder running.
    QVERIFY(TestAudio::makeFlac(m_samples.filePath(QStringLiteral("long.flac")), 900.0));
    QVERIFY(TestAudio::makeFlac(m_samples.filePath(QStringLiteral("short.flac")), 3.0));
    Workspace::setShared(&m_workspace);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.engine.info=false"));
    UserDefaults::standard().setValue(PrefKeys::AppBSyncToiTunes, true);
    UserDefaults::standard().setValue(PrefKeys::PlaylistName, QStringLiteral("Control"));
    m_output = TestEnvironment::home() + QStringLiteral("/converted");
    QVERIFY(QDir().mkpath(m_output));
    UserDefaults::standard().setValue(PrefKeys::AppAudioOutputFolder, m_output);
}

void TestMainWindowControl::init()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    m_workspace.opened.clear();
    m_quits = 0;
    m_window = std::make_unique<MainWndController>();
    m_window->setQuitHandler([this] { ++m_quits; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindowControl::cleanup()
{
    m_window.reset();
    m_scratch.reset();
}

QStringList TestMainWindowControl::copies(const QString &sample, const QString &stem, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = m_scratch->filePath(QStringLiteral("%1%2.flac").arg(stem).arg(i));
        QFile::copy(m_samples.filePath(sample), path);
        files << path;
    }
    return files;
}

void TestMainWindowControl::loadAndWait(const QStringList &files)
{
    m_window->loadMediasWithPaths(files, 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, 60000);
}

QStringList TestMainWindowControl::outputsStartingWith(const QString &stem) const
{
    return QDir(m_output).entryList({stem + QLatin1Char('*')}, QDir::Files);
}

QStringList TestMainWindowControl::temporaries() const
{
    return QDir(m_output).entryList({QStringLiteral(".wavelark-part-*")},
                                    QDir::Files | QDir::Hidden);
}

QString playlistText()
{
    QFile file(TestEnvironment::home() + QStringLiteral("/Music/Control.m3u8"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void TestMainWindowControl::stopEndsTheRunAndKeepsWaitingRowsPending()
{
    m_window->queue()->setMaxConcurrentOperationCount(2);
    loadAndWait(copies(QStringLiteral("long.flac"), QStringLiteral("stopped"), 4));
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    QVERIFY(!m_window->btnStop()->isEnabled());
    m_window->startConvertDown();
    QVERIFY(m_window->btnStop()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(int(temporaries().size()), 2, kRunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->items().at(1)->dProgress() > 0.0f, kRunTimeoutMs);

    // Escape asks first, and going on is the default answer: one stray press ends nothing.
    const auto stopQuestion = [this] {
        return m_window->findChild<QMessageBox *>(QStringLiteral("stopQuestion"));
    };
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QTRY_VERIFY(stopQuestion());
    QCOMPARE(stopQuestion()->defaultButton()->text(), QStringLiteral("Continue"));
    QTest::keyClick(stopQuestion(), Qt::Key_Return);
    QTRY_VERIFY(!stopQuestion());
    QVERIFY(m_window->isConverting());
    QVERIFY(m_window->btnStop()->isEnabled());

    // Answering Stop stops the run.
    m_window->activateWindow();
    QTRY_VERIFY(m_window->isActiveWindow());
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QTRY_VERIFY(stopQuestion());
    for (QAbstractButton *button : stopQuestion()->buttons()) {
        if (stopQuestion()->buttonRole(button) == QMessageBox::DestructiveRole)
            button->click();
    }
    QVERIFY(!m_window->btnStop()->isEnabled());
    QVERIFY(finished.wait(kRunTimeoutMs));

    const QList<LSMediaPtr> items = m_window->items();
    QCOMPARE(items.at(0)->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
    QCOMPARE(items.at(1)->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
    QCOMPARE(items.at(2)->eumCvtState(), qint32(LSMedia::CvtStatePending));
    QCOMPARE(items.at(3)->eumCvtState(), qint32(LSMedia::CvtStatePending));
    QCOMPARE(outputsStartingWith(QStringLiteral("stopped")), QStringList());
    QCOMPARE(temporaries(), QStringList());
    QVERIFY(!playlistText().contains(QStringLiteral("stopped")));
    // A stopped run does not open the output folder, and Start works again.
    QCOMPARE(m_workspace.opened.size(), 0);
    QVERIFY(m_window->btnStart()->isEnabled());
    QVERIFY(!m_window->isConverting());
}

void TestMainWindowControl::quitDuringARunAsksThenStopsAndQuits()
{
    loadAndWait(copies(QStringLiteral("long.flac"), QStringLiteral("quitting"), 1));
    m_window->startConvertDown();
    QTRY_COMPARE_WITH_TIMEOUT(int(temporaries().size()), 1, kRunTimeoutMs);

    // Cancelling the question changes nothing.
    m_window->quitDown();
    QMessageBox *question = m_window->quitQuestion();
    QVERIFY(question);
    question->button(QMessageBox::Cancel)->click();
    QTRY_VERIFY(!m_window->quitQuestion());
    QVERIFY(m_window->isConverting());
    QCOMPARE(m_quits, 0);

    // Closing the window asks too; confirming stops the encoders, then quits.
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->close();
    QVERIFY(m_window->isVisible());
    question = m_window->quitQuestion();
    QVERIFY(question);
    QAbstractButton *stopAndQuit = nullptr;
    for (QAbstractButton *button : question->buttons()) {
        if (question->buttonRole(button) == QMessageBox::AcceptRole)
            stopAndQuit = button;
    }
    QVERIFY(stopAndQuit);
    stopAndQuit->click();
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(m_quits, 1);
    QCOMPARE(outputsStartingWith(QStringLiteral("quitting")), QStringList());
    QCOMPARE(temporaries(), QStringList());

    // Without a run, quitting asks nothing.
    m_window->quitDown();
    QCOMPARE(m_quits, 2);
    QVERIFY(!m_window->quitQuestion());
}

bool TestMainWindowControl::startThenPauseAnEncoder()
{
    m_window->startConvertDown();
    if (!QTest::qWaitFor([] { return encoderStates().size() == 1; }, kRunTimeoutMs))
        return false;
    m_window->btnPause()->click();
    return QTest::qWaitFor([] { return encoderStates() == QList<char>{'T'}; }, 20000);
}

// Pause holds the running encoder and starts no further file, with the clock standing still;
// Resume lets the run end with outputs as long as an unpaused run's.
void TestMainWindowControl::pauseHoldsTheRunAndResumeFinishesItWhole()
{
    QVERIFY(TestAudio::makeFlac(m_samples.filePath(QStringLiteral("medium.flac")), 240.0));
    m_window->queue()->setMaxConcurrentOperationCount(1);
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    loadAndWait(copies(QStringLiteral("medium.flac"), QStringLiteral("unpaused"), 1));
    m_window->startConvertDown();
    QVERIFY(finished.wait(kRunTimeoutMs));
    const double unpausedLength =
        TestAudio::probeDuration(m_output + QStringLiteral("/unpaused0.mp3"));
    QVERIFY(unpausedLength > 230.0);
    m_window->clearDown();

    loadAndWait(copies(QStringLiteral("medium.flac"), QStringLiteral("paused"), 2));
    QVERIFY(!m_window->btnPause()->isEnabled());
    QVERIFY(!m_window->pauseAction()->isEnabled());
    QVERIFY(startThenPauseAnEncoder());
    QCOMPARE(m_window->btnPause()->text(), QStringLiteral("Resume"));
    QCOMPARE(m_window->pauseAction()->text(), QStringLiteral("Resume Converting"));
    QVERIFY(m_window->pauseAction()->isEnabled());
    QLabel *runLine = m_window->bottomBar()->runStatus();
    QTRY_VERIFY(runLine->text().endsWith(QStringLiteral("paused")));
    const double heldAt = m_window->run()->counts().seconds;
    QTest::qWait(1500);
    QCOMPARE(encoderStates(), QList<char>{'T'});
    QCOMPARE(m_window->run()->counts().seconds, heldAt);
    QCOMPARE(m_window->items().at(1)->eumCvtState(), qint32(LSMedia::CvtStatePending));

    m_window->pauseAction()->trigger();
    QCOMPARE(m_window->btnPause()->text(), QStringLiteral("Pause"));
    QVERIFY(finished.wait(kRunTimeoutMs));
    for (const QString &name : {QStringLiteral("paused0.mp3"), QStringLiteral("paused1.mp3")})
        QCOMPARE(TestAudio::probeDuration(m_output + QLatin1Char('/') + name), unpausedLength);
    QCOMPARE(temporaries(), QStringList());
    QVERIFY(m_window->run()->counts().seconds >= heldAt);
    QVERIFY(!m_window->btnPause()->isEnabled());
}

// A paused encoder still ends when the run is stopped, from the Stop button or by quitting
// (which asks as during any run): no encoder is left, held or not, and no output is kept.
void TestMainWindowControl::stoppingOrQuittingWhilePausedLeavesNothing()
{
    m_window->queue()->setMaxConcurrentOperationCount(1);
    loadAndWait(copies(QStringLiteral("long.flac"), QStringLiteral("held"), 2));
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);

    QVERIFY(startThenPauseAnEncoder());
    m_window->btnStop()->click();
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(encoderStates(), QList<char>());
    QCOMPARE(outputsStartingWith(QStringLiteral("held")), QStringList());
    QCOMPARE(temporaries(), QStringList());
    QCOMPARE(m_window->btnPause()->text(), QStringLiteral("Pause"));
    QVERIFY(!m_window->btnPause()->isEnabled());

    QVERIFY(startThenPauseAnEncoder());
    m_window->quitDown();
    QMessageBox *question = m_window->quitQuestion();
    QVERIFY(question);
    for (QAbstractButton *button : question->buttons()) {
        if (question->buttonRole(button) == QMessageBox::AcceptRole)
            button->click();
    }
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(m_quits, 1);
    QCOMPARE(encoderStates(), QList<char>());
    QCOMPARE(outputsStartingWith(QStringLiteral("held")), QStringList());
    QCOMPARE(temporaries(), QStringList());
}

void TestMainWindowControl::removingAConvertingRowStopsItsEncoder()
{
    m_window->queue()->setMaxConcurrentOperationCount(2);
    loadAndWait(copies(QStringLiteral("long.flac"), QStringLiteral("removed"), 1) +
                copies(QStringLiteral("short.flac"), QStringLiteral("kept"), 1));
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->items().at(0)->dProgress() > 0.0f, kRunTimeoutMs);
    const LSMediaPtr removed = m_window->items().at(0);

    m_window->tableView()->selectRow(0);
    m_window->deleteDown();
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(removed->eumCvtState(), qint32(LSMedia::CvtStateCanceled));
    QCOMPARE(outputsStartingWith(QStringLiteral("removed")), QStringList());
    QCOMPARE(temporaries(), QStringList());
    QVERIFY(!playlistText().contains(QStringLiteral("removed")));
    QCOMPARE(outputsStartingWith(QStringLiteral("kept")), QStringList{QStringLiteral("kept0.mp3")});
    QVERIFY(playlistText().contains(QStringLiteral("kept0.mp3")));
}

void TestMainWindowControl::failedRowShowsItsReasonAndTheEncoderOutput()
{
    const QString broken = m_scratch->filePath(QStringLiteral("broken.flac"));
    {
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    loadAndWait({broken});
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    QVERIFY(finished.wait(kRunTimeoutMs));

    const QModelIndex cell = m_window->listModel()->index(0, MediaListModel::ProgressColumn);
    QCOMPARE(cell.data().toString(), QStringLiteral("Canceled."));
    const QString tip = cell.data(Qt::ToolTipRole).toString();
    // The encoder's verdict on the input, not its closing words.
    QVERIFY2(tip.startsWith(QStringLiteral("Failed: ")) && tip.contains(QStringLiteral("flac")) &&
                 !tip.contains(QStringLiteral("Conversion failed!")),
             qPrintable(tip));
    QVERIFY(!cell.data(Qt::DecorationRole).isNull());

    m_window->tableView()->selectRow(0);
    m_window->tableView()->setCurrentIndex(cell);
    m_window->tableView()->reloadData();
    QVERIFY(m_window->showOutputAction()->isEnabled());
    QPlainTextEdit *output = m_window->showEncoderOutput(0);
    QVERIFY(output);
    QVERIFY(output->toPlainText().contains(QStringLiteral("Conversion failed!")));
    output->close();

    // The run's summary beside the bar counts it.
    const QString summary = m_window->bottomBar()->runStatus()->text();
    QVERIFY2(summary.contains(QStringLiteral("1 failed")), qPrintable(summary));
}

void TestMainWindowControl::filesThatCannotConvertAreNamedWhenAdded()
{
    const QString broken = m_scratch->filePath(QStringLiteral("random.flac"));
    const QString empty = m_scratch->filePath(QStringLiteral("empty.ogg"));
    const QString text = m_scratch->filePath(QStringLiteral("notes.txt"));
    const QString missing = m_scratch->filePath(QStringLiteral("missing.flac"));
    for (const QString &path : {broken, empty, text}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (path != empty)
            file.write(QByteArray(2048, 'r'));
    }
    const QString good = copies(QStringLiteral("short.flac"), QStringLiteral("good"), 1).first();
    QVERIFY(!m_window->problemBar()->isVisible());
    loadAndWait({broken, empty, text, missing, good});

    // What the extension filter lets in is listed, as before.
    QCOMPARE(m_window->items().size(), 3);
    ProblemBar *bar = m_window->problemBar();
    QVERIFY(bar->isVisible());
    QMap<QString, QString> reasons;
    for (const ProblemBar::Problem &problem : bar->problems())
        reasons.insert(QFileInfo(problem.path).fileName(), problem.reason);
    QCOMPARE(reasons.keys(),
             (QStringList{QStringLiteral("empty.ogg"), QStringLiteral("missing.flac"),
                          QStringLiteral("notes.txt"), QStringLiteral("random.flac")}));
    QVERIFY2(reasons.value(QStringLiteral("missing.flac"))
                 .contains(QStringLiteral("no such file"), Qt::CaseInsensitive),
             qPrintable(reasons.value(QStringLiteral("missing.flac"))));
    // A file of another kind says how it would be taken.
    QCOMPARE(reasons.value(QStringLiteral("notes.txt")),
             QStringLiteral("not a FLAC or Ogg file; to convert it, turn on \"Also convert other "
                            "audio files\" in the preferences"));
    QCOMPARE(reasons.value(QStringLiteral("empty.ogg")), QStringLiteral("the file is empty"));
    QVERIFY(
        reasons.value(QStringLiteral("random.flac")).startsWith(QStringLiteral("not readable")));
    QVERIFY(bar->text().contains(QStringLiteral("4 files cannot be converted")));

    // Their rows say so at once; the good one says nothing.
    for (int row = 0; row < 3; ++row) {
        const LSMediaPtr media = m_window->listModel()->itemAt(row);
        const QModelIndex cell = m_window->listModel()->index(row, MediaListModel::ProgressColumn);
        const QString tip = cell.data(Qt::ToolTipRole).toString();
        if (media->filePath() == good) {
            QVERIFY(tip.isEmpty());
        } else {
            QVERIFY2(tip.startsWith(QStringLiteral("Will not convert: ")), qPrintable(tip));
            QVERIFY(!cell.data(Qt::DecorationRole).isNull());
        }
    }

    // The bar offers to take the listed ones out; otherwise they stay and fail with their reason.
    QVERIFY(bar->removeButton()->isVisible());
    bar->removeButton()->click();
    QVERIFY(!bar->isVisible());
    QVERIFY(bar->problems().isEmpty());
    QCOMPARE(m_window->items().size(), 1);
    QCOMPARE(m_window->items().first()->filePath(), good);

    // Clear takes the bar away with the rows.
    loadAndWait({broken, good});
    QVERIFY(bar->isVisible());
    m_window->clearDown();
    QVERIFY(!bar->isVisible());
}

namespace {
QStringList g_mainWindowLines;
void keepMainWindowLines(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "wavelark.mainwindow") == 0)
        g_mainWindowLines << text;
}
} // namespace

// A later start may hand over thousands of paths that are not taken: the bar counts every one in
// the order given, while its tooltip and the log name only the first few.
void TestMainWindowControl::thousandsOfRefusedPathsAreCountedInOrderAndLoggedBriefly()
{
    constexpr int kPaths = 2500;
    QStringList missing;
    for (int i = 0; i < kPaths; ++i)
        missing << m_scratch->filePath(QStringLiteral("gone%1.flac").arg(i));
    g_mainWindowLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMainWindowLines);
    loadAndWait(missing);
    qInstallMessageHandler(previous);

    ProblemBar *bar = m_window->problemBar();
    QStringList named;
    for (const ProblemBar::Problem &problem : bar->problems())
        named << problem.path;
    QCOMPARE(named, missing);
    QVERIFY(bar->text().startsWith(QStringLiteral("2500 files cannot be converted: gone0.flac")));
    const QStringList tip = bar->toolTip().split(QLatin1Char('\n'));
    QCOMPARE(tip.size(), ProblemBar::kTooltipNames + 1);
    QCOMPARE(tip.last(), QStringLiteral("and %1 more").arg(kPaths - ProblemBar::kTooltipNames));

    const QStringList skipped = g_mainWindowLines.filter(QStringLiteral("skipped "));
    QVERIFY2(skipped.size() >= ListFeeder::kLoggedRefusals && skipped.size() < 200,
             qPrintable(QString::number(skipped.size())));
    QCOMPARE(skipped.first(),
             QStringLiteral("skipped %1: No such file or directory").arg(missing.first()));
    m_window->clearDown();
}

// The status line keeps the list's count and total length during and after a run; the run's own
// line and its summary stand beside the overall bar, and the title stays the product's name.
void TestMainWindowControl::statusLineFollowsTheRunAndSumsItUp()
{
    m_window->queue()->setMaxConcurrentOperationCount(1);
    loadAndWait(copies(QStringLiteral("long.flac"), QStringLiteral("progress"), 1) +
                copies(QStringLiteral("short.flac"), QStringLiteral("progress-short"), 1));
    const QString listStatus =
        MediaListModel::statusText(2, m_window->listModel()->totalDuration());
    QCOMPARE(m_window->lblStatus()->text(), listStatus);
    QLabel *runLine = m_window->bottomBar()->runStatus();
    QSignalSpy progress(m_window.get(), &MainWndController::runProgressChanged);
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    QVERIFY(m_window->overallBar()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(runLine->text().contains(QStringLiteral(" left")), kRunTimeoutMs);
    QVERIFY2(runLine->text().startsWith(QStringLiteral("0 of 2 files")),
             qPrintable(runLine->text()));
    QCOMPARE(m_window->lblStatus()->text(), listStatus);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Wavelark"));
    QVERIFY(progress.size() > 0);
    QCOMPARE(progress.last().at(1).toBool(), true);

    m_window->stopConvertDown();
    QVERIFY(finished.wait(kRunTimeoutMs));
    QVERIFY(!m_window->overallBar()->isVisible());
    QCOMPARE(progress.last().at(1).toBool(), false);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Wavelark"));
    QCOMPARE(m_window->lblStatus()->text(), listStatus);
    // The converting row and the one waiting behind it were both stopped.
    QVERIFY2(runLine->text().startsWith(QStringLiteral("0 converted, 0 failed, 2 stopped in ")),
             qPrintable(runLine->text()));
    // Until the list changes.
    m_window->clearDown();
    QVERIFY(runLine->text().isEmpty());
    QCOMPARE(m_window->lblStatus()->text(), QString());
}

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowControl)
#include "tst_MainWindowControl.moc"
