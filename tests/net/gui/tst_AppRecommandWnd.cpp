#include "RecordingWorkspace.h"
#include "Shared/Workspace.h"
#include "TestEnvironment.h"
#include "TinyHttpServer.h"
#include "WidgetTestMain.h"
#include "net/gui/AppGotoCell.h"
#include "net/gui/AppRecommandWndCtl.h"
#include "net/gui/AppRecommendModel.h"
#include "net/http/ServiceHosts.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTableView>
#include <QTextDocument>
#include <QtTest>

namespace {

constexpr int kWait = 60000;
const QString kList = QStringLiteral("/jsons/products.json");

QByteArray pngBytes(const QColor &colour)
{
    QImage image(128, 96, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString productJson(const QString &name, const QString &version, const QString &imageUrl,
                    const QString &link)
{
    QString json =
        QStringLiteral("{\"name\":\"%1\",\"desc\":\"About %1\",\"currentversion\":\"%2\","
                       "\"appstorelink\":\"%3\",\"extra\":[1,2]")
            .arg(name, version, link);
    if (!imageUrl.isEmpty())
        json += QStringLiteral(",\"imageurl\":\"%1\"").arg(imageUrl);
    return json + QLatin1Char('}');
}

// A PNG of noise, which does not compress: its file is about `side` * `side` * 3 bytes.
QByteArray noisePng(int side)
{
    QImage image(side, side, QImage::Format_RGB888);
    quint32 seed = 12345;
    for (int y = 0; y < side; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < side * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = uchar(seed >> 24);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestAppRecommandWnd : public QObject
{
    Q_OBJECT

private:
    TinyHttpServer m_server;
    RecordingWorkspace m_workspace;

    // Three products: a thumbnail held back by the server, one that is missing, none at all.
    void routeThreeProducts()
    {
        TinyHttpServer::Reply image;
        image.body = pngBytes(Qt::red);
        image.hold = true;
        m_server.route(QStringLiteral("/img/held.png"), image);
        const QByteArray list =
            ('[' +
             productJson("Alpha", "1.0", m_server.url(QStringLiteral("/img/held.png")),
                         "https://store.example/alpha") +
             ',' +
             productJson("Beta", "2.1", m_server.url(QStringLiteral("/img/missing.png")),
                         "https://store.example/beta") +
             ", 42, " + productJson("Gamma", "3.2", QString(), "file:///etc/passwd") + ']')
                .toUtf8();
        m_server.route(kList, list);
    }

    static void clickStoreButton(AppRecommandWndCtl &window, int row)
    {
        QTableView *table = window.tableView();
        const QModelIndex cell =
            table->model()->index(row, AppRecommendModel::columnOf(QStringLiteral("button")));
        const QPoint centre = AppGotoCell::buttonRect(table->visualRect(cell)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        qputenv(ServiceHosts::kMakerServerVariable, m_server.baseUrl().toUtf8());
        Workspace::setShared(&m_workspace);
    }
    void cleanupTestCase() { Workspace::setShared(nullptr); }
    void cleanup()
    {
        m_server.releaseHeld();
        m_workspace.opened.clear();
    }

    void listShowsAtOnceAndThumbnailsFollow()
    {
        routeThreeProducts();
        AppRecommandWndCtl window;
        window.showWindow();
        QVERIFY(window.loadingView()->isVisible());
        QCOMPARE(window.loadingTip()->text(), QStringLiteral("Loading..."));
        QCOMPARE(window.loadingView()->y(), 100);

        // The list is in while the first image is still held back by the server.
        QTRY_COMPARE_WITH_TIMEOUT(window.tableView()->model()->rowCount(), 3, kWait);
        QVERIFY(!window.loadingView()->isVisible());
        QCOMPARE(m_server.requestCount(kList), 1);
        const auto *model = static_cast<AppRecommendModel *>(window.tableView()->model());
        QCOMPARE(model->objectValue(QStringLiteral("version"), 1), QVariant(QStringLiteral("2.1")));
        QCOMPARE(model->objectValue(QStringLiteral("desc"), 2),
                 QVariant(QStringLiteral("About Gamma")));
        QVERIFY(!model->objectValue(QStringLiteral("name"), 0).isValid());
        QCOMPARE(window.items().at(0).name, QStringLiteral("Alpha"));
        QVERIFY(window.items().at(2).imageUrl.isEmpty());
        QVERIFY(window.items().at(0).imgThumbnail.isNull());

        QTRY_COMPARE_WITH_TIMEOUT(m_server.heldCount(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.requestCount(QStringLiteral("/img/missing.png")), 1,
                                  kWait);
        m_server.releaseHeld();
        QTRY_VERIFY_WITH_TIMEOUT(!window.items().at(0).imgThumbnail.isNull(), kWait);
        const QImage thumbnail = window.items().at(0).imgThumbnail;
        QVERIFY(thumbnail.width() <= AppRecommendModel::kThumbnailSize);
        QCOMPARE(thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2),
                 QColor(Qt::red));
        QVERIFY(
            window.tableView()->model()->index(0, 0).data(Qt::DecorationRole).canConvert<QImage>());
        // The missing image (404) leaves its thumbnail empty.
        QVERIFY(window.items().at(1).imgThumbnail.isNull());
        QVERIFY(!window.tableView()->model()->index(1, 0).data(Qt::DecorationRole).isValid());
    }

    void storeButtonOpensTheRowsPage()
    {
        routeThreeProducts();
        AppRecommandWndCtl window;
        window.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.tableView()->model()->rowCount(), 3, kWait);

        window.viewAppstoreDown(); // no row selected: nothing to open
        QVERIFY(m_workspace.opened.isEmpty());
        clickStoreButton(window, 1);
        QCOMPARE(m_workspace.opened,
                 QList<QUrl>{QUrl(QStringLiteral("https://store.example/beta"))});
        QCOMPARE(window.tableView()->selectionModel()->selectedRows().constFirst().row(), 1);
        // A link that is not a web address is not handed to the desktop.
        clickStoreButton(window, 2);
        QCOMPARE(m_workspace.opened.size(), 1);
    }

    // Thumbnails up to 2 MB show (the JSON limit of the request layer is not theirs); addresses
    // that are not http(s) are never fetched; the server's texts are shown as text, not markup;
    // a software-centre link opens.
    void productsFromTheServerAreHandledSafely()
    {
        const QByteArray big = noisePng(600);
        QVERIFY2(big.size() > 1000000 && big.size() < 2000000, QByteArray::number(big.size()));
        m_server.route(QStringLiteral("/img/big.png"), big);
        const QString local = TestEnvironment::home() + QStringLiteral("/local.png");
        QFile localFile(local);
        QVERIFY(localFile.open(QIODevice::WriteOnly));
        localFile.write(pngBytes(Qt::green));
        localFile.close();
        const QString markup = QStringLiteral("<b>Bold</b> & <img src='/img/tracker.png'>");
        const QByteArray list =
            ('[' +
             productJson("Big", "1.0", m_server.url(QStringLiteral("/img/big.png")),
                         "appstream:com.morvane.other") +
             ',' + productJson("Local", "1.0", QUrl::fromLocalFile(local).toString(), "") +
             ",{\"name\":\"Markup\",\"desc\":\"" + markup + "\",\"currentversion\":\"<i>2</i>\"}]")
                .toUtf8();
        m_server.route(kList, list);

        const int before = m_server.totalRequests();
        AppRecommandWndCtl window;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not fetching")));
        window.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.items().size(), 3, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!window.items().at(0).imgThumbnail.isNull(), kWait);
        QVERIFY(window.items().at(0).imgThumbnail.width() <= AppRecommendModel::kThumbnailSize);
        // The local picture (green) was never read.
        QVERIFY(window.items().at(1).imgThumbnail.isNull());
        QVERIFY(m_server.requestTargets().mid(before).contains(QStringLiteral("/img/big.png")));

        // What a tool tip shows is what the server sent, letter for letter.
        const QAbstractItemModel *model = window.tableView()->model();
        const int desc = AppRecommendModel::columnOf(QStringLiteral("desc"));
        const int version = AppRecommendModel::columnOf(QStringLiteral("version"));
        for (const auto &[column, text] :
             {std::pair(desc, markup), std::pair(version, QStringLiteral("<i>2</i>"))}) {
            const QString tip = model->index(2, column).data(Qt::ToolTipRole).toString();
            QTextDocument shown;
            if (Qt::mightBeRichText(tip))
                shown.setHtml(tip);
            else
                shown.setPlainText(tip);
            QCOMPARE(shown.toPlainText(), text);
            QCOMPARE(model->index(2, column).data(Qt::DisplayRole).toString(), text);
        }

        clickStoreButton(window, 0);
        QCOMPARE(m_workspace.opened,
                 QList<QUrl>{QUrl(QStringLiteral("appstream:com.morvane.other"))});
        QVERIFY(m_server.requestCount(QStringLiteral("/img/tracker.png")) == 0);
    }

    void windowOpensOnTheScreen()
    {
        m_server.route(kList, QByteArray("[]"));
        AppRecommandWndCtl window;
        window.resize(5000, 4000);
        window.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect room = window.screen()->availableGeometry();
        QVERIFY2(room.contains(window.frameGeometry()), "the window reaches off the screen");
    }

    void failureKeepsTheListAndShowsTheText()
    {
        routeThreeProducts();
        AppRecommandWndCtl window;
        window.showWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.items().size(), 3, kWait);

        m_server.route(kList, "server trouble", 500);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^failed : .*500")));
        window.showWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.loadingTip()->text(),
                                  QStringLiteral("Failed to load products!"), kWait);
        QVERIFY(window.loadingView()->isVisible());
        QVERIFY(!window.progressIndicator()->isVisible());
        QCOMPARE(window.items().size(), 3);
    }

    // The request layer drops a list over its size limit; the window says it failed instead of
    // spinning for ever.
    void oversizedListIsAFailure()
    {
        TinyHttpServer::Reply huge;
        huge.body = QByteArray(150001, ' ');
        m_server.route(kList, huge);
        AppRecommandWndCtl window;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^failed : ")));
        window.showWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.loadingTip()->text(),
                                  QStringLiteral("Failed to load products!"), kWait);
        QVERIFY(window.items().isEmpty());
    }

    void unusableListsEmptyTheTable_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty array") << QByteArray("[]");
        QTest::newRow("object, not array") << QByteArray("{\"name\":\"x\"}");
        QTest::newRow("not JSON") << QByteArray("<html>");
    }
    void unusableListsEmptyTheTable()
    {
        QFETCH(QByteArray, body);
        routeThreeProducts();
        AppRecommandWndCtl window;
        window.showWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.items().size(), 3, kWait);
        m_server.route(kList, body);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(".*")));
        window.showWindow();
        QTRY_COMPARE_WITH_TIMEOUT(window.tableView()->model()->rowCount(), 0, kWait);
        QVERIFY(!window.loadingView()->isVisible());
    }
};

WAVELARK_WIDGET_TEST_MAIN(TestAppRecommandWnd)

#include "tst_AppRecommandWnd.moc"
