#include "preferences/QualityModeChoice.h"

#include "model/ConversionSettings.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

QualityModeChoice::QualityModeChoice(QWidget *pane)
    : QObject(pane)
{
    m_menu = new QComboBox(pane);
    m_menu->setObjectName(QStringLiteral("qualityMode"));
    m_hint = new QLabel(pane);
    m_hint->setObjectName(QStringLiteral("qualityHint"));
    connect(m_menu, &QComboBox::currentIndexChanged, this, &QualityModeChoice::modeChosen);
}

int QualityModeChoice::chosenLevel() const
{
    return m_menu->currentData().isValid() ? m_menu->currentData().toInt() : -1;
}

void QualityModeChoice::load(const ConversionSettings &settings)
{
    ConversionSettings asVbr = settings;
    asVbr.mp3Vbr = true;
    m_mp3VbrLevel = asVbr.qualityFor(*OutputFormat::withTitle(FormatNames::Mp3Audio));
    m_mp3Level = settings.mp3Vbr ? m_mp3VbrLevel : -1;
    m_vorbisLevel = settings.qualityFor(*OutputFormat::withTitle(FormatNames::VorbisAudio));
    m_flacLevel = settings.qualityFor(*OutputFormat::withTitle(FormatNames::FlacAudio));
}

void QualityModeChoice::save(UserDefaults &store) const
{
    store.setValue(PrefKeys::AppMp3Vbr, m_mp3Level >= 0);
    store.setValue(PrefKeys::AppMp3VbrQuality, m_mp3Level >= 0 ? m_mp3Level : m_mp3VbrLevel);
    store.setValue(PrefKeys::AppVorbisQuality, m_vorbisLevel);
    store.setValue(PrefKeys::AppFlacCompressionLevel, m_flacLevel);
}

void QualityModeChoice::offerModesOf(const OutputFormat &format)
{
    const QSignalBlocker blocker(m_menu);
    m_menu->clear();
    int chosen = 0;
    switch (format.quality()) {
    case OutputFormat::Quality::BitRateOrLameVbr:
        m_menu->addItem(tr("Constant bit rate"), -1);
        for (int level = format.minQuality(); level <= format.maxQuality(); ++level)
            m_menu->addItem(tr("Variable (VBR) V%1").arg(level), level);
        chosen = m_menu->findData(m_mp3Level);
        break;
    case OutputFormat::Quality::VorbisQuality:
        for (int level = format.minQuality(); level <= format.maxQuality(); ++level)
            m_menu->addItem(tr("Quality %1").arg(level), level);
        chosen = m_menu->findData(m_vorbisLevel);
        break;
    case OutputFormat::Quality::CompressionLevel:
        for (int level = format.minQuality(); level <= format.maxQuality(); ++level)
            m_menu->addItem(tr("Compression level %1").arg(level), level);
        chosen = m_menu->findData(m_flacLevel);
        break;
    case OutputFormat::Quality::VbrBitRate:
        m_menu->addItem(tr("Variable, around the bit rate"), -1);
        break;
    case OutputFormat::Quality::BitRate:
        m_menu->addItem(tr("Constant bit rate"), -1);
        break;
    case OutputFormat::Quality::Lossless:
        m_menu->addItem(tr("Lossless"), -1);
        break;
    }
    m_menu->setEnabled(m_menu->count() > 1);
    m_menu->setCurrentIndex(qMax(0, chosen));
}

void QualityModeChoice::follow(const OutputFormat &format, double bitRate)
{
    const int level = chosenLevel();
    switch (format.quality()) {
    case OutputFormat::Quality::BitRateOrLameVbr:
        m_mp3Level = level;
        if (level >= 0)
            m_mp3VbrLevel = level;
        break;
    case OutputFormat::Quality::VorbisQuality:
        m_vorbisLevel = level;
        break;
    case OutputFormat::Quality::CompressionLevel:
        m_flacLevel = level;
        break;
    default:
        break;
    }
    m_hint->setText(format.qualityText(level, bitRate));
}
