// What the list shows and lets the user change before a run: each row's output format, the
// format set from the context menu, the settings pane's question about waiting rows, and
// sorting by a column header.
#include "MainWindowTestSupport.h"

#include "engine/ConvertOperation.h"
#include "engine/OperationQueue.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "model/MediaItemBuilder.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/CustomSettingViewCtl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QStringList kPaneKeys{QString(PrefKeys::PreferedFormatName), QString(PrefKeys::BSameQuality),
                            QString(PrefKeys::DoubleSamepleRate), QString(PrefKeys::DoubleBitRate)};

// Rows made as the loader makes them, for files that need not exist.
QList<LSMediaPtr> rows(const QStringList &names, const QList<double> &durations = {})
{
    QList<LSMediaPtr> items;
    for (qsizetype i = 0; i < names.size(); ++i) {
        LSMediaPtr media = MediaItemBuilder::makeMedia(QStringLiteral("/music/") + names.at(i));
        media->setDuration(durations.value(i));
        items.append(media);
    }
    return items;
}

QPushButton *button(QMessageBox *box, const QString &text)
{
    for (QAbstractButton *candidate : box->buttons()) {
        if (candidate->text() == text)
            return qobject_cast<QPushButton *>(candidate);
    }
    return nullptr;
}

} // namespace

class TestMainWindowList : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    std::unique_ptr<MainWndController> m_window;

    QStringList column(int column) const
    {
        QStringList texts;
        MediaListModel *model = m_window->listModel();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }

    void clickHeader(int section)
    {
        QHeaderView *header = m_window->tableView()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(section) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    void selectRows(const QList<int> &selected)
    {
        QItemSelectionModel *selection = m_window->tableView()->selectionModel();
        selection->clearSelection();
        for (int row : selected)
            selection->select(m_window->listModel()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase() { Workspace::setShared(&m_workspace); }

    void init()
    {
        for (const QString &key : kPaneKeys)
            UserDefaults::standard().removeObjectForKey(key);
        m_window = std::make_unique<MainWndController>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void eachRowShowsItsFormatAndTheMenuChangesWaitingRows()
    {
        m_window->listModel()->insertItems(0, rows({"a.flac", "b.ogg", "c.flac"}));
        QCOMPARE(m_window->listModel()->headerData(MediaListModel::FormatColumn, Qt::Horizontal),
                 QVariant("Format"));
        QCOMPARE(column(MediaListModel::FormatColumn), QStringList({"MP3", "MP3", "MP3"}));

        // Nothing selected: nothing to set.
        QVERIFY(!m_window->formatAction()->isEnabled());
        m_window->items().at(2)->setEumCvtState(LSMedia::CvtStateFinished);
        selectRows({0, 2});
        QVERIFY(m_window->formatAction()->isEnabled());
        QVERIFY(m_window->tableView()->actions().contains(m_window->formatAction()));
        QMenu *formats = m_window->formatAction()->menu();
        QVERIFY(formats);
        QCOMPARE(formats->actions().size(), OutputFormat::all().size());
        formats->actions().at(1)->trigger(); // AAC (M4A)

        // The waiting row changes; the finished one keeps what it was converted to.
        QCOMPARE(column(MediaListModel::FormatColumn), QStringList({"M4A", "MP3", "MP3"}));
        const LSMedia &changed = *m_window->items().at(0);
        QCOMPARE(changed.strFmtName(), QString(FormatNames::AacAudio));
        QCOMPARE(changed.vOACodecName(), QStringLiteral("aac"));
        // Its own quality choice stays.
        QCOMPARE(changed.dAOSamplerate(), m_window->items().at(1)->dAOSamplerate());
        QCOMPARE(changed.dAOBitrate(), m_window->items().at(1)->dAOBitrate());

        selectRows({2});
        QVERIFY(!m_window->formatAction()->isEnabled());
    }

    void thePaneAsksOnceAboutWaitingRows()
    {
        m_window->listModel()->insertItems(0, rows({"a.flac", "b.ogg", "done.flac"}));
        m_window->items().at(2)->setEumCvtState(LSMedia::CvtStateFinished);
        CustomSettingViewCtl pane;
        int refreshed = 0;
        pane.setWaitingItems([this] { return m_window->waitingItems(); },
                             [&refreshed] { ++refreshed; });

        // A commit that changes nothing of the conversion asks nothing.
        QVERIFY(pane.commitEditing());
        QVERIFY(!pane.applyQuestion());

        // Keep: the rows stay as they were added.
        pane.pBtnFmts()->setCurrentIndex(1);
        QVERIFY(pane.commitEditing());
        QPointer<QMessageBox> question = pane.applyQuestion();
        QVERIFY(question);
        QVERIFY2(question->text().contains("2 waiting files"), qPrintable(question->text()));
        // A second commit while it is open does not ask again.
        QVERIFY(pane.commitEditing());
        QCOMPARE(pane.applyQuestion(), question.data());
        // Keep is the default answer: Enter keeps the rows' settings.
        QCOMPARE(question->defaultButton(), button(question, "Keep"));
        QTest::keyClick(question, Qt::Key_Return);
        QTRY_VERIFY(!question);
        QCOMPARE(column(MediaListModel::FormatColumn), QStringList({"MP3", "MP3", "MP3"}));
        QCOMPARE(refreshed, 0);

        // A row given its format by hand keeps it, and its rates, whatever the pane says.
        selectRows({1});
        m_window->setOutputFormatOfSelection(QString(FormatNames::Mp3Audio));
        const double handSampleRate = m_window->items().at(1)->dAOSamplerate();

        // Apply: the waiting rows take the format and the rates, the finished one does not.
        pane.chkSameQuality()->setChecked(false);
        pane.cmbSampleRate()->setEditText("22050");
        pane.cmbBitRate()->setEditText("128");
        QVERIFY(pane.commitEditing());
        question = pane.applyQuestion();
        QVERIFY(question);
        button(question, "Apply")->click();
        QTRY_VERIFY(!question);
        QCOMPARE(refreshed, 1);
        QCOMPARE(column(MediaListModel::FormatColumn), QStringList({"M4A", "MP3", "MP3"}));
        QCOMPARE(m_window->items().at(0)->dAOSamplerate(), 22050.0);
        QCOMPARE(m_window->items().at(0)->dAOBitrate(), 128.0);
        QCOMPARE(m_window->items().at(1)->dAOSamplerate(), handSampleRate);
        QVERIFY(m_window->items().at(2)->dAOSamplerate() != 22050.0);

        // The rows already match: a further change of something else asks nothing.
        pane.pBtnMaxNum()->setCurrentText("2");
        QVERIFY(pane.commitEditing());
        QVERIFY(!pane.applyQuestion());
    }

    void headersSortNaturallyAndTheRunFollows()
    {
        m_window->listModel()->insertItems(
            0, rows({"B.flac", "10.flac", "a.ogg", "2.flac", "1.flac"}, {5, 1, 3, 4, 2}));
        m_window->items().at(1)->setEumCvtState(LSMedia::CvtStateFinished);
        const LSMediaPtr ten = m_window->items().at(1);
        selectRows({1});
        m_window->tableView()->setCurrentIndex(m_window->listModel()->index(1, 0));

        clickHeader(MediaListModel::TitleColumn);
        QCOMPARE(column(MediaListModel::TitleColumn),
                 QStringList({"1.flac", "2.flac", "10.flac", "a.ogg", "B.flac"}));
        // The selection follows its row.
        QCOMPARE(m_window->tableView()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(m_window->tableView()->selectionModel()->selectedRows().first().row(), 2);
        QCOMPARE(m_window->tableView()->currentIndex().row(), 2);

        clickHeader(MediaListModel::TitleColumn);
        QCOMPARE(column(MediaListModel::TitleColumn),
                 QStringList({"B.flac", "a.ogg", "10.flac", "2.flac", "1.flac"}));

        clickHeader(MediaListModel::DurationColumn);
        QCOMPARE(column(MediaListModel::TitleColumn),
                 QStringList({"10.flac", "1.flac", "a.ogg", "2.flac", "B.flac"}));

        clickHeader(MediaListModel::ProgressColumn);
        QCOMPARE(m_window->items().last(), ten); // pending (0) before finished (5)

        // A run converts the rows in the order shown.
        clickHeader(MediaListModel::TitleColumn);
        const QList<LSMediaPtr> shown = m_window->items();
        m_window->queue()->setMaxConcurrentOperationCount(1);
        QSignalSpy finished(m_window.get(), &MainWndController::runFinished);
        m_window->startConvertDown();
        // Queued once the output folder's stale temporaries are cleared, all in one go; the
        // first may have ended by the time they are looked at.
        QTRY_VERIFY(m_window->queue()->operationCount() > 0);
        QList<LSMediaPtr> queued;
        for (const OperationPtr &operation : m_window->queue()->operations())
            queued << std::dynamic_pointer_cast<ConvertOperation>(operation)->mediaToConvert();
        QVERIFY(queued.size() >= shown.size() - 1);
        QCOMPARE(queued, shown.mid(shown.size() - queued.size()));
        m_window->stopConvertDown();
        QVERIFY(finished.wait(60000));
    }
};

WAVELARK_WIDGET_TEST_MAIN(TestMainWindowList)
#include "tst_MainWindowList.moc"
