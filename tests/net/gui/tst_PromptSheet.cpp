#include "TestEnvironment.h"
#include "WidgetTestMain.h"
#include "net/gui/MessageBoxPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

// The sheets as the user sees them: window-modal message boxes on the main window.
class TestPromptSheet : public QObject
{
    Q_OBJECT

private:
    QMainWindow *m_window = nullptr;

    static PromptSheet updateSheet(const QString &notes)
    {
        PromptSheet sheet;
        sheet.title = QStringLiteral("New version available (2.0)");
        sheet.informativeText = QStringLiteral("New in this version");
        sheet.defaultButton = QStringLiteral("Download");
        sheet.alternateButton = QStringLiteral("Ignore");
        sheet.otherButton = QStringLiteral("Remind Me Later");
        sheet.hasNotes = true;
        sheet.notes = notes;
        return sheet;
    }

    static QPushButton *button(QMessageBox *box, const QString &text)
    {
        for (QAbstractButton *candidate : box->buttons()) {
            if (candidate->text() == text)
                return qobject_cast<QPushButton *>(candidate);
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        m_window = new QMainWindow;
        m_window->resize(640, 480);
    }

    void cleanupTestCase() { delete m_window; }

    void buttonsEndTheSheet_data()
    {
        QTest::addColumn<QString>("clicked"); // "<escape>": the Escape key
        QTest::addColumn<int>("returnCode");
        QTest::newRow("Rate It Now") << "Rate It Now" << int(SheetDefaultReturn);
        QTest::newRow("No, Thanks") << "No, Thanks" << int(SheetAlternateReturn);
        QTest::newRow("Remind Me Later") << "Remind Me Later" << int(SheetOtherReturn);
        QTest::newRow("Escape asks again later") << "<escape>" << int(SheetOtherReturn);
    }

    void buttonsEndTheSheet()
    {
        QFETCH(QString, clicked);
        QFETCH(int, returnCode);
        m_window->show();
        MessageBoxPresenter presenter(m_window);
        PromptSheet sheet;
        sheet.title = QStringLiteral("Rate Wavelark");
        sheet.informativeText = QStringLiteral("If you enjoy using Wavelark, ...");
        sheet.defaultButton = QStringLiteral("Rate It Now");
        sheet.alternateButton = QStringLiteral("No, Thanks");
        sheet.otherButton = QStringLiteral("Remind Me Later");
        QList<int> codes;
        presenter.showSheet(sheet, [&codes](int code) { codes.append(code); });

        QPointer<QMessageBox> box = presenter.visibleBox();
        QVERIFY(box);
        QTRY_VERIFY_WITH_TIMEOUT(box->isVisible(), 30000);
        QCOMPARE(box->parentWidget(), m_window);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->text(), sheet.title);
        QCOMPARE(box->informativeText(), sheet.informativeText);
        QCOMPARE(box->buttons().size(), 3);
        QCOMPARE(box->defaultButton(), button(box, QStringLiteral("Rate It Now")));
        QVERIFY(!box->findChild<QTextEdit *>());

        if (clicked == QLatin1String("<escape>"))
            QTest::keyClick(box, Qt::Key_Escape);
        else
            button(box, clicked)->click();
        QTRY_COMPARE_WITH_TIMEOUT(codes, QList<int>{returnCode}, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!box, 30000); // deleted once closed
    }

    void notesAreaFitsItsText_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<bool>("limited");
        QTest::newRow("two lines") << "Faster.\nFixed the start button." << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("long") << QStringLiteral("A change worth reading about.\n").repeated(40)
                              << true;
    }

    void notesAreaFitsItsText()
    {
        QFETCH(QString, notes);
        QFETCH(bool, limited);
        std::unique_ptr<QMessageBox> box(
            MessageBoxPresenter::createBox(updateSheet(notes), m_window));
        auto *area = box->findChild<QTextEdit *>(QStringLiteral("notes"));
        QVERIFY(area);
        QCOMPARE(area->toPlainText(), notes);
        QVERIFY(area->isReadOnly());
        QCOMPARE(area->width(), MessageBoxPresenter::kNotesWidth);
        QCOMPARE(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(area->height() <= MessageBoxPresenter::kNotesMaxHeight);
        if (limited)
            QCOMPARE(area->height(), MessageBoxPresenter::kNotesMaxHeight);
        else
            QVERIFY(area->height() < MessageBoxPresenter::kNotesMaxHeight);

        // The notes sit between the texts and the buttons.
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const QPushButton *download = button(box.get(), QStringLiteral("Download"));
        QVERIFY(area->mapTo(box.get(), QPoint(0, area->height())).y() <=
                download->mapTo(box.get(), QPoint(0, 0)).y());
        QCOMPARE(box->defaultButton(), download);
    }

    // The title carries the store's version string and the texts its words: a reply holding
    // markup is shown as the characters it holds.
    void sheetTextsAreShownAsPlainText()
    {
        PromptSheet sheet = updateSheet(QString());
        sheet.title = QStringLiteral("New version available (<b>2.0</b>)");
        sheet.informativeText = QStringLiteral("<a href='https://elsewhere.example'>Get it</a>");
        std::unique_ptr<QMessageBox> box(MessageBoxPresenter::createBox(sheet, m_window));
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        int plainLabels = 0;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() != sheet.title && label->text() != sheet.informativeText)
                continue;
            QCOMPARE(label->textFormat(), Qt::PlainText);
            ++plainLabels;
        }
        QCOMPARE(plainLabels, 2);
    }
};

WAVELARK_WIDGET_TEST_MAIN(TestPromptSheet)

#include "tst_PromptSheet.moc"
