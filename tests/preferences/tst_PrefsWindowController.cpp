#include "WidgetTestMain.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/FrameText.h"
#include "preferences/PrefsViewController.h"
#include "preferences/PrefsWindowController.h"

#include <QAction>
#include <QSignalSpy>
#include <QWidget>

#include <memory>

namespace {

// A pane with a given first size, resizing directions and commit answer.
class TestPane : public QWidget, public PrefsViewController
{
    Q_OBJECT

public:
    TestPane(const QString &identifier, QSize size, bool widthResizable = false,
             bool heightResizable = false)
        : m_identifier(identifier)
    {
        setSizePolicy(widthResizable ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                      heightResizable ? QSizePolicy::Expanding : QSizePolicy::Fixed);
        resize(size);
    }

    QString identifier() const override { return m_identifier; }
    QIcon toolbarItemImage() const override { return QIcon(); }
    QString toolbarItemLabel() const override { return m_identifier + QStringLiteral(" label"); }
    QWidget *view() override { return this; }
    bool commitEditing() override
    {
        ++commits;
        return allowCommit;
    }
    void viewWillAppear() override { ++appearances; }
    void viewDidDisappear() override { ++disappearances; }

    bool allowCommit = true;
    int commits = 0;
    int appearances = 0;
    int disappearances = 0;

private:
    QString m_identifier;
};

// A pane that handles the next-pane action itself, and one action of its own.
class GreedyPane : public TestPane
{
    Q_OBJECT

public:
    using TestPane::TestPane;

    int nextTabs = 0;
    int ownActions = 0;
    QObject *lastSender = nullptr;

public slots:
    void goNextTab(QObject *sender)
    {
        ++nextTabs;
        lastSender = sender;
    }
    void paneOnlyAction() { ++ownActions; }
};

UserDefaults &store()
{
    return UserDefaults::standard();
}

QString frameKey(const QString &identifier)
{
    return QString(PrefKeys::PrefsFrameFormat).arg(identifier);
}

void clearStore()
{
    const QStringList keys = {QString(PrefKeys::PrefsSelectedIdentifierView),
                              QString(PrefKeys::PrefsFrameTopLeft), frameKey(QStringLiteral("A")),
                              frameKey(QStringLiteral("B"))};
    for (const QString &key : keys)
        store().removeObjectForKey(key);
}

} // namespace

class TestPrefsWindowController : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearStore(); }

    void firstLaunchSelectsFirstPaneAndStoresMoves()
    {
        TestPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(400, 250));
        PrefsWindowController controller({nullptr, &a, &b});
        QWidget *window = controller.window();

        QCOMPARE(controller.selectedViewController(), &a);
        QCOMPARE(controller.indexOfSelectedController(), 1);
        QCOMPARE(controller.selectedToolbarItemIdentifier(), QStringLiteral("A"));
        QCOMPARE(window->windowTitle(), QStringLiteral("A label"));
        QCOMPARE(store().stringForKey(PrefKeys::PrefsSelectedIdentifierView), QStringLiteral("A"));
        QCOMPARE(controller.toolbarItemIdentifiers(),
                 QStringList({PrefsWindowController::kFlexibleSpaceIdentifier, QStringLiteral("A"),
                              QStringLiteral("B")}));

        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->move(50, 60);
        QTRY_COMPARE_WITH_TIMEOUT(store().stringForKey(PrefKeys::PrefsFrameTopLeft),
                                  QStringLiteral("{50, 60}"), 10000);
    }

    void relaunchRestoresPaneAndPosition_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("remembered pane") << QStringLiteral("B") << QStringLiteral("B");
        QTest::newRow("pane that is gone") << QStringLiteral("Gone") << QStringLiteral("A");
    }

    void relaunchRestoresPaneAndPosition()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        {
            TestPane a(QStringLiteral("A"), QSize(300, 200));
            TestPane b(QStringLiteral("B"), QSize(400, 250));
            PrefsWindowController first({&a, &b}, QStringLiteral("Preferences"));
            first.selectControllerAtIndex(1);
            first.window()->show();
            QVERIFY(QTest::qWaitForWindowExposed(first.window()));
            first.window()->move(120, 80);
            QTRY_COMPARE_WITH_TIMEOUT(store().stringForKey(PrefKeys::PrefsFrameTopLeft),
                                      QStringLiteral("{120, 80}"), 10000);
        }
        if (stored != QLatin1String("B"))
            store().setValue(PrefKeys::PrefsSelectedIdentifierView, stored);

        TestPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(400, 250));
        PrefsWindowController second({&a, &b}, QStringLiteral("Preferences"));
        QWidget *window = second.window();
        QCOMPARE(second.selectedViewController()->identifier(), expected);
        QCOMPARE(second.selectedToolbarItemIdentifier(), expected);
        QCOMPARE(window->windowTitle(), QStringLiteral("Preferences"));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->pos(), QPoint(120, 80));
    }

    void paneSizeFollowsSavedFrameWithinLimits_data()
    {
        QTest::addColumn<bool>("widthResizable");
        QTest::addColumn<bool>("heightResizable");
        QTest::addColumn<QString>("savedFrame");
        QTest::addColumn<QSize>("expected");
        QTest::addColumn<int>("maximumWidth");

        QTest::newRow("fixed pane ignores a saved size")
            << false << false << QStringLiteral("{{0, 0}, {500, 400}}") << QSize(300, 200) << 300;
        QTest::newRow("wider pane keeps its saved width")
            << true << false << QStringLiteral("{{0, 0}, {500, 400}}") << QSize(500, 200)
            << QWIDGETSIZE_MAX;
        QTest::newRow("saved width below the minimum")
            << true << true << QStringLiteral("{{0, 0}, {100, 260}}") << QSize(300, 260)
            << QWIDGETSIZE_MAX;
        QTest::newRow("unreadable saved frame")
            << true << true << QStringLiteral("wide") << QSize(300, 200) << QWIDGETSIZE_MAX;
    }

    void paneSizeFollowsSavedFrameWithinLimits()
    {
        QFETCH(bool, widthResizable);
        QFETCH(bool, heightResizable);
        QFETCH(QString, savedFrame);
        QFETCH(QSize, expected);
        QFETCH(int, maximumWidth);

        store().setValue(frameKey(QStringLiteral("A")), savedFrame);
        TestPane a(QStringLiteral("A"), QSize(300, 200), widthResizable, heightResizable);
        PrefsWindowController controller({&a});
        QWidget *window = controller.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QTRY_COMPARE_WITH_TIMEOUT(a.size(), expected, 10000);
        const int toolbarHeight = window->height() - a.height();
        QCOMPARE(window->minimumSize(), QSize(300, 200 + toolbarHeight));
        QCOMPARE(window->maximumWidth(), maximumWidth);
        if (!heightResizable)
            QCOMPARE(window->maximumHeight(), expected.height() + toolbarHeight);
    }

    void resizedPaneComesBackAtItsSize()
    {
        {
            TestPane a(QStringLiteral("A"), QSize(300, 200), true, false);
            PrefsWindowController first({&a});
            QWidget *window = first.window();
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            window->resize(460, window->height());
            QTRY_COMPARE_WITH_TIMEOUT(store().stringForKey(frameKey(QStringLiteral("A"))),
                                      QStringLiteral("{{0, 0}, {460, 200}}"), 10000);
        }
        TestPane a(QStringLiteral("A"), QSize(300, 200), true, false);
        PrefsWindowController second({&a});
        second.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(second.window()));
        QTRY_COMPARE_WITH_TIMEOUT(a.size(), QSize(460, 200), 10000);
    }

    void switchingPanesKeepsTopLeftCorner_data()
    {
        QTest::addColumn<bool>("animated");
        QTest::newRow("at once") << false;
        QTest::newRow("animated") << true;
    }

    void switchingPanesKeepsTopLeftCorner()
    {
        QFETCH(bool, animated);
        TestPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(520, 360));
        PrefsWindowController controller({&a, &b});
        controller.setAnimatesResize(animated);
        QWidget *window = controller.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->move(100, 90);
        QTRY_COMPARE_WITH_TIMEOUT(window->pos(), QPoint(100, 90), 10000);
        const int smallWidth = window->width();

        controller.selectControllerAtIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(window->maximumWidth(), 520, 10000);
        QCOMPARE(b.size(), QSize(520, 360));
        QCOMPARE(window->width(), 520);
        QCOMPARE(window->pos(), QPoint(100, 90));

        controller.selectControllerAtIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(window->maximumWidth(), smallWidth, 10000);
        QCOMPARE(window->width(), smallWidth);
        QCOMPARE(a.size(), QSize(300, 200));
        QCOMPARE(window->pos(), QPoint(100, 90));
    }

    void refusingPaneKeepsSelectionAndWindow()
    {
        TestPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(400, 250));
        PrefsWindowController controller({&a, &b});
        QWidget *window = controller.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QSignalSpy changes(&controller, &PrefsWindowController::didChangeView);

        a.allowCommit = false;
        controller.toolbarItemForIdentifier(QStringLiteral("B"))->trigger();
        QCOMPARE(controller.selectedViewController(), &a);
        QCOMPARE(controller.selectedToolbarItemIdentifier(), QStringLiteral("A"));
        QCOMPARE(a.disappearances, 0);
        QCOMPARE(b.appearances, 0);
        QCOMPARE(changes.count(), 0);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());

        a.allowCommit = true;
        controller.toolbarItemForIdentifier(QStringLiteral("B"))->trigger();
        QCOMPARE(controller.selectedViewController(), &b);
        QCOMPARE(a.disappearances, 1);
        QCOMPARE(b.appearances, 1);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(b.window(), window);
        QVERIFY(a.isWindow() && !a.isVisible());
        QVERIFY(window->close());
        QCOMPARE(b.commits, 1);
    }

    void nextAndPreviousWrapOverPlaceholders()
    {
        TestPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(300, 200));
        PrefsWindowController controller({&a, nullptr, &b, nullptr});
        controller.window();
        QCOMPARE(controller.selectedViewController(), &a);

        controller.goNextTab();
        QCOMPARE(controller.selectedViewController(), &b);
        controller.goNextTab();
        QCOMPARE(controller.selectedViewController(), &a);
        controller.goPreviousTab();
        QCOMPARE(controller.selectedViewController(), &b);

        PrefsWindowController empty({nullptr, nullptr});
        empty.window();
        empty.goNextTab();
        empty.goPreviousTab();
        QVERIFY(!empty.selectedViewController());
        QCOMPARE(empty.indexOfSelectedController(), -1);
    }

    void actionsReachTheVisiblePaneFirst()
    {
        GreedyPane a(QStringLiteral("A"), QSize(300, 200));
        TestPane b(QStringLiteral("B"), QSize(300, 200));
        PrefsWindowController controller({&a, &b});
        controller.window();
        QCOMPARE(controller.windowNextResponder(), &a);

        QObject sender;
        QVERIFY(controller.sendAction("goNextTab", &sender));
        QCOMPARE(a.nextTabs, 1);
        QCOMPARE(a.lastSender, &sender);
        QCOMPARE(controller.selectedViewController(), &a);
        QVERIFY(controller.sendAction("paneOnlyAction"));
        QCOMPARE(a.ownActions, 1);

        // A pane without the action lets it through to the window's controller.
        controller.selectControllerAtIndex(1);
        QCOMPARE(controller.windowNextResponder(), &b);
        QCOMPARE(b.nextResponder(), &controller);
        QVERIFY(!a.nextResponder());
        QVERIFY(!controller.sendAction("paneOnlyAction"));
        QVERIFY(controller.sendAction("goNextTab"));
        QCOMPARE(controller.selectedViewController(), &a);
        QCOMPARE(a.nextTabs, 1);
    }

    void pointAndRectangleTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isPoint");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("point") << QStringLiteral("{12, -3}") << true << true << QRect(12, -3, 0, 0);
        QTest::newRow("fractional point")
            << QStringLiteral("{12.6, 3}") << true << true << QRect(13, 3, 0, 0);
        QTest::newRow("rectangle")
            << QStringLiteral("{{1, 2}, {300, 200}}") << false << true << QRect(1, 2, 300, 200);
        QTest::newRow("too few numbers")
            << QStringLiteral("{{1, 2}, {300}}") << false << false << QRect();
        QTest::newRow("out of range") << QStringLiteral("{1e300, 0}") << true << false << QRect();
        QTest::newRow("words") << QStringLiteral("{top, left}") << true << false << QRect();
        QTest::newRow("empty") << QString() << true << false << QRect();
    }

    void pointAndRectangleTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, isPoint);
        QFETCH(bool, valid);
        QFETCH(QRect, expected);
        if (isPoint) {
            const auto point = FrameText::toPoint(text);
            QCOMPARE(point.has_value(), valid);
            if (valid) {
                QCOMPARE(*point, expected.topLeft());
                QCOMPARE(FrameText::toPoint(FrameText::fromPoint(*point)), point);
            }
        } else {
            const auto rect = FrameText::toRect(text);
            QCOMPARE(rect.has_value(), valid);
            if (valid) {
                QCOMPARE(*rect, expected);
                QCOMPARE(FrameText::fromRect(*rect), text);
            }
        }
    }
};

WAVELARK_WIDGET_TEST_MAIN(TestPrefsWindowController)

#include "tst_PrefsWindowController.moc"
