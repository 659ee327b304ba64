#include "RecordingWorkspace.h"
#include "WidgetTestMain.h"

#include "Shared/FolderBookmark.h"
#include "Shared/Workspace.h"
#include "engine/OperationQueue.h"
#include "engine/QueueWidthPreference.h"
#include "mainwindow/MainWndController.h"
#include "model/OnlineServices.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"
#include "preferences/CustomSettingViewCtl.h"
#include "preferences/OutputNamingRows.h"
#include "preferences/PrefsWindowController.h"
#include "preferences/RateField.h"
#include "preferences/TrustedPathsPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

namespace {

UserDefaults &store()
{
    return UserDefaults::standard();
}

const QStringList kPaneKeys = {
    QString(PrefKeys::PreferedFormatName),
    QString(PrefKeys::AppBSyncToiTunes),
    QString(PrefKeys::BSameQuality),
    QString(PrefKeys::DoubleSamepleRate),
    QString(PrefKeys::DoubleBitRate),
    QString(PrefKeys::AppMaxConvertNum),
    QString(PrefKeys::PlaylistName),
    QString(PrefKeys::AppAudioOutputFolder),
    QString(PrefKeys::Bookmarks),
    QString(PrefKeys::PrefsSelectedIdentifierView),
    QString(PrefKeys::AppKeepCoverArt),
    QString(PrefKeys::AppKeepFolderStructure),
    QString(PrefKeys::AppOnlineServices),
    QString(PrefKeys::AppOpenOutputFolder),
    QString(PrefKeys::AppOutputNamePattern),
    QString(PrefKeys::AppPortableNames),
    QString(PrefKeys::AppId3v23),
    QString(PrefKeys::AppCoverMaxSize),
    QString(PrefKeys::AppMp3Vbr),
    QString(PrefKeys::AppMp3VbrQuality),
    QString(PrefKeys::AppVorbisQuality),
    QString(PrefKeys::AppFlacCompressionLevel),
    QString(PrefKeys::AppConvertOtherAudio),
    QString(PrefKeys::AppReencodeSameFormat),
};

// Blocks a queue slot until released, so the queue's running width can be watched.
class BlockingOperation : public Operation
{
public:
    explicit BlockingOperation(QSemaphore *gate)
        : m_gate(gate)
    {}
    void main() override { m_gate->acquire(); }

private:
    QSemaphore *m_gate;
};

// A folder picker that answers `folders` at once, as a confirmed dialog would.
FolderPanel::Chooser picking(const QStringList &folders, bool *multiple = nullptr)
{
    return [folders, multiple](QWidget *, bool multipleSelection, FolderPanel::Accepted accepted) {
        if (multiple)
            *multiple = multipleSelection;
        QList<QUrl> urls;
        for (const QString &folder : folders)
            urls.append(QUrl::fromLocalFile(folder));
        accepted(urls);
    };
}

FolderPanel::Chooser cancelling()
{
    return [](QWidget *, bool, FolderPanel::Accepted) {};
}

QStringList storedBookmarkPaths()
{
    QStringList paths;
    for (const QVariant &element : store().arrayForKey(PrefKeys::Bookmarks)) {
        QString path;
        FolderBookmark::resolve(element.toByteArray(), &path);
        paths.append(path);
    }
    return paths;
}

QStringList listedPaths(const TrustedPathsPane &pane)
{
    QStringList paths;
    for (const QUrl &url : pane.items())
        paths.append(url.toLocalFile());
    return paths;
}

} // namespace

class TestPrefsPanes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        PreferenceDefaults::registerDefaults(store());
        Workspace::setShared(&m_workspace);
        QVERIFY(m_folders.isValid());
        for (const QString &name : {QStringLiteral("one"), QStringLiteral("two")})
            QVERIFY(QDir(m_folders.path()).mkpath(name));
    }

    void cleanupTestCase() { Workspace::setShared(nullptr); }

    void init()
    {
        for (const QString &key : kPaneKeys)
            store().removeObjectForKey(key);
        m_workspace.selected.clear();
    }

    void emptyStoreShowsDefaults()
    {
        CustomSettingViewCtl pane;
        QCOMPARE(pane.pBtnFmts()->currentIndex(), 0);
        QVERIFY(pane.chkSynciTunes()->isChecked());
        QVERIFY(!pane.chkSameQuality()->isChecked());
        QVERIFY(pane.chkKeepCover()->isChecked());
        QVERIFY(!pane.chkKeepFolders()->isChecked());
        QCOMPARE(pane.cmbSampleRate()->currentText(), QStringLiteral("44100"));
        QCOMPARE(pane.cmbBitRate()->currentText(), QStringLiteral("320"));
        QCOMPARE(pane.pBtnMaxNum()->currentText(), QStringLiteral("3"));
        QCOMPARE(pane.lblPlaylistName()->text(), QStringLiteral("MORVANE Wavelark"));
        QCOMPARE(pane.lblOutputPath()->text(), PreferenceDefaults::defaultAudioOutputFolder());
        QVERIFY(pane.cmbSampleRate()->isEnabled());
        QVERIFY(pane.cmbBitRate()->isEnabled());
    }

    void storedValuesAreShownAndKept()
    {
        store().setValue(PrefKeys::PreferedFormatName, QString(FormatNames::AacAudio));
        store().setValue(PrefKeys::AppBSyncToiTunes, false);
        store().setValue(PrefKeys::BSameQuality, true);
        store().setValue(PrefKeys::DoubleSamepleRate, 22050.0);
        store().setValue(PrefKeys::AppMaxConvertNum, 12);
        store().setValue(PrefKeys::AppKeepCoverArt, false);
        CustomSettingViewCtl pane;
        QCOMPARE(pane.pBtnFmts()->currentIndex(), 1);
        QVERIFY(!pane.chkKeepCover()->isChecked());
        QVERIFY(!pane.chkSynciTunes()->isChecked());
        QVERIFY(pane.chkSameQuality()->isChecked());
        QVERIFY(!pane.cmbSampleRate()->isEnabled());
        QVERIFY(!pane.cmbBitRate()->isEnabled());
        QCOMPARE(pane.cmbSampleRate()->currentText(), QStringLiteral("22050"));
        // A width the list does not offer survives a save.
        QCOMPARE(pane.pBtnMaxNum()->currentText(), QStringLiteral("12"));

        // Disabled rate boxes are still saved.
        pane.cmbBitRate()->setEditText(QStringLiteral("192"));
        QVERIFY(pane.commitEditing());
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleBitRate), 192.0);
        QCOMPARE(store().integerForKey(PrefKeys::AppMaxConvertNum), 12);
        QCOMPARE(store().stringForKey(PrefKeys::PreferedFormatName),
                 QString(FormatNames::AacAudio));

        pane.chkSameQuality()->click();
        QVERIFY(pane.cmbSampleRate()->isEnabled());
        QVERIFY(pane.cmbBitRate()->isEnabled());
    }

    void commitWritesEveryFieldToDisk()
    {
        CustomSettingViewCtl pane;
        pane.pBtnFmts()->setCurrentIndex(1);
        pane.chkSynciTunes()->setChecked(false);
        pane.chkSameQuality()->setChecked(true);
        pane.chkKeepCover()->setChecked(false);
        pane.chkKeepFolders()->setChecked(true);
        pane.cmbSampleRate()->setEditText(QStringLiteral("48000"));
        pane.cmbBitRate()->setEditText(QStringLiteral("256"));
        pane.pBtnMaxNum()->setCurrentText(QStringLiteral("5"));
        pane.lblPlaylistName()->setText(QStringLiteral("Road trip"));
        pane.lblOutputPath()->setText(m_folders.path());
        QVERIFY(pane.commitEditing());

        // What another process would read from the file.
        UserDefaults onDisk(store().filePath());
        QCOMPARE(onDisk.stringForKey(PrefKeys::PreferedFormatName), QString(FormatNames::AacAudio));
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppBSyncToiTunes), false);
        QCOMPARE(onDisk.boolForKey(PrefKeys::BSameQuality), true);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppKeepCoverArt), false);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppKeepFolderStructure), true);
        QCOMPARE(CustomSettingViewCtl().chkKeepFolders()->isChecked(), true);
        QCOMPARE(onDisk.doubleForKey(PrefKeys::DoubleSamepleRate), 48000.0);
        QCOMPARE(onDisk.doubleForKey(PrefKeys::DoubleBitRate), 256.0);
        QCOMPARE(onDisk.integerForKey(PrefKeys::AppMaxConvertNum), 5);
        QCOMPARE(onDisk.stringForKey(PrefKeys::PlaylistName), QStringLiteral("Road trip"));
        QCOMPARE(onDisk.stringForKey(PrefKeys::AppAudioOutputFolder), m_folders.path());
    }

    void unusableValuesAreNotStored_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<double>("storedRate");
        QTest::addColumn<double>("storedBitRate");
        QTest::newRow("empty") << QString() << 32000.0 << 160.0;
        QTest::newRow("zero") << QStringLiteral("0") << 32000.0 << 160.0;
        QTest::newRow("negative") << QStringLiteral("-44100") << 32000.0 << 160.0;
        QTest::newRow("not a number") << QStringLiteral("fast") << 32000.0 << 160.0;
        QTest::newRow("too large") << QStringLiteral("1e999") << 32000.0 << 160.0;
        // 22050 kbit/s is beyond MP3: brought down to its highest bit rate.
        QTest::newRow("number with unit") << QStringLiteral("22050 Hz") << 22050.0 << 320.0;
    }

    void unusableValuesAreNotStored()
    {
        QFETCH(QString, rate);
        QFETCH(double, storedRate);
        QFETCH(double, storedBitRate);
        store().setValue(PrefKeys::DoubleSamepleRate, 32000.0);
        store().setValue(PrefKeys::DoubleBitRate, 160.0);
        store().setValue(PrefKeys::PlaylistName, QStringLiteral("Kept"));
        CustomSettingViewCtl pane;
        pane.cmbSampleRate()->setEditText(rate);
        pane.cmbBitRate()->setEditText(rate);
        pane.lblPlaylistName()->clear();
        pane.lblOutputPath()->clear();
        QVERIFY(pane.commitEditing());

        QCOMPARE(store().doubleForKey(PrefKeys::DoubleSamepleRate), storedRate);
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleBitRate), storedBitRate);
        QCOMPARE(store().stringForKey(PrefKeys::PlaylistName), QStringLiteral("Kept"));
        QVERIFY(!store().hasStoredValue(PrefKeys::AppAudioOutputFolder));
    }

    void rateBoxesKeepToTheFormatsRange_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("sampleRate");
        QTest::addColumn<QString>("bitRate");
        QTest::addColumn<double>("storedSampleRate");
        QTest::addColumn<double>("storedBitRate");
        QTest::addColumn<bool>("noted");
        QTest::newRow("mp3 within") << 0 << "44100"
                                    << "192" << 44100.0 << 192.0 << false;
        QTest::newRow("mp3 above 48 kHz") << 0 << "96000"
                                          << "192" << 48000.0 << 192.0 << true;
        QTest::newRow("mp3 9999 kbit/s") << 0 << "44100"
                                         << "9999" << 44100.0 << 320.0 << true;
        QTest::newRow("aac keeps 96 kHz") << 1 << "96000"
                                          << "256" << 96000.0 << 256.0 << false;
        QTest::newRow("aac 9999 kbit/s") << 1 << "44100"
                                         << "9999" << 44100.0 << 512.0 << true;
        QTest::newRow("below either range") << 0 << "100"
                                            << "1" << 8000.0 << 8.0 << true;
        QTest::newRow("letters keep the old") << 0 << "abc"
                                              << "abc" << 32000.0 << 160.0 << true;
    }

    void rateBoxesKeepToTheFormatsRange()
    {
        QFETCH(int, format);
        QFETCH(QString, sampleRate);
        QFETCH(QString, bitRate);
        QFETCH(double, storedSampleRate);
        QFETCH(double, storedBitRate);
        QFETCH(bool, noted);
        store().setValue(PrefKeys::DoubleSamepleRate, 32000.0);
        store().setValue(PrefKeys::DoubleBitRate, 160.0);
        CustomSettingViewCtl pane;
        QVERIFY(pane.lblRateNote()->text().isEmpty());
        QCOMPARE(pane.sampleRateField()->unitLabel()->text(), QStringLiteral("Hz"));
        QCOMPARE(pane.bitRateField()->unitLabel()->text(), QStringLiteral("kbit/s"));
        pane.pBtnFmts()->setCurrentIndex(format);
        pane.cmbSampleRate()->setEditText(sampleRate);
        pane.cmbBitRate()->setEditText(bitRate);
        QVERIFY(pane.commitEditing());
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleSamepleRate), storedSampleRate);
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleBitRate), storedBitRate);
        QCOMPARE(!pane.lblRateNote()->text().isEmpty(), noted);
    }

    // A stored rate outside the format's range is left as it is when the pane loads; it is
    // brought into the range, with a note, only when the user commits. The note goes once the
    // entry is fine again.
    void aStoredRateOutOfRangeWaitsForTheCommit()
    {
        store().setValue(PrefKeys::DoubleBitRate, 9999.0);
        CustomSettingViewCtl pane;
        QCOMPARE(pane.cmbBitRate()->currentText(), QStringLiteral("9999"));
        QVERIFY(pane.lblRateNote()->text().isEmpty());
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleBitRate), 9999.0);

        QVERIFY(pane.commitEditing());
        QCOMPARE(store().doubleForKey(PrefKeys::DoubleBitRate), 320.0);
        QVERIFY(pane.lblRateNote()->text().contains(QStringLiteral("9999")));

        pane.cmbBitRate()->setEditText(QStringLiteral("192"));
        QVERIFY(pane.commitEditing());
        QVERIFY2(pane.lblRateNote()->text().isEmpty(), qPrintable(pane.lblRateNote()->text()));
    }

    void rateBoxesTakeDigitsAndFollowTheFormat()
    {
        CustomSettingViewCtl pane;
        pane.show();
        QLineEdit *bitRate = pane.cmbBitRate()->lineEdit();
        bitRate->clear();
        QTest::keyClicks(bitRate, QStringLiteral("a1b9c2"));
        QCOMPARE(bitRate->text(), QStringLiteral("192"));

        // 96 kHz suits AAC; going back to MP3 brings it down to what MP3 can hold, visibly.
        pane.pBtnFmts()->setCurrentIndex(1);
        QVERIFY(pane.cmbSampleRate()->findText(QStringLiteral("96000")) >= 0);
        pane.cmbSampleRate()->setEditText(QStringLiteral("96000"));
        pane.pBtnFmts()->setCurrentIndex(0);
        QCOMPARE(pane.cmbSampleRate()->currentText(), QStringLiteral("48000"));
        QVERIFY(pane.cmbSampleRate()->findText(QStringLiteral("96000")) < 0);
        QVERIFY(pane.lblRateNote()->text().contains(QStringLiteral("96000")));
    }

    void helpPopoverHoldsItsWholeText()
    {
        CustomSettingViewCtl pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        for (int index = 0; index < 4; ++index) {
            pane.helpButton(index)->click();
            QTRY_VERIFY_WITH_TIMEOUT(pane.popover()->isVisible(), 10000);
            QLabel *tip = pane.lblLightTip();
            QVERIFY(tip->width() <= 320);
            QVERIFY2(tip->height() >= tip->heightForWidth(tip->width()), "the text is cut off");
            const QRect inPopover(tip->mapTo(pane.popover(), QPoint()), tip->size());
            QVERIFY(pane.popover()->rect().contains(inPopover));
            pane.popover()->close();
        }
    }

    void escapeClosesTheWindowAfterCommitting()
    {
        CustomSettingViewCtl pane;
        TrustedPathsPane trusted;
        PrefsWindowController controller({&pane, &trusted});
        controller.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.window()));
        pane.lblPlaylistName()->setFocus();
        pane.lblPlaylistName()->setText(QStringLiteral("Escaped"));
        QTest::keyClick(pane.lblPlaylistName(), Qt::Key_Escape);
        QVERIFY(!controller.window()->isVisible());
        QCOMPARE(store().stringForKey(PrefKeys::PlaylistName), QStringLiteral("Escaped"));
    }

    // The naming and device rows: stored on commit, shown again, and the example follows the
    // pattern, the device option and the list's first row.
    void namingRowsAreStoredAndShowAnExample()
    {
        {
            CustomSettingViewCtl pane;
            OutputNamingRows *rows = pane.namingRows();
            QVERIFY(rows->pattern().isEmpty());
            QVERIFY(!rows->chkPortableNames()->isChecked());
            QVERIFY(!rows->chkId3v23()->isChecked());
            QCOMPARE(rows->cmbCoverSize()->currentData().toInt(), 0);
            // Without a row, a made-up album track; with the input's name it is named as before.
            QCOMPARE(rows->lblExample()->text(), QStringLiteral("Example: 03 Lilac Wine.mp3"));

            rows->cmbPattern()->activated(1);
            QCOMPARE(rows->pattern(), QStringLiteral("{albumartist}/{album}/{track} - {title}"));
            QCOMPARE(rows->lblExample()->text(),
                     QStringLiteral("Example: Nina Simone/Wild Is the Wind/03 - Lilac Wine.mp3"));

            auto first = std::make_shared<LSMedia>();
            first->setFilePath(QStringLiteral("/in/x.flac"));
            first->setStrOutFileName(QStringLiteral("x"));
            first->setStrOutFileExt(QStringLiteral("m4a"));
            TrackTags tags;
            tags.artist = QStringLiteral("AC/DC");
            tags.album = QStringLiteral("Live: 1992?");
            tags.title = QStringLiteral("Thunder");
            first->setTags(tags);
            pane.setExampleItem([first] { return first; });
            QCOMPARE(rows->lblExample()->text(),
                     QStringLiteral("Example: AC_DC/Live: 1992?/00 - Thunder.m4a"));
            rows->chkPortableNames()->setChecked(true);
            QCOMPARE(rows->lblExample()->text(),
                     QStringLiteral("Example: AC_DC/Live_ 1992_/00 - Thunder.m4a"));

            rows->cmbPattern()->setEditText(QStringLiteral(" {album}/{title} "));
            rows->chkId3v23()->setChecked(true);
            rows->cmbCoverSize()->setCurrentIndex(rows->cmbCoverSize()->findData(500));
            QVERIFY(pane.commitEditing());
        }
        UserDefaults onDisk(store().filePath());
        QCOMPARE(onDisk.stringForKey(PrefKeys::AppOutputNamePattern),
                 QStringLiteral("{album}/{title}"));
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppPortableNames), true);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppId3v23), true);
        QCOMPARE(onDisk.integerForKey(PrefKeys::AppCoverMaxSize), 500);

        // Shown again; a size only wavelark-cli offers is kept.
        store().setValue(PrefKeys::AppCoverMaxSize, 720);
        CustomSettingViewCtl again;
        QCOMPARE(again.namingRows()->pattern(), QStringLiteral("{album}/{title}"));
        QVERIFY(again.namingRows()->chkPortableNames()->isChecked());
        QCOMPARE(again.namingRows()->cmbCoverSize()->currentData().toInt(), 720);
        QVERIFY(again.commitEditing());
        QCOMPARE(store().integerForKey(PrefKeys::AppCoverMaxSize), 720);
    }

    void switchesOfOutputFolderAndPrivacyAreStored()
    {
        {
            CustomSettingViewCtl pane;
            QVERIFY(pane.chkOpenOutput()->isChecked());
            QVERIFY(pane.chkOnlineServices()->isChecked());
            QVERIFY(pane.chkOnlineServices()->isEnabled());
            QVERIFY(OnlineServices::allowed());
            pane.chkOpenOutput()->setChecked(false);
            pane.chkOnlineServices()->setChecked(false);
            QVERIFY(pane.commitEditing());
        }
        UserDefaults onDisk(store().filePath());
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppOpenOutputFolder), false);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppOnlineServices), false);
        QVERIFY(!OnlineServices::allowed());

        // Forced off by the environment: shown off and locked, the user's choice kept.
        store().setValue(PrefKeys::AppOnlineServices, true);
        qputenv(OnlineServices::kOfflineVariable, "1");
        auto unset = qScopeGuard([] { qunsetenv(OnlineServices::kOfflineVariable); });
        QVERIFY(!OnlineServices::allowed());
        CustomSettingViewCtl offline;
        QVERIFY(!offline.chkOnlineServices()->isChecked());
        QVERIFY(!offline.chkOnlineServices()->isEnabled());
        QVERIFY(offline.commitEditing());
        QCOMPARE(store().boolForKey(PrefKeys::AppOnlineServices), true);
    }

    void leavingThePaneWidensTheRunningQueue()
    {
        OperationQueue queue(3);
        QSemaphore gate;
        for (int i = 0; i < 8; ++i)
            queue.addOperation(std::make_shared<BlockingOperation>(&gate));
        QTRY_COMPARE_WITH_TIMEOUT(queue.runningOperationCount(), 3, 30000);

        QueueWidthPreference::follow(&queue, UserDefaults::standard());
        CustomSettingViewCtl settings;
        TrustedPathsPane trusted;
        PrefsWindowController controller({&settings, &trusted});
        controller.window();
        QCOMPARE(controller.selectedViewController(), &settings);

        settings.pBtnMaxNum()->setCurrentText(QStringLiteral("5"));
        QCOMPARE(queue.maxConcurrentOperationCount(), 3);
        controller.goNextTab();
        QCOMPARE(controller.selectedViewController(), &trusted);
        QCOMPARE(queue.maxConcurrentOperationCount(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(queue.runningOperationCount(), 5, 30000);

        gate.release(8);
        queue.waitUntilAllOperationsAreFinished();
    }

    void mainWindowQueueFollowsTheSetting()
    {
        MainWndController mainWindow;
        QCOMPARE(mainWindow.queue()->maxConcurrentOperationCount(), 3);
        CustomSettingViewCtl settings;
        settings.pBtnMaxNum()->setCurrentText(QStringLiteral("5"));
        QVERIFY(settings.commitEditing());
        QCOMPARE(mainWindow.queue()->maxConcurrentOperationCount(), 5);
    }

    void browseTrustsTheFolderAndStoresItOnCommit()
    {
        TrustedPathsPane trusted;
        CustomSettingViewCtl pane;
        const QString folder = m_folders.path() + QStringLiteral("/one");

        pane.setFolderChooser(cancelling());
        pane.browseDown();
        QCOMPARE(pane.lblOutputPath()->text(), PreferenceDefaults::defaultAudioOutputFolder());

        bool multiple = true;
        pane.setFolderChooser(picking({folder}, &multiple));
        pane.browseDown();
        QVERIFY(!multiple);
        QCOMPARE(pane.lblOutputPath()->text(), folder);
        // Trusted at once; the setting waits for the commit.
        QCOMPARE(storedBookmarkPaths(), QStringList{folder});
        QCOMPARE(listedPaths(trusted), QStringList{folder});
        QVERIFY(!store().hasStoredValue(PrefKeys::AppAudioOutputFolder));

        PrefsWindowController controller({&pane, &trusted});
        controller.window()->show();
        QVERIFY(controller.window()->close());
        QCOMPARE(store().stringForKey(PrefKeys::AppAudioOutputFolder), folder);

        pane.openDown();
        QCOMPARE(m_workspace.selected, QStringList{folder});
    }

    // The mode box offers each format's own quality choices, keeps the level chosen per format
    // while the pane is open, says what the choice means, and the commit stores every level.
    void qualityModesFollowTheFormat()
    {
        CustomSettingViewCtl pane;
        QCOMPARE(pane.cmbQuality()->count(), 11); // constant, V0 to V9
        QCOMPARE(pane.cmbQuality()->currentData().toInt(), -1);
        QCOMPARE(pane.lblQualityHint()->text(), QStringLiteral("320 kbit/s, constant"));
        QVERIFY(pane.cmbBitRate()->isEnabled());

        pane.cmbQuality()->setCurrentIndex(pane.cmbQuality()->findData(2));
        QCOMPARE(pane.lblQualityHint()->text(), QStringLiteral("V2, about 190 kbit/s"));
        QVERIFY(!pane.cmbBitRate()->isEnabled()); // VBR takes no bit rate

        const int vorbis = OutputFormat::withTitle(FormatNames::VorbisAudio)->index();
        pane.pBtnFmts()->setCurrentIndex(vorbis);
        QCOMPARE(pane.cmbQuality()->count(), 11); // quality 0 to 10
        QCOMPARE(pane.cmbQuality()->currentData().toInt(), 6);
        pane.cmbQuality()->setCurrentIndex(pane.cmbQuality()->findData(8));
        QCOMPARE(pane.lblQualityHint()->text(), QStringLiteral("quality 8, about 256 kbit/s"));

        pane.pBtnFmts()->setCurrentIndex(OutputFormat::withTitle(FormatNames::FlacAudio)->index());
        QCOMPARE(pane.cmbQuality()->count(), 9); // levels 0 to 8
        QCOMPARE(pane.cmbQuality()->currentData().toInt(), 5);
        pane.pBtnFmts()->setCurrentIndex(0);
        QCOMPARE(pane.cmbQuality()->currentData().toInt(), 2); // MP3 kept its V2
        pane.pBtnFmts()->setCurrentIndex(vorbis);

        QVERIFY(!pane.chkOtherAudio()->isChecked());
        QVERIFY(!pane.chkReencode()->isEnabled());
        pane.chkOtherAudio()->setChecked(true);
        QVERIFY(pane.chkReencode()->isEnabled());
        QVERIFY(pane.commitEditing());

        UserDefaults onDisk(store().filePath());
        QCOMPARE(onDisk.stringForKey(PrefKeys::PreferedFormatName),
                 QString(FormatNames::VorbisAudio));
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppMp3Vbr), true);
        QCOMPARE(onDisk.integerForKey(PrefKeys::AppMp3VbrQuality), 2);
        QCOMPARE(onDisk.integerForKey(PrefKeys::AppVorbisQuality), 8);
        QCOMPARE(onDisk.integerForKey(PrefKeys::AppFlacCompressionLevel), 5);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppConvertOtherAudio), true);
        QCOMPARE(onDisk.boolForKey(PrefKeys::AppReencodeSameFormat), false);

        CustomSettingViewCtl again;
        QCOMPARE(again.pBtnFmts()->currentIndex(), vorbis);
        QCOMPARE(again.cmbQuality()->currentData().toInt(), 8);
        QVERIFY(again.chkOtherAudio()->isChecked());
        QVERIFY(CustomSettingViewCtl::helpText(4).contains(QLatin1String("\"Same Quality\"")));
    }

    void helpShowsItsTextNextToTheButton()
    {
        CustomSettingViewCtl pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        for (int index = 0; index < 5; ++index) {
            QPushButton *button = pane.helpButton(index);
            button->click();
            QTRY_VERIFY_WITH_TIMEOUT(pane.popover()->isVisible(), 10000);
            QCOMPARE(pane.lblLightTip()->text(), CustomSettingViewCtl::helpText(index));
            const QPoint corner = button->mapToGlobal(QPoint(10, button->height()));
            const QRect frame = pane.popover()->frameGeometry();
            QVERIFY2(frame.left() <= corner.x() + 1 &&
                         (frame.top() >= corner.y() - 1 || frame.bottom() <= corner.y()),
                     "the popover is not beside its button");
            pane.popover()->close();
        }
        // The English table words the help for this system: the playlist in the Music folder.
        for (int index = 0; index < 4; ++index)
            QVERIFY(!CustomSettingViewCtl::helpText(index).contains(QLatin1String("iTunes")));
        QVERIFY(CustomSettingViewCtl::helpText(0).contains(QLatin1String("\"Add to Playlist\"")));
        QCOMPARE(pane.chkSynciTunes()->text(), QStringLiteral("Add to Playlist"));
    }

    void uncommittedRemovalComesBackAtNextStart()
    {
        const QString one = m_folders.path() + QStringLiteral("/one");
        const QString two = m_folders.path() + QStringLiteral("/two");
        {
            TrustedPathsPane pane;
            bool multiple = false;
            pane.setFolderChooser(picking({one, two, one}, &multiple));
            pane.addFolderDown();
            QVERIFY(multiple);
            QCOMPARE(pane.tableView()->model()->rowCount(), 2);
            QCOMPARE(storedBookmarkPaths(), QStringList({one, two}));

            pane.tableView()->selectRow(0);
            pane.removeFolderDown();
            QCOMPARE(listedPaths(pane), QStringList{two});
            QCOMPARE(pane.tableView()->model()->rowCount(), 1);
            QCOMPARE(storedBookmarkPaths(), QStringList({one, two}));
        }

        TrustedPathsPane restarted;
        QCOMPARE(listedPaths(restarted), QStringList({one, two}));
        QCOMPARE(restarted.tableView()->model()->index(1, 0).data().toString(), two);

        // Removed and the preferences window closed: gone for good.
        CustomSettingViewCtl settings;
        PrefsWindowController controller({&settings, &restarted});
        controller.selectControllerAtIndex(1);
        controller.window()->show();
        restarted.tableView()->selectRow(1);
        restarted.removeFolderDown();
        QVERIFY(controller.window()->close());
        QCOMPARE(storedBookmarkPaths(), QStringList{one});
    }

private:
    RecordingWorkspace m_workspace;
    QTemporaryDir m_folders;
};

WAVELARK_WIDGET_TEST_MAIN(TestPrefsPanes)

#include "tst_PrefsPanes.moc"
