// The drop prompt's drawing, the list view's prompt handling, the resizing masks and the list's
// texts.
#include "MainWindowTestSupport.h"

#include "mainwindow/JKDropInTipsView.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/RunProgress.h"
#include "mainwindow/ViewResizing.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

namespace {

QColor rgb(int red, int green, int blue)
{
    return QColor(red, green, blue);
}

bool sameColor(const QImage &image, int x, int y, const QColor &color)
{
    const QColor pixel = image.pixelColor(x, y);
    return qAbs(pixel.red() - color.red()) <= 1 && qAbs(pixel.green() - color.green()) <= 1 &&
           qAbs(pixel.blue() - color.blue()) <= 1;
}

QImage render(JKDropInTipsView &view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    view.drawPrompt(painter);
    return image;
}

} // namespace

class TestMainWindowViews : public QObject
{
    Q_OBJECT

private slots:
    void promptDrawing_data();
    void promptDrawing();
    void promptFollowsTheListAndItsSize();
    void resizingBits_data();
    void resizingBits();
    void progressTexts_data();
    void progressTexts();
    void statusLine();
    void removingScatteredRows();
    void manyScatteredRowsAndTheTotal();
    void insertionPointsFollowTheRowsAroundThem();
    void runProgressCountsEachRowOnce();
};

void TestMainWindowViews::promptDrawing_data()
{
    QTest::addColumn<bool>("highlighted");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("foreground");
    QTest::newRow("normal") << false << rgb(236, 237, 235) << rgb(162, 164, 166);
    QTest::newRow("highlighted") << true << rgb(117, 187, 231) << rgb(247, 249, 251);
}

void TestMainWindowViews::promptDrawing()
{
    QFETCH(bool, highlighted);
    QFETCH(QColor, background);
    QFETCH(QColor, foreground);

    // 400 x 300: the square spans x 150..250 and, counted from the top, y 100..200.
    JKDropInTipsView view;
    view.resize(400, 300);
    view.setStrPromot(QStringLiteral("Drop files here"));
    view.setBHighlighted(highlighted);
    const QImage image = render(view);

    QVERIFY(sameColor(image, 5, 5, background));
    QVERIFY(sameColor(image, 395, 295, background));
    QVERIFY(sameColor(image, 200, 150 - 40, background)); // inside the square, above the shaft

    // The arrow: its shaft (x 191..209, y 100+25 .. 150) and its head (tip at y 175).
    QVERIFY(sameColor(image, 200, 135, foreground));
    QVERIFY(sameColor(image, 200, 160, foreground));
    QVERIFY(sameColor(image, 200, 172, foreground)); // close to the tip: the arrow points down
    QVERIFY(sameColor(image, 185, 135, background)); // beside the shaft
    QVERIFY(sameColor(image, 200, 180, background)); // below the tip

    // The dashed border: along each straight edge, stretches of line and of gaps.
    auto dashes = [&](auto pixelAt) {
        int line = 0, gap = 0;
        for (int t = 122; t <= 178; ++t) {
            const QPoint p = pixelAt(t);
            if (sameColor(image, p.x(), p.y(), foreground))
                ++line;
            else if (sameColor(image, p.x(), p.y(), background))
                ++gap;
        }
        return QPair<int, int>(line, gap);
    };
    const auto left = dashes([](int t) { return QPoint(150, t); });
    const auto right = dashes([](int t) { return QPoint(249, t); });
    const auto top = dashes([](int t) { return QPoint(t + 50, 100); });
    const auto bottom = dashes([](int t) { return QPoint(t + 50, 199); });
    for (const auto &edge : {left, right, top, bottom}) {
        QVERIFY2(edge.first >= 15, QByteArray::number(edge.first));
        QVERIFY2(edge.second >= 5, QByteArray::number(edge.second));
    }
    // Just outside the stroke (line width 4) is background again.
    QVERIFY(sameColor(image, 145, 150, background));
    QVERIFY(sameColor(image, 255, 150, background));

    // The text starts 20 points below the square; the band in between is empty.
    for (int y = 204; y < 219; ++y)
        for (int x = 0; x < 400; ++x)
            QVERIFY2(sameColor(image, x, y, background),
                     qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    int inked = 0;
    for (int y = 220; y < 246; ++y)
        for (int x = 120; x < 280; ++x)
            inked += sameColor(image, x, y, background) ? 0 : 1;
    QVERIFY(inked > 50);
}

void TestMainWindowViews::promptFollowsTheListAndItsSize()
{
    QWidget window;
    window.resize(400, 300);
    MyTableView view(&window);
    view.setGeometry(0, 0, 400, 300);
    QStandardItemModel model(0, 1);
    view.setModel(&model);
    // The prompt is made before the window is first shown, as the main window does.
    view.reloadData();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    JKDropInTipsView *prompt = view.dropTipView();
    QVERIFY(prompt);
    QVERIFY(prompt->isVisible());
    QCOMPARE(prompt->geometry(), view.viewport()->rect());
    QCOMPARE(prompt->strPromot(), QStringLiteral("Drag FLAC or Ogg files or folders here"));
    QVERIFY(!prompt->bHighlighted());
    view.refreshState(true);
    QVERIFY(prompt->bHighlighted());

    // Resizing keeps the prompt over the whole visible area.
    view.setGeometry(0, 0, 300, 200);
    QCOMPARE(prompt->geometry(), view.viewport()->rect());

    model.appendRow(new QStandardItem(QStringLiteral("row")));
    view.reloadData();
    QVERIFY(!prompt->isVisible());
    QVERIFY(!prompt->bHighlighted());
    model.removeRow(0);
    view.reloadData();
    QVERIFY(prompt->isVisible());
}

void TestMainWindowViews::resizingBits_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<uint>("bit");
    QTest::newRow("left edge") << 0 << 1u;
    QTest::newRow("width") << 1 << 2u;
    QTest::newRow("right edge") << 2 << 4u;
    QTest::newRow("top edge") << 3 << 8u;
    QTest::newRow("height") << 4 << 16u;
    QTest::newRow("bottom edge") << 5 << 32u;
}

void TestMainWindowViews::resizingBits()
{
    QFETCH(int, which);
    QFETCH(uint, bit);
    using Fix = void (*)(QWidget *, bool);
    const Fix fixes[] = {ViewResizing::fixLeftEdge,  ViewResizing::fixWidth,
                         ViewResizing::fixRightEdge, ViewResizing::fixTopEdge,
                         ViewResizing::fixHeight,    ViewResizing::fixBottomEdge};
    QWidget parent;
    QWidget child(&parent);
    fixes[which](&child, false);
    QCOMPARE(ViewResizing::autoresizingMask(&child), bit);
    fixes[which](&child, true);
    QCOMPARE(ViewResizing::autoresizingMask(&child), 0u);

    // Other bits are left alone.
    ViewResizing::setAutoresizingBit(&child, 63u & ~bit, true);
    fixes[which](&child, true);
    QCOMPARE(ViewResizing::autoresizingMask(&child), 63u & ~bit);
    fixes[which](&child, false);
    QCOMPARE(ViewResizing::autoresizingMask(&child), 63u);
}

void TestMainWindowViews::progressTexts_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<float>("progress");
    QTest::addColumn<QString>("text");
    QTest::newRow("-1") << -1 << 0.f << "Pending!";
    QTest::newRow("pending") << 0 << 0.f << "Pending!";
    QTest::newRow("converting") << 1 << 45.678f << "45.7%";
    QTest::newRow("converting, done") << 1 << 100.f << "100.0%";
    // The state keeps its spelling; the row shows the English table's words for it.
    QTest::newRow("syncing") << 2 << 0.f << "Adding to playlist...";
    QTest::newRow("3") << 3 << 0.f << "Unkown!!!";
    QTest::newRow("canceled") << 4 << 100.f << "Canceled.";
    QTest::newRow("finished") << 5 << 100.f << "Task Finished.";
    QTest::newRow("failed") << 6 << 0.f << "Failed!";
    QTest::newRow("up to date") << 7 << 100.f << "Up to date.";
    QTest::newRow("8") << 8 << 0.f << "Unkown!!!";
}

void TestMainWindowViews::progressTexts()
{
    QFETCH(int, state);
    QFETCH(float, progress);
    QFETCH(QString, text);
    QCOMPARE(MediaListModel::progressText(state, progress), text);
}

void TestMainWindowViews::statusLine()
{
    QCOMPARE(MediaListModel::statusText(0, 0.0), QString());
    QCOMPARE(MediaListModel::statusText(3, 3725.9),
             QStringLiteral("3 file(s), total duration 01:02:05"));

    MediaListModel model;
    auto probed = std::make_shared<LSMedia>();
    probed->setFilePath(QStringLiteral("/music/a b.flac"));
    probed->setDuration(65.0);
    auto unreadable = std::make_shared<LSMedia>(); // a failed probe counts with zero
    unreadable->setFilePath(QStringLiteral("/music/broken.ogg"));
    model.insertItems(0, {probed, unreadable});
    QCOMPARE(model.totalDuration(), 65.0);
    QCOMPARE(model.index(0, MediaListModel::TitleColumn).data().toString(),
             QStringLiteral("a b.flac"));
    QCOMPARE(model.index(0, MediaListModel::DurationColumn).data().toString(),
             QStringLiteral("00:01:05"));
    QCOMPARE(model.index(1, MediaListModel::DurationColumn).data().toString(),
             QStringLiteral("00:00:00"));
    QCOMPARE(MediaListModel::cellText(*probed, QStringLiteral("other")), QString());
}

void TestMainWindowViews::removingScatteredRows()
{
    MediaListModel model;
    QList<LSMediaPtr> items;
    for (int i = 0; i < 7; ++i) {
        items << std::make_shared<LSMedia>();
        items.last()->setFilePath(QStringLiteral("/m/%1.flac").arg(i));
    }
    model.insertItems(0, items);
    model.removeItemsAtRows({5, 0, 3, 2, 3, -1, 9});
    QCOMPARE(model.items(), QList<LSMediaPtr>({items[1], items[4], items[6]}));
    // Inserting past the end appends.
    model.insertItems(10, {items[0]});
    QCOMPARE(model.items().last(), items[0]);
}

namespace {

QList<LSMediaPtr> numberedItems(int count, double seconds = 1.0)
{
    QList<LSMediaPtr> items;
    for (int i = 0; i < count; ++i) {
        items << std::make_shared<LSMedia>();
        items.last()->setFilePath(QStringLiteral("/m/%1.flac").arg(i));
        items.last()->setDuration(seconds);
        items.last()->setDTrimLength(seconds);
    }
    return items;
}

} // namespace

void TestMainWindowViews::manyScatteredRowsAndTheTotal()
{
    // Every other row of a long list: far more separate runs than are removed one by one.
    MediaListModel model;
    const QList<LSMediaPtr> items = numberedItems(1000, 2.0);
    model.insertItems(0, items);
    QCOMPARE(model.totalDuration(), 2000.0);
    const int point = model.openInsertionPoint(501);
    QList<int> odd;
    for (int row = 1; row < 1000; row += 2)
        odd << row;
    model.removeItemsAtRows(odd);
    QCOMPARE(model.rowCount(), 500);
    for (int i = 0; i < 500; ++i)
        QCOMPARE(model.itemAt(i), items.at(2 * i));
    QCOMPARE(model.totalDuration(), 1000.0);
    // 250 odd rows lay above row 501, and row 501 itself went: the point is at the row after it.
    QCOMPARE(model.insertionRow(point), 251);
    model.removeAllItems();
    QCOMPARE(model.totalDuration(), 0.0);
    QCOMPARE(model.insertionRow(point), 0);
}

void TestMainWindowViews::insertionPointsFollowTheRowsAroundThem()
{
    MediaListModel model;
    const QList<LSMediaPtr> old = numberedItems(4);
    model.insertItems(0, old);
    // Batch a is dropped at row 2, batch b at the top; their parts arrive interleaved.
    const QList<LSMediaPtr> a = numberedItems(6);
    const QList<LSMediaPtr> b = numberedItems(4);
    const int pointA = model.openInsertionPoint(2);
    const int pointB = model.openInsertionPoint(0);
    QCOMPARE(model.insertAtPoint(pointA, a.mid(0, 2)), 2);
    QCOMPARE(model.insertAtPoint(pointB, b.mid(0, 2)), 0);
    QCOMPARE(model.insertAtPoint(pointA, a.mid(2, 2)), 6);
    // Rows removed above a point, and at it, move it up.
    model.removeItemsAtRows({0, 2});
    QCOMPARE(model.insertAtPoint(pointB, b.mid(2, 2)), 1);
    QCOMPARE(model.insertAtPoint(pointA, a.mid(4, 2)), 8);
    model.closeInsertionPoint(pointA);
    model.closeInsertionPoint(pointB);
    QCOMPARE(model.insertionRow(pointA), -1);
    const QList<LSMediaPtr> expected{b[1], b[2], b[3], old[1], a[0],   a[1],
                                     a[2], a[3], a[4], a[5],   old[2], old[3]};
    QCOMPARE(model.items(), expected);

    // Two batches dropped at the same row, their parts interleaved: neither splits the other.
    MediaListModel same;
    const int first = same.openInsertionPoint(0);
    const int second = same.openInsertionPoint(0);
    same.insertAtPoint(first, a.mid(0, 1));
    same.insertAtPoint(second, b.mid(0, 1));
    same.insertAtPoint(first, a.mid(1, 1));
    same.insertAtPoint(second, b.mid(1, 1));
    QCOMPARE(same.items(), QList<LSMediaPtr>({b[0], b[1], a[0], a[1]}));
}

void TestMainWindowViews::runProgressCountsEachRowOnce()
{
    const QList<LSMediaPtr> items = numberedItems(3000, 10.0);
    RunProgress progress;
    progress.start(items);
    // The front rows end, the next ones convert, one further on ends early (failed at once).
    for (int i = 0; i < 1200; ++i)
        items[i]->setEumCvtState(i % 7 ? LSMedia::CvtStateFinished : LSMedia::CvtStateCanceled);
    items[1200]->setEumCvtState(LSMedia::CvtStateConverting);
    items[1200]->setDProgress(50.0f);
    items[1201]->setEumCvtState(LSMedia::CvtStateUpToDate);
    items[1300]->setEumCvtState(LSMedia::CvtStateCanceled);
    RunProgress::Snapshot snapshot = progress.sample(1.0);
    QCOMPARE(snapshot.total, 3000);
    QCOMPARE(snapshot.done, 1202);
    QCOMPARE(snapshot.fraction, (12020.0 + 5.0) / 30000.0);
    // Sampling again counts nothing twice.
    snapshot = progress.sample(2.0);
    QCOMPARE(snapshot.done, 1202);

    // Rows leaving the list, ended ones among them, count no more.
    progress.forget({items[0], items[1], items[1300], items[2999]});
    snapshot = progress.sample(3.0);
    QCOMPARE(snapshot.total, 2996);
    QCOMPARE(snapshot.done, 1199);
    QCOMPARE(snapshot.fraction, (11990.0 + 5.0) / 29960.0);

    for (const LSMediaPtr &item : items)
        item->setEumCvtState(LSMedia::CvtStateUpToDate);
    items[5]->setEumCvtState(LSMedia::CvtStateFinished);
    QCOMPARE(progress.sample(4.0).done, 2996);
}

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowViews)
#include "tst_MainWindowViews.moc"
