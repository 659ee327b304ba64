// Files and folders dropped on (or imported into) the main window's list, the list's keys, its
// buttons and status line.
#include "MainWindowTestSupport.h"
#include "TestAudio.h"

#include "Shared/GlobalFun.h"
#include "mainwindow/JKDropInTipsView.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/MediaOpenDialog.h"
#include "mainwindow/SegmentedControl.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/MVTrustedPathViewCtl.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kLoadTimeoutMs = 60000;
}

class TestMainWindowDrops : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void threeFilesDroppedAtRowTwoLandInOrder();
    void folderAddsEverySupportedFileAndIsTrustedOnce();
    void largeFolderKeepsItsOrderFromTheDropRowOn();
    void rowsRemovedWhileLoadingDoNotDisplaceTheBatch();
    void importWhileAFolderLoadsKeepsBothBatchesWhole();
    void dropOntoRowIsRefused();
    void onlySupportedPathsAreKept_data();
    void onlySupportedPathsAreKept();
    void draggingNearTheLowerEdgeScrollsALongList();
    void deleteKeysRemoveSelectedRowsAndSpaceDoesNothing();
    void buttonsStatusLineAndPromptFollowTheList();
    void revealShowsTheSelectedFile();
    void importPutsChosenFilesAtTheTop();
    void pathsGivenToTheProgramAreImportedInOrderAtTheTop();

private:
    // A copy of the one-second sample under `name` (relative to the scratch folder).
    QString sample(const QString &name);
    QStringList paths() const;
    void dropAndWait(const QStringList &files, const QPoint &pos, int expectedCount);

    QTemporaryDir m_samples;
    std::unique_ptr<QTemporaryDir> m_scratch;
    RecordingWorkspace m_workspace;
    std::unique_ptr<MVTrustedPathViewCtl> m_trusted;
    std::unique_ptr<MainWndController> m_window;
};

void TestMainWindowDrops::initTestCase()
{
    QVERIFY(TestAudio::makeFlac(m_samples.filePath(QStringLiteral("tone.flac")), 1.0));
    QVERIFY(TestAudio::makeOgg(m_samples.filePath(QStringLiteral("tone.ogg")), 1.0));
    Workspace::setShared(&m_workspace);
}

void TestMainWindowDrops::init()
{
    m_scratch = std::make_unique<QTemporaryDir>();
    UserDefaults::standard().removeObjectForKey(PrefKeys::Bookmarks);
    UserDefaults::standard().removeObjectForKey(PrefKeys::AppSupportVob);
    m_workspace.opened.clear();
    m_workspace.selected.clear();
    m_trusted = std::make_unique<MVTrustedPathViewCtl>();
    m_window = std::make_unique<MainWndController>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindowDrops::cleanup()
{
    m_window.reset();
    m_trusted.reset();
    m_scratch.reset();
}

QString TestMainWindowDrops::sample(const QString &name)
{
    const QString path = m_scratch->filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool ogg = name.endsWith(QLatin1String(".ogg"), Qt::CaseInsensitive);
    QFile::copy(m_samples.filePath(ogg ? QStringLiteral("tone.ogg") : QStringLiteral("tone.flac")),
                path);
    return path;
}

QStringList TestMainWindowDrops::paths() const
{
    QStringList result;
    for (const LSMediaPtr &media : m_window->items())
        result << media->filePath();
    return result;
}

void TestMainWindowDrops::dropAndWait(const QStringList &files, const QPoint &pos,
                                      int expectedCount)
{
    const DropOutcome outcome = dropPaths(m_window->tableView(), files, pos);
    QVERIFY(outcome.hoverAccepted);
    QVERIFY(outcome.dropAccepted);
    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), expectedCount, kLoadTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, kLoadTimeoutMs);
}

void TestMainWindowDrops::threeFilesDroppedAtRowTwoLandInOrder()
{
    QStringList first;
    for (int i = 0; i < 5; ++i)
        first << sample(QStringLiteral("first%1.flac").arg(i));
    dropAndWait(first, QPoint(20, 20), 5);
    QCOMPARE(paths(), first);

    const QStringList dropped{sample(QStringLiteral("new-c.ogg")),
                              sample(QStringLiteral("new-a.flac")),
                              sample(QStringLiteral("new-b.flac"))};
    dropAndWait(dropped, aboveRow(m_window->tableView(), 2), 8);
    const QStringList expected{first[0],   first[1], dropped[0], dropped[1],
                               dropped[2], first[2], first[3],   first[4]};
    QCOMPARE(paths(), expected);

    // Probed and filled from the preferred format on the way in.
    const LSMediaPtr media = m_window->items().at(2);
    QVERIFY(qAbs(media->duration() - 1.0) < 0.1);
    QCOMPARE(media->dTrimLength(), media->duration());
    QCOMPARE(media->strOutFileName(), QStringLiteral("new-c"));
    QCOMPARE(media->strFmtName(), QString(FormatNames::Mp3Audio));
    QCOMPARE(media->eumCvtState(), qint32(LSMedia::CvtStatePending));
}

void TestMainWindowDrops::folderAddsEverySupportedFileAndIsTrustedOnce()
{
    const QString folder = m_scratch->filePath(QStringLiteral("album"));
    const QString a = sample(QStringLiteral("album/a.flac"));
    const QString b = sample(QStringLiteral("album/disc 2/deeper/b.OGG"));
    sample(QStringLiteral("album/notes.txt"));
    sample(QStringLiteral("album/c.mp3"));
    sample(QStringLiteral("album/d.vob"));

    dropAndWait({folder}, QPoint(20, 20), 2);
    QStringList listed = paths();
    listed.sort();
    QCOMPARE(listed, QStringList({a, b}));
    // Each row remembers the dropped folder, which "Keep folder structure" mirrors below.
    for (const LSMediaPtr &media : m_window->items())
        QCOMPARE(media->strSourceRoot(), folder);
    QCOMPARE(m_trusted->items(), QList<QUrl>{QUrl::fromLocalFile(folder)});
    QCOMPARE(UserDefaults::standard().arrayForKey(PrefKeys::Bookmarks).size(), 1);

    // The same folder again: its files once more, the folder still trusted once.
    QTest::ignoreMessage(QtInfoMsg, "已经存在");
    dropAndWait({folder}, aboveRow(m_window->tableView(), 0), 4);
    QCOMPARE(m_trusted->items().size(), 1);
    QCOMPARE(UserDefaults::standard().arrayForKey(PrefKeys::Bookmarks).size(), 1);
}

void TestMainWindowDrops::largeFolderKeepsItsOrderFromTheDropRowOn()
{
    // Enough files to be probed in several chunks by more than one thread.
    const QString folder = m_scratch->filePath(QStringLiteral("collection"));
    for (int i = 0; i < 150; ++i)
        sample(QStringLiteral("collection/disc%1/t%2.%3")
                   .arg(i / 40)
                   .arg(i)
                   .arg(i % 3 ? "flac" : "ogg"));
    const QStringList around{sample(QStringLiteral("before.flac")),
                             sample(QStringLiteral("after.flac"))};
    dropAndWait(around, QPoint(20, 20), 2);

    dropAndWait({folder}, aboveRow(m_window->tableView(), 1), 152);
    const QStringList listed =
        GlobalFun::fileListAtDirenctory(folder, GlobalFun::getSupportedFmts());
    QCOMPARE(listed.size(), 150);
    QCOMPARE(paths(), QStringList{around[0]} + listed + QStringList{around[1]});
    for (const LSMediaPtr &media : m_window->items())
        QVERIFY(media->duration() > 0.9);
}

void TestMainWindowDrops::rowsRemovedWhileLoadingDoNotDisplaceTheBatch()
{
    const QString folder = m_scratch->filePath(QStringLiteral("pile"));
    for (int i = 0; i < 70; ++i)
        sample(QStringLiteral("pile/t%1.flac").arg(i, 2, 10, QLatin1Char('0')));
    dropAndWait({sample(QStringLiteral("a.flac")), sample(QStringLiteral("b.flac"))},
                QPoint(20, 20), 2);

    // The batch is to go below both rows, but the list is cleared before anything arrives.
    const QPoint below(
        20, m_window->tableView()->visualRect(m_window->listModel()->index(1, 0)).bottom() + 10);
    QVERIFY(dropPaths(m_window->tableView(), {folder}, below).dropAccepted);
    m_window->clearDown();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, kLoadTimeoutMs);
    QCOMPARE(paths(), GlobalFun::fileListAtDirenctory(folder, GlobalFun::getSupportedFmts()));
}

void TestMainWindowDrops::importWhileAFolderLoadsKeepsBothBatchesWhole()
{
    // A folder large enough to arrive in several parts (links to one sample: probing reads the
    // headers only).
    const QString library = m_scratch->filePath(QStringLiteral("library"));
    const QByteArray tone = QFile::encodeName(m_samples.filePath(QStringLiteral("tone.flac")));
    for (int album = 0; album < 30; ++album) {
        const QString folder =
            QStringLiteral("%1/album%2").arg(library).arg(album, 2, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(folder));
        for (int track = 0; track < 100; ++track) {
            const QString path = QStringLiteral("%1/t%2.flac").arg(folder).arg(track);
            QCOMPARE(::link(tone.constData(), QFile::encodeName(path).constData()), 0);
        }
    }
    const QString extra = m_scratch->filePath(QStringLiteral("extra"));
    for (int i = 0; i < 20; ++i)
        sample(QStringLiteral("extra/e%1.ogg").arg(i));

    QVERIFY(dropPaths(m_window->tableView(), {library}, QPoint(20, 20)).dropAccepted);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->items().isEmpty(), kLoadTimeoutMs);
    QVERIFY2(m_window->pendingLoads() > 0, "the folder was listed before the import could overlap");
    m_window->importPaths({extra});
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, kLoadTimeoutMs);

    const QStringList supported = GlobalFun::getSupportedFmts();
    const QStringList libraryFiles = GlobalFun::fileListAtDirenctory(library, supported);
    const QStringList extraFiles = GlobalFun::fileListAtDirenctory(extra, supported);
    QCOMPARE(libraryFiles.size(), 3000);
    QCOMPARE(paths(), extraFiles + libraryFiles);
}

void TestMainWindowDrops::dropOntoRowIsRefused()
{
    dropAndWait({sample(QStringLiteral("one.flac")), sample(QStringLiteral("two.flac"))},
                QPoint(20, 20), 2);
    MyTableView *view = m_window->tableView();

    const DropOutcome onto =
        dropPaths(view, {sample(QStringLiteral("three.flac"))}, ontoRow(view, 1));
    QVERIFY(!onto.hoverAccepted);
    QVERIFY(!onto.dropAccepted);
    QCOMPARE(m_window->pendingLoads(), 0);
    QCOMPARE(m_window->items().size(), 2);
    QVERIFY(!view->dropTipView()->bHighlighted());

    // A drag that carries no files is refused wherever it hovers.
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QVERIFY(!hover(view, &text, aboveRow(view, 0)));

    // Below the last row is between rows: accepted and appended.
    const QPoint below(20, view->visualRect(view->model()->index(1, 0)).bottom() + 15);
    const QString appended = sample(QStringLiteral("four.flac"));
    dropAndWait({appended}, below, 3);
    QCOMPARE(paths().last(), appended);
}

void TestMainWindowDrops::onlySupportedPathsAreKept_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("supportVob");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("refused");

    QTest::newRow("flac and ogg in any case")
        << QStringList{"a.FLAC", "b.Ogg", "c.flac"} << false << 3 << 0;
    QTest::newRow("other audio") << QStringList{"a.mp3", "b.wav", "c.m4a", "noext"} << false << 0
                                 << 4;
    QTest::newRow("vob while not allowed") << QStringList{"a.vob", "b.VOB"} << false << 0 << 2;
    QTest::newRow("vob allowed but not supported") << QStringList{"a.vob"} << true << 0 << 1;
    QTest::newRow("mixed") << QStringList{"a.txt", "b.flac", "c.vob", "d.ogg"} << false << 2 << 2;
    QTest::newRow("missing path") << QStringList{"@missing.flac"} << false << 0 << 1;
    QTest::newRow("same file twice") << QStringList{"a.flac", "a.flac"} << false << 2 << 0;
    // Links to folders are followed like the folders themselves, whatever their names.
    QTest::newRow("link to a folder, no extension") << QStringList{"@link"} << false << 1 << 0;
    QTest::newRow("link to a folder named .ogg") << QStringList{"@link.ogg"} << false << 1 << 0;
    QTest::newRow("two links to one folder") << QStringList{"@first", "@second"} << false << 1 << 0;
    // Reading these would block the loader or never end.
    QTest::newRow("pipe and device")
        << QStringList{"|pipe.flac", "@/dev/zero:zero.flac"} << false << 0 << 2;
}

void TestMainWindowDrops::onlySupportedPathsAreKept()
{
    QFETCH(QStringList, names);
    QFETCH(bool, supportVob);
    QFETCH(int, expected);
    QFETCH(int, refused);
    if (supportVob)
        UserDefaults::standard().setValue(PrefKeys::AppSupportVob, true);

    // A folder with a supported file, so that following a link shows.
    sample(QStringLiteral("target/inside.flac"));
    QStringList files;
    for (const QString &name : names) {
        if (name == QLatin1String("@missing.flac")) {
            files << m_scratch->filePath(QStringLiteral("missing.flac"));
        } else if (name.startsWith(QLatin1String("@/"))) {
            const QStringList parts = name.mid(1).split(QLatin1Char(':'));
            const QString link = m_scratch->filePath(parts.at(1));
            QVERIFY(QFile::link(parts.at(0), link));
            files << link;
        } else if (name.startsWith(QLatin1Char('@'))) {
            const QString link = m_scratch->filePath(name.mid(1));
            QVERIFY(QFile::link(m_scratch->filePath(QStringLiteral("target")), link));
            files << link;
        } else if (name.startsWith(QLatin1Char('|'))) {
            const QString pipe = m_scratch->filePath(name.mid(1));
            QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
            files << pipe;
        } else {
            const QString path = m_scratch->filePath(name);
            if (!QFile::exists(path))
                sample(name);
            files << path;
        }
    }
    QSignalSpy refusals(m_window.get(), &MainWndController::inputsRefused);
    const DropOutcome outcome = dropPaths(m_window->tableView(), files, QPoint(20, 20));
    QVERIFY(outcome.dropAccepted);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->pendingLoads(), 0, kLoadTimeoutMs);
    QCOMPARE(int(m_window->items().size()), expected);
    int refusedCount = 0;
    for (const QList<QVariant> &signal : std::as_const(refusals))
        refusedCount += int(signal.at(0).value<QList<InputRefusal>>().size());
    QCOMPARE(refusedCount, refused);
}

void TestMainWindowDrops::deleteKeysRemoveSelectedRowsAndSpaceDoesNothing()
{
    QStringList files;
    for (int i = 0; i < 5; ++i)
        files << sample(QStringLiteral("k%1.flac").arg(i));
    dropAndWait(files, QPoint(20, 20), 5);
    MyTableView *view = m_window->tableView();
    QItemSelectionModel *selection = view->selectionModel();
    auto selectRows = [&](const QList<int> &rows) {
        selection->clearSelection();
        for (int row : rows)
            selection->select(view->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };

    selectRows({2, 3});
    QTest::ignoreMessage(QtInfoMsg, "key down...:32");
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(paths(), files);
    QCOMPARE(selection->selectedRows().size(), 2);

    QTest::ignoreMessage(QtInfoMsg, "key down...:65535");
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(paths(), QStringList({files[0], files[1], files[4]}));
    // The row above the first removed one is selected, alone.
    QCOMPARE(selection->selectedRows().size(), 1);
    QCOMPARE(selection->selectedRows().first().row(), 1);

    selectRows({0});
    QTest::ignoreMessage(QtInfoMsg, "key down...:65288");
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(paths(), QStringList({files[1], files[4]}));
    QCOMPARE(selection->selectedRows().first().row(), 0);

    // Nothing selected: nothing removed.
    selection->clearSelection();
    QTest::ignoreMessage(QtInfoMsg, "key down...:65535");
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(m_window->items().size(), 2);
}

void TestMainWindowDrops::draggingNearTheLowerEdgeScrollsALongList()
{
    QList<LSMediaPtr> many;
    for (int i = 0; i < 300; ++i) {
        auto media = std::make_shared<LSMedia>();
        media->setFilePath(QStringLiteral("/music/%1.flac").arg(i));
        many.append(media);
    }
    m_window->listModel()->insertItems(0, many);
    MyTableView *view = m_window->tableView();
    QCOMPARE(view->verticalScrollBar()->value(), 0);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(sample(QStringLiteral("scroll.flac")))});
    const QPoint nearBottom(view->viewport()->width() / 2, view->viewport()->height() - 4);
    QVERIFY(hover(view, &mime, nearBottom));
    QTRY_VERIFY(view->verticalScrollBar()->value() > 0);
    QDragLeaveEvent leave;
    QApplication::sendEvent(view->viewport(), &leave);
}

void TestMainWindowDrops::buttonsStatusLineAndPromptFollowTheList()
{
    SegmentedControl *segments = m_window->segmentCtl();
    JKDropInTipsView *prompt = m_window->tableView()->dropTipView();
    QVERIFY(prompt);
    auto checkIdleControls = [&](bool any) {
        QCOMPARE(m_window->btnStart()->isEnabled(), any);
        QVERIFY(segments->isSegmentEnabled(0));
        for (int segment = 1; segment <= 3; ++segment)
            QCOMPARE(segments->isSegmentEnabled(segment), any);
        using Action = MainWndController::UserInterfaceAction;
        QCOMPARE(m_window->validateUserInterfaceItem(Action::Delete), any);
        QCOMPARE(m_window->validateUserInterfaceItem(Action::Clear), any);
        QCOMPARE(m_window->validateUserInterfaceItem(Action::Reveal), any);
        QVERIFY(m_window->validateUserInterfaceItem(Action::Import));
        // The menu entries (and their shortcuts) follow without their menu being opened.
        QCOMPARE(m_window->startAction()->isEnabled(), any);
        QCOMPARE(m_window->deleteAction()->isEnabled(), any);
        QCOMPARE(m_window->clearAction()->isEnabled(), any);
        QCOMPARE(m_window->revealAction()->isEnabled(), any);
        QVERIFY(m_window->importAction()->isEnabled());
        QCOMPARE(prompt->isVisible(), !any);
    };

    checkIdleControls(false);
    // Ctrl+R on the empty list starts nothing (and so opens no output folder).
    m_window->startAction()->trigger();
    QVERIFY(!m_window->isConverting());
    QCOMPARE(m_window->lblStatus()->text(), QString());
    QCOMPARE(m_window->btnStart()->toolTip(), QStringLiteral("Click to start!"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Wavelark"));

    // An acceptable drag over the empty list lights the prompt; leaving turns it back.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(sample(QStringLiteral("hover.flac")))});
    QVERIFY(hover(m_window->tableView(), &mime, QPoint(30, 30)));
    QVERIFY(prompt->bHighlighted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(m_window->tableView()->viewport(), &leave);
    QVERIFY(!prompt->bHighlighted());

    dropAndWait({sample(QStringLiteral("s1.flac")), sample(QStringLiteral("s2.ogg"))},
                QPoint(20, 20), 2);
    checkIdleControls(true);
    QVERIFY(!prompt->bHighlighted());
    QCOMPARE(m_window->lblStatus()->text(), QStringLiteral("2 file(s), total duration 00:00:02"));
    const QModelIndex progress = m_window->listModel()->index(0, MediaListModel::ProgressColumn);
    QCOMPARE(progress.data().toString(), QStringLiteral("Pending!"));
    const QModelIndex title = m_window->listModel()->index(1, MediaListModel::TitleColumn);
    QCOMPARE(title.data().toString(), QStringLiteral("s2.ogg"));

    m_window->clearDown();
    checkIdleControls(false);
    QCOMPARE(m_window->lblStatus()->text(), QString());
}

void TestMainWindowDrops::revealShowsTheSelectedFile()
{
    const QStringList files{sample(QStringLiteral("r0.flac")), sample(QStringLiteral("r1.flac"))};
    dropAndWait(files, QPoint(20, 20), 2);
    m_window->revealFinderDown();
    QVERIFY(m_workspace.selected.isEmpty());

    m_window->tableView()->selectRow(1);
    m_window->revealFinderDown();
    QCOMPARE(m_workspace.selected, QStringList{files[1]});
}

void TestMainWindowDrops::importPutsChosenFilesAtTheTop()
{
    const QString existing = sample(QStringLiteral("existing.flac"));
    dropAndWait({existing}, QPoint(20, 20), 1);

    const QString folder = m_scratch->filePath(QStringLiteral("imported"));
    const QString inside = sample(QStringLiteral("imported/x.ogg"));
    m_window->segmentCtl()->setSelectedSegment(0);
    m_window->bottomSegmentDown();
    auto *dialog = m_window->findChild<MediaOpenDialog *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QSignalSpy chosen(dialog, &MediaOpenDialog::pathsChosen);
    dialog->setDirectory(m_scratch->path());
    dialog->selectFile(folder);
    dialog->accept();
    QCOMPARE(chosen.size(), 1);

    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), 2, kLoadTimeoutMs);
    QCOMPARE(paths(), QStringList({inside, existing}));
    QCOMPARE(m_trusted->items(), QList<QUrl>{QUrl::fromLocalFile(folder)});
}

void TestMainWindowDrops::pathsGivenToTheProgramAreImportedInOrderAtTheTop()
{
    const QString existing = sample(QStringLiteral("before.flac"));
    dropAndWait({existing}, QPoint(20, 20), 1);
    const QString second = sample(QStringLiteral("given/b.ogg"));
    const QString first = sample(QStringLiteral("c.flac"));
    const QString third = sample(QStringLiteral("a.flac"));
    const QString skipped = m_scratch->filePath(QStringLiteral("notes.txt"));
    QFile(skipped).open(QIODevice::WriteOnly);
    m_window->clearDown();
    QVERIFY(!m_window->startAction()->isEnabled());

    m_window->importPaths({first, m_scratch->filePath(QStringLiteral("given")), skipped, third});
    QTRY_COMPARE_WITH_TIMEOUT(int(m_window->items().size()), 3, kLoadTimeoutMs);
    QCOMPARE(paths(), QStringList({first, second, third}));
    // Imported into an empty list: Ctrl+R works without the File menu having been opened.
    QVERIFY(m_window->startAction()->isEnabled());
    dropAndWait({existing}, QPoint(20, m_window->tableView()->viewport()->height() - 4), 4);
    QCOMPARE(paths(), QStringList({first, second, third, existing}));
}

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowDrops)
#include "tst_MainWindowDrops.moc"
