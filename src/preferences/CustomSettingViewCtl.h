#pragma once

#include "preferences/FolderPanel.h"
#include "preferences/PrefsViewController.h"
#include "preferences/RateField.h"

#include "model/LSMedia.h"

#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class OutputNamingRows;
class OutputFormat;
class QualityModeChoice;
class RateField;
class UserDefaults;
struct ConversionSettings;

// The conversion settings pane: output format for new files, music library sync, same quality
// with the sample and bit rates used when it is off (within the chosen format's range), the
// format's quality mode (MP3 constant or VBR V0-V9, Vorbis quality, FLAC level) with what the
// choice means ("V2, about 190 kbit/s"), whether other audio files are taken as inputs and
// whether one already in the output format is encoded again instead of copied, how many
// files convert at once, playlist name, audio output folder, whether outputs keep the folders
// they were dropped in, whether files already converted are skipped and whether the folder opens
// after a run, and the privacy switch of the start-up report and the update lookups
// (OnlineServices).
//
// The controls are filled from the preferences store when the pane is created and written back
// by commitEditing() (leaving the pane or closing the window), which also gives the running
// conversion queue its new width at once. Rates that are empty, not numbers or not above 0, and
// an empty playlist name or folder, are not stored: the previous value stays. A commit that
// changes the format, a rate or the same-quality choice asks once whether rows still waiting in
// the list take the new settings (Apply) or keep theirs (Keep).
// Thread: main thread.
class CustomSettingViewCtl : public QWidget, public PrefsViewController
{
    Q_OBJECT

public:
    explicit CustomSettingViewCtl(QWidget *parent = nullptr);
    ~CustomSettingViewCtl() override;

    QString identifier() const override;
    QIcon toolbarItemImage() const override;
    QString toolbarItemLabel() const override;
    QWidget *view() override { return this; }
    bool commitEditing() override;

    // Replaces the output folder dialog (tests pick folders without one).
    void setFolderChooser(FolderPanel::Chooser chooser);
    // The rows whose settings may still change (waiting, not held by a run), and what to call
    // once the pane changed them; the main window supplies both. Without them nothing is asked.
    using WaitingItems = std::function<QList<LSMediaPtr>()>;
    void setWaitingItems(WaitingItems items, std::function<void()> changed);
    // The first row of the list, for the example of the file name pattern.
    void setExampleItem(std::function<LSMediaPtr()> item);
    // The open "apply to waiting files" question; null when none is open.
    QMessageBox *applyQuestion() const { return m_applyQuestion; }

    // The help texts of the help buttons, in order: format, concurrency, playlist, output
    // folder, and quality (what "Same Quality" and the modes mean).
    static QString helpText(int index);

    QComboBox *pBtnFmts() const { return m_pBtnFmts; }
    QCheckBox *chkSynciTunes() const { return m_chkSynciTunes; }
    QCheckBox *chkSameQuality() const { return m_chkSameQuality; }
    QCheckBox *chkKeepCover() const { return m_chkKeepCover; }
    QCheckBox *chkKeepFolders() const { return m_chkKeepFolders; }
    QCheckBox *chkSkipFinished() const { return m_chkSkipFinished; }
    QComboBox *cmbSampleRate() const;
    QComboBox *cmbBitRate() const;
    RateField *sampleRateField() const { return m_sampleRate; }
    RateField *bitRateField() const { return m_bitRate; }
    QLabel *lblRateNote() const { return m_lblRateNote; }
    // The chosen format's quality choices (the first MP3 one is the constant bit rate), and
    // what the chosen one means.
    QComboBox *cmbQuality() const;
    QLabel *lblQualityHint() const;
    QCheckBox *chkOtherAudio() const { return m_chkOtherAudio; }
    QCheckBox *chkReencode() const { return m_chkReencode; }
    QCheckBox *chkOpenOutput() const { return m_chkOpenOutput; }
    QCheckBox *chkOnlineServices() const { return m_chkOnlineServices; }
    QCheckBox *chkSkipConverted() const { return m_chkSkipConverted; }
    OutputNamingRows *namingRows() const { return m_namingRows; }
    QComboBox *pBtnMaxNum() const { return m_pBtnMaxNum; }
    QLineEdit *lblPlaylistName() const { return m_lblPlaylistName; }
    QLineEdit *lblOutputPath() const { return m_lblOutputPath; }
    QPushButton *helpButton(int index) const;
    QFrame *popover() const { return m_popover; }
    QWidget *tipView() const { return m_tipView; }
    QLabel *lblLightTip() const { return m_lblLightTip; }

public slots:
    void browseDown(QObject *sender = nullptr);
    void openDown(QObject *sender = nullptr);
    void help1(QObject *sender = nullptr);
    void help2(QObject *sender = nullptr);
    void help3(QObject *sender = nullptr);
    void help4(QObject *sender = nullptr);
    void help5(QObject *sender = nullptr);
    void sameOriginDown(QObject *sender = nullptr);

private:
    void buildControls();
    void awakeFromNib();
    void showHelp(int index, QObject *sender);
    // The stored format, rates and same-quality choice, to see whether a commit changed them.
    QVariantList conversionSettings() const;
    void askAboutWaitingItems();
    void followFormat(RateField::Correction correction = RateField::Correction::Now);
    void showRateNotes();
    QWidget *questionOwner() const;
    // Fills the quality choices for the chosen format from the levels held for each format.
    // Keeps the chosen quality for its format and shows what it means.
    void followQuality();
    const OutputFormat &chosenFormat() const;

    QComboBox *m_pBtnFmts = nullptr;
    QCheckBox *m_chkSynciTunes = nullptr;
    QCheckBox *m_chkSameQuality = nullptr;
    QCheckBox *m_chkKeepCover = nullptr;
    QCheckBox *m_chkKeepFolders = nullptr;
    QCheckBox *m_chkSkipFinished = nullptr;
    RateField *m_sampleRate = nullptr;
    RateField *m_bitRate = nullptr;
    QLabel *m_lblRateNote = nullptr;
    QHash<RateField *, QString> m_rateNotes; // the latest note of each rate box
    QualityModeChoice *m_quality = nullptr;
    QCheckBox *m_chkOtherAudio = nullptr;
    QCheckBox *m_chkReencode = nullptr;
    // The quality level held for each format while the pane is open (-1: MP3 at constant rate).
    QCheckBox *m_chkOpenOutput = nullptr;
    QCheckBox *m_chkOnlineServices = nullptr;
    QCheckBox *m_chkSkipConverted = nullptr;
    OutputNamingRows *m_namingRows = nullptr;
    QComboBox *m_pBtnMaxNum = nullptr;
    QLineEdit *m_lblPlaylistName = nullptr;
    QLineEdit *m_lblOutputPath = nullptr;
    QFrame *m_popover = nullptr;
    QWidget *m_tipView = nullptr;
    QLabel *m_lblLightTip = nullptr;
    QList<QPushButton *> m_helpButtons;

    FolderPanel::Chooser m_folderChooser;
    WaitingItems m_waitingItems;
    std::function<void()> m_waitingItemsChanged;
    QPointer<QMessageBox> m_applyQuestion;
};
