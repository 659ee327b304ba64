#include "preferences/OutputNamingRows.h"

#include "Shared/PortableFileName.h"
#include "model/ConversionSettings.h"
#include "model/OutputNamePattern.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

const QList<int> kCoverSizes{300, 500, 600, 1000};

} // namespace

OutputNamingRows::OutputNamingRows(QWidget *pane)
    : QObject(pane)
    , m_pane(pane)
{
    m_cmbPattern = new QComboBox(pane);
    m_cmbPattern->setEditable(true);
    m_cmbPattern->setInsertPolicy(QComboBox::NoInsert);
    m_cmbPattern->addItem(tr("Input file name"), QString());
    for (const OutputNamePattern::Preset &preset : OutputNamePattern::presets())
        m_cmbPattern->addItem(preset.title, preset.pattern);
    m_cmbPattern->setToolTip(
        tr("Fields: {%1}. \"/\" makes a folder.")
            .arg(OutputNamePattern::fieldNames().join(QStringLiteral("}, {"))));
    m_cmbPattern->lineEdit()->setPlaceholderText(tr("Input file name"));
    m_lblExample = new QLabel(pane);
    m_lblExample->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblExample->setEnabled(false); // shown greyed: it is not a setting
    m_chkPortableNames = new QCheckBox(tr("Use names that work on every device"), pane);
    m_chkPortableNames->setToolTip(
        tr("Names for FAT, exFAT, NTFS and network shares: no \\ / : * ? \" < > |, no trailing "
           "dots, short enough. Chosen by itself when the output folder is on such a drive."));
    m_chkId3v23 = new QCheckBox(tr("Write ID3v2.3 tags in MP3 files (older players)"), pane);
    m_cmbCoverSize = new QComboBox(pane);
    m_cmbCoverSize->addItem(tr("As it is"), 0);
    for (const int size : kCoverSizes)
        m_cmbCoverSize->addItem(tr("At most %1 × %1 (JPEG)").arg(size), size);

    // A chosen preset shows as its pattern, which the user may then change.
    connect(m_cmbPattern, &QComboBox::activated, this, [this](int index) {
        m_cmbPattern->setEditText(m_cmbPattern->itemData(index).toString());
        refreshExample();
    });
    connect(m_cmbPattern, &QComboBox::editTextChanged, this, [this] { refreshExample(); });
    connect(m_chkPortableNames, &QCheckBox::toggled, this, [this] { refreshExample(); });
    pane->installEventFilter(this);
}

int OutputNamingRows::addTo(QGridLayout *grid, int row)
{
    QWidget *pane = m_pane;
    grid->addWidget(new QLabel(tr("File Names:"), pane), row, 0, Qt::AlignRight);
    grid->addWidget(m_cmbPattern, row++, 1);
    grid->addWidget(m_lblExample, row++, 1);
    grid->addWidget(new QLabel(tr("Devices:"), pane), row, 0, Qt::AlignRight);
    grid->addWidget(m_chkPortableNames, row++, 1);
    grid->addWidget(m_chkId3v23, row++, 1);
    grid->addWidget(new QLabel(tr("Embedded Cover:"), pane), row, 0, Qt::AlignRight);
    auto *coverRow = new QWidget(pane);
    auto *coverLayout = new QHBoxLayout(coverRow);
    coverLayout->setContentsMargins(0, 0, 0, 0);
    coverLayout->addWidget(m_cmbCoverSize);
    coverLayout->addStretch(1);
    grid->addWidget(coverRow, row++, 1);
    return row;
}

void OutputNamingRows::load(const ConversionSettings &settings)
{
    m_cmbPattern->setEditText(settings.namePattern);
    m_chkPortableNames->setChecked(settings.portableNames);
    m_chkId3v23->setChecked(settings.id3v23);
    const int size = settings.coverMaxSize;
    int index = m_cmbCoverSize->findData(size);
    // A size stored elsewhere (wavelark-cli's own) is offered so that saving keeps it.
    if (index < 0) {
        m_cmbCoverSize->addItem(tr("At most %1 × %1 (JPEG)").arg(size), size);
        index = m_cmbCoverSize->count() - 1;
    }
    m_cmbCoverSize->setCurrentIndex(index);
    refreshExample();
}

void OutputNamingRows::save(UserDefaults &store) const
{
    store.setValue(PrefKeys::AppOutputNamePattern, pattern());
    store.setValue(PrefKeys::AppPortableNames, m_chkPortableNames->isChecked());
    store.setValue(PrefKeys::AppId3v23, m_chkId3v23->isChecked());
    store.setValue(PrefKeys::AppCoverMaxSize, m_cmbCoverSize->currentData().toInt());
}

void OutputNamingRows::setExampleItem(ExampleItem item)
{
    m_exampleItem = std::move(item);
    refreshExample();
}

QString OutputNamingRows::pattern() const
{
    return m_cmbPattern->currentText().trimmed();
}

LSMediaPtr OutputNamingRows::exampleItem() const
{
    if (m_exampleItem) {
        if (LSMediaPtr first = m_exampleItem())
            return first;
    }
    auto item = std::make_shared<LSMedia>();
    item->setFilePath(QStringLiteral("/music/Nina Simone/Wild Is the Wind/03 Lilac Wine.flac"));
    item->setStrOutFileName(QStringLiteral("03 Lilac Wine"));
    item->setStrOutFileExt(QStringLiteral("mp3"));
    TrackTags tags;
    tags.artist = QStringLiteral("Nina Simone");
    tags.album = QStringLiteral("Wild Is the Wind");
    tags.title = QStringLiteral("Lilac Wine");
    tags.track = QStringLiteral("3/11");
    tags.date = QStringLiteral("1966");
    tags.genre = QStringLiteral("Jazz");
    item->setTags(tags);
    return item;
}

void OutputNamingRows::refreshExample()
{
    const LSMediaPtr item = exampleItem();
    const QString pattern = this->pattern();
    const QString name = pattern.isEmpty()
                             ? item->strOutFileName()
                             : OutputNamePattern::apply(pattern, item->tags(), item->filePath());
    QString path = name + QLatin1Char('.') + item->strOutFileExt();
    if (m_chkPortableNames->isChecked())
        path = PortableFileName::cleanPath(path, false);
    m_lblExample->setText(tr("Example: %1").arg(path));
}

bool OutputNamingRows::eventFilter(QObject *watched, QEvent *event)
{
    // The list may have changed while the pane was hidden.
    if (watched == m_pane && event->type() == QEvent::Show)
        refreshExample();
    return QObject::eventFilter(watched, event);
}
