#include "preferences/CustomSettingViewCtl.h"

#include "Shared/LenientNumber.h"
#include "Shared/Workspace.h"
#include "model/ConversionSettings.h"
#include "model/MediaItemBuilder.h"
#include "model/OnlineServices.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/TrustedFolders.h"
#include "model/UserDefaults.h"
#include "preferences/OutputNamingRows.h"
#include "preferences/PrefsImages.h"
#include "preferences/QualityModeChoice.h"
#include "preferences/RateField.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QVBoxLayout>

namespace {

const QStringList kSampleRates = {
    QStringLiteral("8000"),  QStringLiteral("11025"), QStringLiteral("16000"),
    QStringLiteral("22050"), QStringLiteral("32000"), QStringLiteral("44100"),
    QStringLiteral("48000"), QStringLiteral("96000"),
};
const QStringList kBitRates = {
    QStringLiteral("64"),  QStringLiteral("96"),  QStringLiteral("128"), QStringLiteral("160"),
    QStringLiteral("192"), QStringLiteral("256"), QStringLiteral("320"),
};
constexpr int kMaxConcurrent = 8;
constexpr int kHelpWidth = 320;

bool hasValue(const UserDefaults &store, QLatin1String key)
{
    return store.objectForKey(key).isValid();
}

QString rateText(double rate)
{
    return QString::asprintf("%.0f", rate);
}

QPushButton *makeHelpButton(QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("?"), parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("??")) + 16);
    return button;
}

} // namespace

CustomSettingViewCtl::CustomSettingViewCtl(QWidget *parent)
    : QWidget(parent)
    , m_folderChooser(&FolderPanel::chooseFolders)
{
    buildControls();
    awakeFromNib();
    resize(sizeHint());
}

CustomSettingViewCtl::~CustomSettingViewCtl() = default;

QString CustomSettingViewCtl::identifier() const
{
    return QStringLiteral("CustomSettingViewCtl");
}

QIcon CustomSettingViewCtl::toolbarItemImage() const
{
    return PrefsImages::named(QStringLiteral("Run-64"));
}

QString CustomSettingViewCtl::toolbarItemLabel() const
{
    return tr("Custom Settings");
}

void CustomSettingViewCtl::buildControls()
{
    m_pBtnFmts = new QComboBox(this);
    for (const OutputFormat &format : OutputFormat::all())
        m_pBtnFmts->addItem(format.paneLabel());
    // The source texts are the original wording; the English table holds the words shown.
    m_chkSynciTunes = new QCheckBox(tr("Sync iTunes"), this);
    m_chkSameQuality = new QCheckBox(tr("Same Quality"), this);
    m_chkKeepCover = new QCheckBox(tr("Keep cover art"), this);
    m_chkKeepFolders = new QCheckBox(tr("Keep folder structure"), this);
    m_chkKeepFolders->setToolTip(
        tr("Recreate the folders below a dropped folder inside the output folder"));
    m_chkSkipFinished = new QCheckBox(tr("Skip finished files when starting again"), this);
    m_sampleRate = new RateField(tr("Hz"), kSampleRates, this);
    m_bitRate = new RateField(tr("kbit/s"), kBitRates, this);
    // Its line is kept free: the pane's height is fixed, so a note must not need a new one.
    m_lblRateNote = new QLabel(this);
    m_lblRateNote->setMinimumHeight(m_lblRateNote->fontMetrics().height());
    m_quality = new QualityModeChoice(this);
    m_chkOtherAudio = new QCheckBox(tr("Also convert other audio files"), this);
    m_chkOtherAudio->setToolTip(tr("Take WAV, AIFF, M4A, MP3, Opus, WavPack, APE, WMA and any "
                                   "other audio besides FLAC and Ogg"));
    m_chkReencode = new QCheckBox(tr("Encode files already in the output format again"), this);
    m_chkReencode->setToolTip(
        tr("Off: such a file is copied as it is, with its tags and cover, not encoded again"));
    m_chkOpenOutput = new QCheckBox(tr("Open the output folder when a run ends"), this);
    m_chkOnlineServices =
        new QCheckBox(tr("Send an anonymous start-up report and look for updates"), this);
    m_chkSkipConverted = new QCheckBox(tr("Skip files already converted"), this);
    m_chkSkipConverted->setToolTip(tr("Leave out a file whose output exists and is not older "
                                      "than it; an older output is converted again"));
    m_pBtnMaxNum = new QComboBox(this);
    for (int count = 1; count <= kMaxConcurrent; ++count)
        m_pBtnMaxNum->addItem(QString::number(count));
    m_pBtnMaxNum->setCurrentText(
        PreferenceDefaults::registeredDefaults().value(PrefKeys::AppMaxConvertNum).toString());
    m_lblPlaylistName = new QLineEdit(this);
    m_lblOutputPath = new QLineEdit(this);
    for (int index = 0; index < 5; ++index)
        m_helpButtons.append(makeHelpButton(this));

    auto *browse = new QPushButton(tr("Browse..."), this);
    auto *open = new QPushButton(tr("Open"), this);

    auto *grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString &label, QWidget *field, QWidget *help) {
        grid->addWidget(new QLabel(label, this), row, 0, Qt::AlignRight);
        grid->addWidget(field, row, 1);
        if (help)
            grid->addWidget(help, row, 2);
        ++row;
    };
    auto *formatRow = new QWidget(this);
    auto *formatLayout = new QHBoxLayout(formatRow);
    formatLayout->setContentsMargins(0, 0, 0, 0);
    formatLayout->addWidget(m_pBtnFmts);
    formatLayout->addWidget(m_chkSynciTunes);
    formatLayout->addWidget(m_chkKeepCover);
    formatLayout->addStretch(1);
    addRow(tr("Format:"), formatRow, m_helpButtons.at(0));

    auto *qualityRow = new QWidget(this);
    auto *qualityLayout = new QHBoxLayout(qualityRow);
    qualityLayout->setContentsMargins(0, 0, 0, 0);
    qualityLayout->addWidget(m_chkSameQuality);
    qualityLayout->addWidget(new QLabel(tr("Sample Rate:"), this));
    qualityLayout->addWidget(m_sampleRate);
    qualityLayout->addWidget(new QLabel(tr("Bit Rate:"), this));
    qualityLayout->addWidget(m_bitRate);
    qualityLayout->addStretch(1);
    addRow(tr("Quality:"), qualityRow, m_helpButtons.at(4));

    auto *modeRow = new QWidget(this);
    auto *modeLayout = new QHBoxLayout(modeRow);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    modeLayout->addWidget(m_quality->menu());
    modeLayout->addWidget(m_quality->hint(), 1);
    addRow(tr("Mode:"), modeRow, nullptr);
    addRow(QString(), m_lblRateNote, nullptr);

    auto *countRow = new QWidget(this);
    auto *countLayout = new QHBoxLayout(countRow);
    countLayout->setContentsMargins(0, 0, 0, 0);
    countLayout->addWidget(m_pBtnMaxNum);
    countLayout->addStretch(1);
    addRow(tr("Convert at the same time:"), countRow, m_helpButtons.at(1));
    addRow(tr("Inputs:"), m_chkOtherAudio, nullptr);
    addRow(QString(), m_chkReencode, nullptr);

    addRow(tr("Playlist Name:"), m_lblPlaylistName, m_helpButtons.at(2));

    auto *folderRow = new QWidget(this);
    auto *folderLayout = new QHBoxLayout(folderRow);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->addWidget(m_lblOutputPath, 1);
    folderLayout->addWidget(browse);
    folderLayout->addWidget(open);
    addRow(tr("Output Folder:"), folderRow, m_helpButtons.at(3));
    addRow(QString(), m_chkKeepFolders, nullptr);
    m_namingRows = new OutputNamingRows(this);
    row = m_namingRows->addTo(grid, row);
    addRow(QString(), m_chkSkipFinished, nullptr);
    addRow(QString(), m_chkSkipConverted, nullptr);
    addRow(QString(), m_chkOpenOutput, nullptr);
    addRow(tr("Privacy:"), m_chkOnlineServices, nullptr);
    grid->setColumnStretch(1, 1);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addStretch(1);
    // Wider is useful for long folder paths; taller is not.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    connect(browse, &QPushButton::clicked, this, [this, browse] { browseDown(browse); });
    connect(open, &QPushButton::clicked, this, [this, open] { openDown(open); });
    connect(m_chkSameQuality, &QCheckBox::clicked, this,
            [this] { sameOriginDown(m_chkSameQuality); });
    connect(m_pBtnFmts, &QComboBox::currentIndexChanged, this, [this] { followFormat(); });
    connect(m_quality, &QualityModeChoice::modeChosen, this, [this] { followQuality(); });
    connect(m_chkOtherAudio, &QCheckBox::toggled, m_chkReencode, &QWidget::setEnabled);
    connect(m_bitRate->comboBox(), &QComboBox::currentTextChanged, this,
            [this] { followQuality(); });
    for (RateField *field : {m_sampleRate, m_bitRate}) {
        connect(field, &RateField::corrected, this, [this, field](const QString &note) {
            m_rateNotes.insert(field, note);
            showRateNotes();
        });
    }
    void (CustomSettingViewCtl::*helps[])(QObject *) = {
        &CustomSettingViewCtl::help1, &CustomSettingViewCtl::help2, &CustomSettingViewCtl::help3,
        &CustomSettingViewCtl::help4, &CustomSettingViewCtl::help5};
    for (int index = 0; index < 5; ++index) {
        QPushButton *button = m_helpButtons.at(index);
        const auto help = helps[index];
        connect(button, &QPushButton::clicked, this,
                [this, button, help] { (this->*help)(button); });
    }

    // The help popover: a popup closes by itself when the user clicks elsewhere or the
    // application loses focus.
    m_popover = new QFrame(this, Qt::Popup);
    m_popover->setFrameShape(QFrame::StyledPanel);
    auto *popoverLayout = new QVBoxLayout(m_popover);
    popoverLayout->setContentsMargins(0, 0, 0, 0);
    m_tipView = new QWidget(m_popover);
    auto *tipLayout = new QVBoxLayout(m_tipView);
    m_lblLightTip = new QLabel(m_tipView);
    m_lblLightTip->setWordWrap(true);
    tipLayout->addWidget(m_lblLightTip);
    popoverLayout->addWidget(m_tipView);
}

void CustomSettingViewCtl::awakeFromNib()
{
    // Stored values, else the registered defaults (PreferenceDefaults) where nothing is stored.
    const UserDefaults &store = UserDefaults::standard();
    const ConversionSettings settings = ConversionSettings::read(store);
    m_pBtnFmts->setCurrentIndex(settings.format().index());
    m_chkSynciTunes->setChecked(settings.syncToLibrary);
    m_chkKeepCover->setChecked(settings.keepCover);
    m_chkKeepFolders->setChecked(settings.keepFolders);
    m_chkSkipFinished->setChecked(settings.skipFinished);
    m_chkSkipConverted->setChecked(settings.skipConverted);
    m_chkSameQuality->setChecked(settings.sameQuality);
    m_sampleRate->setText(rateText(settings.sampleRate));
    m_bitRate->setText(rateText(settings.bitRate));
    m_quality->load(settings);
    m_chkOtherAudio->setChecked(settings.convertOtherAudio);
    m_chkReencode->setChecked(settings.reencodeSameFormat);
    m_chkReencode->setEnabled(m_chkOtherAudio->isChecked());
    // A stored rate outside the format's range stays as it is until it is used or committed.
    followFormat(RateField::Correction::Later);
    m_chkOpenOutput->setChecked(settings.openOutputFolder);
    m_chkOnlineServices->setChecked(OnlineServices::allowed());
    if (OnlineServices::forcedOffline()) {
        m_chkOnlineServices->setEnabled(false);
        m_chkOnlineServices->setToolTip(tr("Turned off by WAVELARK_OFFLINE=1."));
    }
    if (hasValue(store, PrefKeys::AppMaxConvertNum)) {
        const qint64 count = store.integerForKey(PrefKeys::AppMaxConvertNum);
        // A width the list does not offer is added to it, so that saving keeps it; a width below
        // one cannot run anything and leaves the list as it is.
        if (count >= 1) {
            const QString title = QString::number(count);
            if (m_pBtnMaxNum->findText(title) < 0)
                m_pBtnMaxNum->addItem(title);
            m_pBtnMaxNum->setCurrentText(title);
        }
    }
    if (!settings.playlistName.isEmpty())
        m_lblPlaylistName->setText(settings.playlistName);
    if (!settings.audioOutputFolder.isEmpty())
        m_lblOutputPath->setText(settings.audioOutputFolder);
    m_namingRows->load(settings);
    sameOriginDown(nullptr);
}

bool CustomSettingViewCtl::commitEditing()
{
    UserDefaults &store = UserDefaults::standard();
    const QVariantList before = conversionSettings();
    const int formatIndex = qMax(0, m_pBtnFmts->currentIndex());
    store.setValue(PrefKeys::PreferedFormatName,
                   OutputFormat::all().at(formatIndex).catalogueTitle());
    store.setValue(PrefKeys::AppBSyncToiTunes, m_chkSynciTunes->isChecked());
    store.setValue(PrefKeys::BSameQuality, m_chkSameQuality->isChecked());
    store.setValue(PrefKeys::AppKeepCoverArt, m_chkKeepCover->isChecked());
    store.setValue(PrefKeys::AppKeepFolderStructure, m_chkKeepFolders->isChecked());
    store.setValue(PrefKeys::AppSkipFinished, m_chkSkipFinished->isChecked());
    if (const auto rate = m_sampleRate->value())
        store.setValue(PrefKeys::DoubleSamepleRate, double(*rate));
    if (const auto rate = m_bitRate->value())
        store.setValue(PrefKeys::DoubleBitRate, double(*rate));
    m_quality->save(store);
    store.setValue(PrefKeys::AppConvertOtherAudio, m_chkOtherAudio->isChecked());
    store.setValue(PrefKeys::AppReencodeSameFormat, m_chkReencode->isChecked());
    store.setValue(PrefKeys::AppOpenOutputFolder, m_chkOpenOutput->isChecked());
    // Forced off by the environment, the switch shows off; the user's own choice stays stored.
    if (!OnlineServices::forcedOffline())
        store.setValue(PrefKeys::AppOnlineServices, m_chkOnlineServices->isChecked());
    store.setValue(PrefKeys::AppSkipConverted, m_chkSkipConverted->isChecked());
    m_namingRows->save(store);
    const int count = int(LenientNumber::toInteger(QStringView(m_pBtnMaxNum->currentText())));
    store.setValue(PrefKeys::AppMaxConvertNum, count);
    if (!m_lblPlaylistName->text().isEmpty())
        store.setValue(PrefKeys::PlaylistName, m_lblPlaylistName->text());
    if (!m_lblOutputPath->text().isEmpty())
        store.setValue(PrefKeys::AppAudioOutputFolder, m_lblOutputPath->text());
    store.synchronize();
    if (conversionSettings() != before)
        askAboutWaitingItems();
    return true;
}

QVariantList CustomSettingViewCtl::conversionSettings() const
{
    const ConversionSettings settings = ConversionSettings::current();
    return {settings.formatName,    settings.sameQuality, settings.sampleRate,
            settings.bitRate,       settings.mp3Vbr,      settings.mp3VbrQuality,
            settings.vorbisQuality, settings.flacLevel};
}

void CustomSettingViewCtl::setExampleItem(std::function<LSMediaPtr()> item)
{
    m_namingRows->setExampleItem(std::move(item));
}

void CustomSettingViewCtl::setWaitingItems(WaitingItems items, std::function<void()> changed)
{
    m_waitingItems = std::move(items);
    m_waitingItemsChanged = std::move(changed);
}

// Rows keep the settings they were added with unless the user says otherwise, once per change.
void CustomSettingViewCtl::askAboutWaitingItems()
{
    if (!m_waitingItems || m_applyQuestion)
        return;
    // The settings just committed: Apply gives the rows these, whatever happens meanwhile.
    const ConversionSettings settings = ConversionSettings::current();
    QList<LSMediaPtr> differing;
    for (const LSMediaPtr &media : m_waitingItems()) {
        if (!MediaItemBuilder::matchesPreferences(*media, settings))
            differing.append(media);
    }
    if (differing.isEmpty())
        return;
    QWidget *parent = questionOwner();
    m_applyQuestion = new QMessageBox(
        QMessageBox::Question, tr("Apply the new settings?"),
        differing.size() == 1
            ? tr("Apply the new settings to the waiting file?")
            : tr("Apply the new settings to the %1 waiting files?").arg(differing.size()),
        QMessageBox::NoButton, parent);
    m_applyQuestion->setObjectName(QStringLiteral("applyToWaitingFiles"));
    m_applyQuestion->setInformativeText(
        tr("They were added with the settings of that time. Keep leaves them as they are."));
    QPushButton *apply = m_applyQuestion->addButton(tr("Apply"), QMessageBox::AcceptRole);
    // Rows keep the settings they were added with unless the user clicks Apply.
    m_applyQuestion->setDefaultButton(
        m_applyQuestion->addButton(tr("Keep"), QMessageBox::RejectRole));
    m_applyQuestion->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    m_applyQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_applyQuestion, &QMessageBox::finished, this, [this, apply, differing, settings] {
        if (m_applyQuestion->clickedButton() != apply)
            return;
        // Rows that started converting meanwhile keep what they run with.
        QSet<const LSMedia *> waiting;
        for (const LSMediaPtr &media : m_waitingItems())
            waiting.insert(media.get());
        for (const LSMediaPtr &media : differing) {
            if (waiting.contains(media.get()))
                MediaItemBuilder::applyPreferences(*media, settings);
        }
        if (m_waitingItemsChanged)
            m_waitingItemsChanged();
    });
    m_applyQuestion->open();
    if (parent) {
        m_applyQuestion->adjustSize();
        m_applyQuestion->move(parent->frameGeometry().center() - m_applyQuestion->rect().center());
    }
}

// The preferences window when it stays open; once it closes, the main window.
QWidget *CustomSettingViewCtl::questionOwner() const
{
    if (window()->isVisible())
        return window();
    for (QWidget *candidate : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow *>(candidate) && candidate->isVisible())
            return candidate;
    }
    return QApplication::activeWindow();
}

void CustomSettingViewCtl::setFolderChooser(FolderPanel::Chooser chooser)
{
    m_folderChooser = std::move(chooser);
}

QComboBox *CustomSettingViewCtl::cmbSampleRate() const
{
    return m_sampleRate->comboBox();
}

QComboBox *CustomSettingViewCtl::cmbQuality() const
{
    return m_quality->menu();
}

QLabel *CustomSettingViewCtl::lblQualityHint() const
{
    return m_quality->hint();
}

QComboBox *CustomSettingViewCtl::cmbBitRate() const
{
    return m_bitRate->comboBox();
}

void CustomSettingViewCtl::showRateNotes()
{
    QStringList notes;
    for (RateField *field : {m_sampleRate, m_bitRate}) {
        const QString note = m_rateNotes.value(field);
        if (!note.isEmpty())
            notes << note;
    }
    m_lblRateNote->setText(notes.join(QLatin1Char(' ')));
}

const OutputFormat &CustomSettingViewCtl::chosenFormat() const
{
    const QList<OutputFormat> &formats = OutputFormat::all();
    return formats.at(qBound(0, m_pBtnFmts->currentIndex(), int(formats.size()) - 1));
}

void CustomSettingViewCtl::followQuality()
{
    // Read without correcting: this runs on every key typed into the box.
    m_quality->follow(chosenFormat(), RateField::rate(m_bitRate->text()).value_or(0));
    sameOriginDown(nullptr);
}

void CustomSettingViewCtl::followFormat(RateField::Correction correction)
{
    const OutputFormat &format = chosenFormat();
    m_quality->offerModesOf(format);
    m_sampleRate->setRange(format.minSampleRate(), format.maxSampleRate(), correction);
    // A format without a bit rate leaves the box (disabled) at the range it had.
    if (format.maxBitRate() > 0)
        m_bitRate->setRange(format.minBitRate(), format.maxBitRate(), correction);
    followQuality();
}

void CustomSettingViewCtl::sameOriginDown(QObject *)
{
    const bool ownRates = !m_chkSameQuality->isChecked();
    m_sampleRate->setEnabled(ownRates);
    // Only a mode that is chosen by bit rate takes one.
    const bool byBitRate = chosenFormat().maxBitRate() > 0 && m_quality->chosenLevel() < 0;
    m_bitRate->setEnabled(ownRates && byBitRate);
}

void CustomSettingViewCtl::browseDown(QObject *)
{
    if (!m_folderChooser)
        return;
    QPointer<CustomSettingViewCtl> self(this);
    m_folderChooser(window(), false, [self](const QList<QUrl> &folders) {
        if (!self || folders.isEmpty())
            return;
        const QUrl folder = folders.first();
        self->m_lblOutputPath->setText(folder.toLocalFile());
        // The chosen folder is trusted at once; the setting itself waits for the commit.
        TrustedFolders::record(folder);
    });
}

void CustomSettingViewCtl::openDown(QObject *)
{
    const QString path = m_lblOutputPath->text();
    if (!path.isEmpty())
        Workspace::shared().selectFile(path);
}

// The source texts keep their wording (the English table shows the desktop's words):
// docs/ARCHITECTURE.md, "Kept as they are".
QString CustomSettingViewCtl::helpText(int index)
{
    switch (index) {
    case 0:
        return tr(
            "Choose the prefered format for iTunes,MP3 or M4A is supported! And if you do not want "
            "to sync to iTunes, just deselect the \"Sync iTunes\" checkbox!");
    case 1:
        return tr(
            "How many files you want to converter at the same time? The bigger of the number the "
            "more faster to finish the task, however, it impacts the computer's speed when you "
            "set the number too big. ");
    case 2:
        return tr(
            "The Playlist Name in iTunes after converting songs and transfer them to iTunes.");
    case 3:
        return tr("Choose the output folder to store the files converted. Default "
                  "folder is the \"Music\" folder of the current user.");
    case 4:
        return tr("\"Same Quality\" converts each file with its format's own settings (MP3 at "
                  "320 kbit/s, AAC at 256 kbit/s, 44100 Hz; Opus at 48000 Hz) instead of the "
                  "sample rate and bit rate chosen here. The mode says how the quality is "
                  "chosen: a constant bit rate; MP3's variable bit rate by LAME level, V0 best "
                  "and largest, V2 about 190 kbit/s and hard to tell from the original; Opus "
                  "varies around its bit rate (128 kbit/s is plenty for music); Vorbis quality "
                  "0 to 10 (6 is about 192 kbit/s); FLAC, Apple Lossless and WAV keep every "
                  "bit, and a higher FLAC level only makes a smaller file more slowly.");
    default:
        return QString();
    }
}

QPushButton *CustomSettingViewCtl::helpButton(int index) const
{
    return m_helpButtons.value(index);
}

void CustomSettingViewCtl::help1(QObject *sender)
{
    showHelp(0, sender);
}

void CustomSettingViewCtl::help2(QObject *sender)
{
    showHelp(1, sender);
}

void CustomSettingViewCtl::help3(QObject *sender)
{
    showHelp(2, sender);
}

void CustomSettingViewCtl::help4(QObject *sender)
{
    showHelp(3, sender);
}

void CustomSettingViewCtl::help5(QObject *sender)
{
    showHelp(4, sender);
}

void CustomSettingViewCtl::showHelp(int index, QObject *sender)
{
    m_lblLightTip->setText(helpText(index));
    // A wrapped label reports no height for its width to a top-level layout: the popover is
    // sized from the text itself, no wider than kHelpWidth, so that no line is cut off.
    const QString text = m_lblLightTip->text();
    const int textWidth = qMin(kHelpWidth, m_lblLightTip->fontMetrics().horizontalAdvance(text) +
                                               2 * m_lblLightTip->margin() + 2);
    m_lblLightTip->setFixedSize(textWidth, m_lblLightTip->heightForWidth(textWidth));
    m_popover->adjustSize();

    // Just below the button's lower left corner, 10 pixels in; with no button, the pane's.
    QPoint anchor = mapToGlobal(QPoint(10, height()));
    QPoint above = mapToGlobal(QPoint(10, 0));
    if (auto *button = qobject_cast<QWidget *>(sender)) {
        anchor = button->mapToGlobal(QPoint(10, button->height()));
        above = button->mapToGlobal(QPoint(10, 0));
    }
    const QSize size = m_popover->sizeHint();
    QRect frame(anchor, size);
    // The side with room: below the point, else above it, kept on the screen.
    if (QScreen *screen = QGuiApplication::screenAt(anchor)) {
        const QRect room = screen->availableGeometry();
        if (frame.bottom() > room.bottom())
            frame.moveBottom(above.y());
        if (frame.right() > room.right())
            frame.moveRight(room.right());
        if (frame.left() < room.left())
            frame.moveLeft(room.left());
        if (frame.top() < room.top())
            frame.moveTop(room.top());
    }
    m_popover->move(frame.topLeft());
    m_popover->show();
}
