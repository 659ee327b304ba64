// Conversion runs from the main window with the real encoder: row texts, controls, the end of
// the run, and rows removed while their conversions run.
#include "ChildProcesses.h"
#include "MainWindowTestSupport.h"
#include "TestAudio.h"
#include "TestEnvironment.h"

#include "engine/OperationQueue.h"
#include "engine/PlaylistFolderLibrary.h"
#include "mainwindow/BottomBar.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/SegmentedControl.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int kRunTimeoutMs = 240000;

// The nice values of this process's running children (the encoders).
QList<int> childNiceValues()
{
    QList<int> values;
    for (const QList<QByteArray> &fields : ChildProcesses::statFields()) {
        if (fields.size() > 16)
            values << fields.at(16).toInt();
    }
    return values;
}

} // namespace

class TestMainWindowRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fullRunShowsEachStateAndRestoresControls();
    void deletingRowsDuringARunIsSafe();
    void runOfAnEmptyListEndsAtOnce();
    void queueWidthFollowsThePreference();
    void missingOutputFolderIsAskedAbout();
    void anOutputFolderThatIsAFileIsNamed();
    void failedPlaylistStepShowsOnTheRow();
    void finishedRowsAreSkippedOnlyWhenAsked();
    void upToDateRowsAreSkippedAndNotAddedToThePlaylist();
    void keptFoldersFollowTheSettingsTheRunStartedWith();

private:
    QStringList makeFiles(const QString &stem, int count);
    void loadAndWait(const QStringList &files);
    void checkControlsDuringRun();

    QTemporaryDir m_samples;
    std::unique_ptr<QTemporaryDir> m_scratch;
    RecordingWorkspace m_workspace;
    std::unique_ptr<MainWndController> m_window;
};

void TestMainWindowRun::initTestCase()
{
    // Long enough that each encoder runs across several samples of the row texts.
    QVERIFY(TestAudio::makeFlac(m_samples.filePath(QStringLiteral("tone.flac")), 30.0));
    QVERIFY(TestAudio::makeOgg(m_samples.filePath(QStringLiteral("tone.ogg")), 30.0));
    Workspace::setShared(&m_workspace);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.engine.info=false"));
    // No music library during these runs.
    UserDefaults::standard().setValue(PrefKeys::AppBSyncToiTunes, false);
}

void TestMainWindowRun::init()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    m_workspace.opened.clear();
    m_window = std::make_unique<MainWndController>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindowRun::cleanup()
{
    m_window.reset();
    m_scratch.reset();
}

QStringList TestMainWindowRun::makeFiles(const QString &stem, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const bool ogg = i % 2 == 1;
        const QString path = m_scratch->filePath(
            QStringLiteral("%1%2.%3").arg(stem).arg(i).arg(ogg ? "ogg" : "flac"));
        QFile::copy(
            m_samples.filePath(ogg ? QStringLiteral("tone.ogg") : QStringLiteral("tone.flac")),
            path);
        files << path;
    }
    return files;
}

void TestMainWindowRun::loadAndWait(const QStringList &files)
{
    m_window->loadMediasWithPaths(files, 0);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), int(files.size()), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, 60000);
}

void TestMainWindowRun::checkControlsDuringRun()
{
    QVERIFY(m_window->isConverting());
    QVERIFY(!m_window->btnStart()->isEnabled());
    QCOMPARE(m_window->btnStart()->toolTip(), QStringLiteral("Converting..."));
    QVERIFY(m_window->segmentCtl()->isSegmentEnabled(0));
    for (int segment = 1; segment <= 3; ++segment)
        QVERIFY(!m_window->segmentCtl()->isSegmentEnabled(segment));
    // Start stays off; the menu's list commands follow the rows alone, as the Delete key does.
    QVERIFY(!m_window->startAction()->isEnabled());
    QVERIFY(m_window->deleteAction()->isEnabled());
    QVERIFY(m_window->clearAction()->isEnabled());
    QVERIFY(m_window->revealAction()->isEnabled());
    QVERIFY(m_window->importAction()->isEnabled());
    QVERIFY(m_window->stopAction()->isEnabled());
    QVERIFY(!m_window->validateUserInterfaceItem(MainWndController::UserInterfaceAction::Start));
    QVERIFY(m_window->validateUserInterfaceItem(MainWndController::UserInterfaceAction::Delete));
    // The window keeps its title; the status line keeps the list's count and length.
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Wavelark"));
    QCOMPARE(m_window->lblStatus()->text(),
             MediaListModel::statusText(m_window->items().size(),
                                        m_window->listModel()->totalDuration()));
}

void TestMainWindowRun::fullRunShowsEachStateAndRestoresControls()
{
    UserDefaults::standard().setValue(PrefKeys::AppMaxConvertNum, 2);
    const QStringList files = makeFiles(QStringLiteral("song"), 3);
    loadAndWait(files);
    const QString outputFolder =
        UserDefaults::standard().stringForKey(PrefKeys::AppAudioOutputFolder);
    QVERIFY(!outputFolder.isEmpty());

    // Every text each row shows, sampled far more often than the window redraws.
    MediaListModel *model = m_window->listModel();
    QVector<QStringList> seen(files.size());
    QList<int> encoderNice;
    auto sampleTexts = [&] {
        encoderNice += childNiceValues();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text =
                model->index(row, MediaListModel::ProgressColumn).data().toString();
            if (seen[row].isEmpty() || seen[row].last() != text)
                seen[row] << text;
        }
    };
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, sampleTexts);
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);

    sampleTexts();
    QTest::mouseClick(m_window->btnStart(), Qt::LeftButton);
    sampleTexts();
    sampler.start(5);
    checkControlsDuringRun();
    QVERIFY(finished.wait(kRunTimeoutMs));
    sampler.stop();
    sampleTexts();

    const QRegularExpression percent(QStringLiteral("^\\d+\\.\\d%$"));
    for (int row = 0; row < files.size(); ++row) {
        const QStringList &texts = seen[row];
        QVERIFY2(texts.size() >= 3, qPrintable(texts.join(QLatin1String(" | "))));
        QCOMPARE(texts.first(), QStringLiteral("Pending!"));
        QCOMPARE(texts.last(), QStringLiteral("Task Finished."));
        for (int i = 1; i < texts.size() - 1; ++i)
            QVERIFY2(percent.match(texts[i]).hasMatch(), qPrintable(texts[i]));
    }
    // The encoders run below the window's priority.
    QVERIFY(!encoderNice.isEmpty());
    for (int nice : std::as_const(encoderNice))
        QVERIFY2(nice >= 10, QByteArray::number(nice));
    for (const LSMediaPtr &media : m_window->items())
        QVERIFY(QFile::exists(QDir(outputFolder).filePath(media->strOutFileName() + ".mp3")));

    QVERIFY(!m_window->isConverting());
    QVERIFY(m_window->btnStart()->isEnabled());
    QCOMPARE(m_window->btnStart()->toolTip(), QStringLiteral("Click to start!"));
    for (int segment = 0; segment <= 3; ++segment)
        QVERIFY(m_window->segmentCtl()->isSegmentEnabled(segment));
    QVERIFY(m_window->startAction()->isEnabled());
    QVERIFY(m_window->deleteAction()->isEnabled());
    QCOMPARE(m_workspace.opened, QList<QUrl>{QUrl::fromLocalFile(outputFolder)});
    // Later ticks would open it again if the timer had kept running.
    QTest::qWait(3 * 500);
    QCOMPARE(m_workspace.opened.size(), 1);
    QCOMPARE(finished.size(), 1);
}

void TestMainWindowRun::deletingRowsDuringARunIsSafe()
{
    UserDefaults::standard().setValue(PrefKeys::AppMaxConvertNum, 2);
    const QStringList files = makeFiles(QStringLiteral("gone"), 4);
    loadAndWait(files);
    std::weak_ptr<LSMedia> first = m_window->items().first();
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);

    m_window->startConvertDown();
    checkControlsDuringRun();
    QTRY_VERIFY_WITH_TIMEOUT(
        m_window->items().first()->eumCvtState() == LSMedia::CvtStateConverting, kRunTimeoutMs);

    // The Delete key works during a run even though the delete segment is disabled.
    m_window->tableView()->selectRow(0);
    QTest::ignoreMessage(QtInfoMsg, "key down...:65535");
    QTest::keyClick(m_window->tableView(), Qt::Key_Delete);
    QCOMPARE(m_window->items().size(), 3);
    m_window->clearDown();
    QCOMPARE(m_window->items().size(), 0);
    QVERIFY(m_window->isConverting());

    QVERIFY(finished.wait(kRunTimeoutMs));
    // Nothing was converted: there is no folder to show.
    QVERIFY(m_workspace.opened.isEmpty());
    // The removed rows' conversions have let go of their items.
    QVERIFY(first.expired());
    QVERIFY(!m_window->btnStart()->isEnabled()); // the list is empty now
}

void TestMainWindowRun::runOfAnEmptyListEndsAtOnce()
{
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    QVERIFY(m_window->isConverting());
    QVERIFY(finished.wait(10000));
    // A run that converted nothing does not open the output folder.
    QVERIFY(m_workspace.opened.isEmpty());
    QVERIFY(!m_window->isConverting());
    QVERIFY(m_window->bottomBar()->runStatus()->text().startsWith(QStringLiteral("0 converted")));
}

// The stored folder is on a disk that is not connected: Start asks, and the answer decides.
void TestMainWindowRun::missingOutputFolderIsAskedAbout()
{
    UserDefaults &store = UserDefaults::standard();
    const QString gone = m_scratch->filePath(QStringLiteral("unplugged/Audio"));
    const QString other = m_scratch->filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));
    store.setValue(PrefKeys::AppAudioOutputFolder, gone);
    QList<QUrl> chosen{QUrl::fromLocalFile(other)};
    m_window->setFolderChooser(
        [&chosen](QWidget *, bool, const FolderPanel::Accepted &accepted) { accepted(chosen); });
    loadAndWait(makeFiles(QStringLiteral("asked"), 1));
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);

    auto answer = [this](const QString &button) {
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = m_window->findChild<QMessageBox *>(
                         QStringLiteral("missingOutputFolder"))) != nullptr);
        QVERIFY(box->text().contains(QStringLiteral("does not exist")));
        for (QAbstractButton *candidate : box->buttons()) {
            if (candidate->text() == button) {
                candidate->click();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button ") + button));
    };

    // Cancel: nothing runs, nothing is made, the preference stays.
    m_window->startConvertDown();
    QVERIFY(!m_window->isConverting());
    answer(QStringLiteral("Cancel"));
    QTRY_VERIFY(!m_window->findChild<QMessageBox *>(QStringLiteral("missingOutputFolder")));
    QVERIFY(!m_window->isConverting());
    QVERIFY(!QFileInfo::exists(gone));
    QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder), gone);

    // Choose another: stored, and the run goes there.
    m_window->startConvertDown();
    answer(QStringLiteral("Choose Another..."));
    QVERIFY(m_window->isConverting());
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder), other);
    QCOMPARE(QDir(other).entryList(QDir::Files), QStringList{QStringLiteral("asked0.mp3")});

    // Create: the stored folder is made and used.
    store.setValue(PrefKeys::AppAudioOutputFolder, gone);
    m_window->startConvertDown();
    answer(QStringLiteral("Create Folder"));
    QVERIFY(m_window->isConverting());
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(QDir(gone).entryList(QDir::Files), QStringList{QStringLiteral("asked0.mp3")});

    store.removeObjectForKey(PrefKeys::AppAudioOutputFolder);
}

// A file where the folder should be is named as such: no disk to connect, nothing to create.
void TestMainWindowRun::anOutputFolderThatIsAFileIsNamed()
{
    UserDefaults &store = UserDefaults::standard();
    const QString file = m_scratch->filePath(QStringLiteral("a-file"));
    QFile(file).open(QIODevice::WriteOnly);
    store.setValue(PrefKeys::AppAudioOutputFolder, file);
    auto forget =
        qScopeGuard([&store] { store.removeObjectForKey(PrefKeys::AppAudioOutputFolder); });
    m_window->startConvertDown();
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = m_window->findChild<QMessageBox *>(QStringLiteral("missingOutputFolder"))) !=
                nullptr);
    QVERIFY2(box->text().contains(QStringLiteral("is a file")), qPrintable(box->text()));
    for (QAbstractButton *candidate : box->buttons())
        QVERIFY(candidate->text() != QStringLiteral("Create Folder"));
    box->button(QMessageBox::Cancel)->click();
    QVERIFY(!m_window->isConverting());
}

// Converted, but the library refused the output: the row says failed and why.
// Start converts every row again unless "Skip finished files when starting again" is on.
void TestMainWindowRun::finishedRowsAreSkippedOnlyWhenAsked()
{
    UserDefaults &store = UserDefaults::standard();
    const QString out = m_scratch->filePath(QStringLiteral("skip-out"));
    QVERIFY(QDir().mkpath(out));
    store.setValue(PrefKeys::AppAudioOutputFolder, out);
    const QStringList files = makeFiles(QStringLiteral("again"), 2);
    loadAndWait(files);
    auto runAndWait = [this] {
        QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
        m_window->startConvertDown();
        QVERIFY(finished.wait(kRunTimeoutMs));
    };
    auto outputs = [&out] { return QDir(out).entryList(QDir::Files, QDir::Name); };

    runAndWait();
    QCOMPARE(outputs(), QStringList({"again0.mp3", "again1.mp3"}));

    // A file added later is the only one converted; the finished rows stay finished.
    store.setValue(PrefKeys::AppSkipFinished, true);
    const QStringList later = makeFiles(QStringLiteral("later"), 1);
    m_window->loadMediasWithPaths(later, 2);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), 3, 60000);
    runAndWait();
    QCOMPARE(outputs(), QStringList({"again0.mp3", "again1.mp3", "later0.mp3"}));
    for (const LSMediaPtr &media : m_window->items())
        QCOMPARE(media->eumCvtState(), qint32(LSMedia::CvtStateFinished));

    // With every row finished, Start converts nothing and says why.
    runAndWait();
    QCOMPARE(outputs().size(), 3);
    QCOMPARE(m_window->bottomBar()->runStatus()->text(),
             QStringLiteral("Nothing to convert: all 3 files are finished already"));

    // Off (the default): every row again, under numbered names.
    store.removeObjectForKey(PrefKeys::AppSkipFinished);
    runAndWait();
    QCOMPARE(outputs().size(), 6);
    QVERIFY(outputs().contains("again0(1).mp3"));
}

void TestMainWindowRun::failedPlaylistStepShowsOnTheRow()
{
    UserDefaults &store = UserDefaults::standard();
    store.setValue(PrefKeys::AppBSyncToiTunes, true);
    const QString lockPath =
        TestEnvironment::home() + QStringLiteral("/Music/.wavelark-library.lock");
    QVERIFY(QDir().mkpath(lockPath));
    loadAndWait(makeFiles(QStringLiteral("unsynced"), 1));
    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    const bool ended = finished.wait(kRunTimeoutMs);
    QDir(lockPath).removeRecursively();
    store.setValue(PrefKeys::AppBSyncToiTunes, false);
    QVERIFY(ended);

    const QModelIndex progress = m_window->listModel()->index(0, MediaListModel::ProgressColumn);
    QCOMPARE(progress.data().toString(), QStringLiteral("Failed!"));
    const QString why = progress.data(Qt::ToolTipRole).toString();
    QVERIFY2(why.contains(QStringLiteral("not added to the playlist")) &&
                 why.contains(QStringLiteral("is not a file")),
             qPrintable(why));
}

// Two albums with a song of the same name into the flat output folder, from the window: both are
// converted, Start again skips both, a changed B is converted alone into its own output, the
// playlist lists each song once; a file at an output name that the window did not make is never
// taken for an output.
void TestMainWindowRun::upToDateRowsAreSkippedAndNotAddedToThePlaylist()
{
    UserDefaults &store = UserDefaults::standard();
    const QString out = m_scratch->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    store.setValue(PrefKeys::AppAudioOutputFolder, out);
    store.setValue(PrefKeys::AppSkipConverted, true);
    store.setValue(PrefKeys::AppBSyncToiTunes, true);
    store.setValue(PrefKeys::PlaylistName, QStringLiteral("Skip Test"));
    auto restore = qScopeGuard([&store] {
        store.removeObjectForKey(PrefKeys::AppAudioOutputFolder);
        store.removeObjectForKey(PrefKeys::AppSkipConverted);
        store.removeObjectForKey(PrefKeys::PlaylistName);
        store.setValue(PrefKeys::AppBSyncToiTunes, false);
    });
    const QString a = m_scratch->filePath(QStringLiteral("A/01 Intro.flac"));
    const QString b = m_scratch->filePath(QStringLiteral("B/01 Intro.flac"));
    const QString foreign = m_scratch->filePath(QStringLiteral("C/02 Outro.flac"));
    for (const QString &file : {a, b, foreign}) {
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(QFile::copy(m_samples.filePath(QStringLiteral("tone.flac")), file));
    }
    // Another program's file at C's output name.
    QFile existing(out + QStringLiteral("/02 Outro.mp3"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("not made from C");
    existing.close();
    loadAndWait({a, b, foreign});
    MediaListModel *model = m_window->listModel();
    const auto states = [model] {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, MediaListModel::ProgressColumn).data().toString();
        return texts;
    };
    const auto runOnce = [this] {
        QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
        m_window->startConvertDown();
        return finished.wait(kRunTimeoutMs);
    };

    QVERIFY(runOnce());
    QCOMPARE(states(), QStringList(3, QStringLiteral("Task Finished.")));
    QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("01 Intro(1).mp3"), QStringLiteral("01 Intro.mp3"),
                          QStringLiteral("02 Outro(1).mp3"), QStringLiteral("02 Outro.mp3")}));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("not made from C"));
    existing.close();

    QVERIFY(runOnce());
    QCOMPARE(states(), QStringList(3, QStringLiteral("Up to date.")));

    const struct timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(b).constData(), later, 0), 0);
    QVERIFY(runOnce());
    QCOMPARE(states(), QStringList({QStringLiteral("Up to date."), QStringLiteral("Task Finished."),
                                    QStringLiteral("Up to date.")}));
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
    // The first run's conversions end in any order, and so are they listed.
    QStringList entries = PlaylistFolderLibrary::readEntries(
        TestEnvironment::home() + QStringLiteral("/Music/Skip Test.m3u8"));
    entries.sort();
    QCOMPARE(entries, QStringList({out + QStringLiteral("/01 Intro(1).mp3"),
                                   out + QStringLiteral("/01 Intro.mp3"),
                                   out + QStringLiteral("/02 Outro(1).mp3")}));
    const QString summary = m_window->bottomBar()->runStatus()->text();
    QVERIFY2(summary.startsWith(QStringLiteral("1 converted, 2 up to date")), qPrintable(summary));
}

// "Keep folder structure": a dropped folder's layout is mirrored below the output folder, as the
// run read the setting when it started, even when the pane turns it off meanwhile.
void TestMainWindowRun::keptFoldersFollowTheSettingsTheRunStartedWith()
{
    UserDefaults &store = UserDefaults::standard();
    const QString out = m_scratch->filePath(QStringLiteral("kept-out"));
    QVERIFY(QDir().mkpath(out));
    store.setValue(PrefKeys::AppAudioOutputFolder, out);
    store.setValue(PrefKeys::AppKeepFolderStructure, true);
    auto restore = qScopeGuard([&store] {
        store.removeObjectForKey(PrefKeys::AppAudioOutputFolder);
        store.removeObjectForKey(PrefKeys::AppKeepFolderStructure);
    });
    const QString album = m_scratch->filePath(QStringLiteral("Album"));
    for (const QString &disc : {QStringLiteral("Disc 1"), QStringLiteral("Disc 2")}) {
        QVERIFY(QDir().mkpath(album + QLatin1Char('/') + disc));
        QVERIFY(QFile::copy(m_samples.filePath(QStringLiteral("tone.flac")),
                            album + QLatin1Char('/') + disc + QStringLiteral("/01 Intro.flac")));
    }
    m_window->loadMediasWithPaths({album}, 0);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), 2, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, 60000);

    QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
    m_window->startConvertDown();
    // The pane commits "flat" and another folder while the run goes on.
    store.setValue(PrefKeys::AppKeepFolderStructure, false);
    store.setValue(PrefKeys::AppAudioOutputFolder, m_scratch->path());
    QVERIFY(finished.wait(kRunTimeoutMs));

    for (const LSMediaPtr &media : m_window->items())
        QCOMPARE(media->eumCvtState(), qint32(LSMedia::CvtStateFinished));
    QVERIFY(QFileInfo(out + QStringLiteral("/Disc 1/01 Intro.mp3")).size() > 0);
    QVERIFY(QFileInfo(out + QStringLiteral("/Disc 2/01 Intro.mp3")).size() > 0);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
    QCOMPARE(m_workspace.opened, QList<QUrl>({QUrl::fromLocalFile(out)}));
}

void TestMainWindowRun::queueWidthFollowsThePreference()
{
    UserDefaults::standard().setValue(PrefKeys::AppMaxConvertNum, 5);
    MainWndController window;
    QCOMPARE(window.queue()->maxConcurrentOperationCount(), 5);
    UserDefaults::standard().setValue(PrefKeys::AppMaxConvertNum, 2);
    QCOMPARE(window.queue()->maxConcurrentOperationCount(), 2);
}

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowRun)
#include "tst_MainWindowRun.moc"
