// The drop prompt's drawing, the list view's prompt handling, the resizing masks and the list's
// texts.
#include "MainWindowTestSupport.h"

#include "mainwindow/JKDropInTipsView.h"
#include "mainwindow/MediaListModel.h"
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
    QTest::newRow("7") << 7 << 0.f << "Unkown!!!";
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

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowViews)
#include "tst_MainWindowViews.moc"
