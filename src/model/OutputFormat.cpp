#include "model/OutputFormat.h"

#include "model/PrefKeys.h"

#include <QCoreApplication>

#include <cmath>

namespace {

constexpr char kMp4Demuxer[] = "mov,mp4,m4a,3gp,3g2,mj2";

// LAME's own figures for its variable-rate levels V0 to V9 on typical music, in kbit/s.
constexpr int kLameVbrKbits[] = {245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
// The nominal rates of Vorbis qualities 0 to 10 for stereo at 44.1 kHz, in kbit/s.
constexpr int kVorbisKbits[] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 500};
// FLAC levels above 8 leave the streamable subset some players need.
constexpr int kMaxFlacLevel = 8;

// The usual rates up to 192 kHz, for encoders that take any rate.
const QList<double> kCommonRates{8000,  11025, 12000, 16000, 22050, 24000,  32000,
                                 44100, 48000, 64000, 88200, 96000, 176400, 192000};

QString tr(const char *text)
{
    return QCoreApplication::translate("OutputFormat", text);
}

} // namespace

const QList<OutputFormat> &OutputFormat::all()
{
    using Q = OutputFormat::Quality;
    // The first two rows are the original catalogue and keep their place: the settings pane and
    // the stored choices rely on MP3 first and AAC second.
    static const QList<OutputFormat> formats{
        {FormatNames::Mp3Audio.data(),
         "mp3",
         "mp3",
         QT_TRANSLATE_NOOP("OutputFormat", "MP3"),
         true,
         "libmp3lame",
         8,
         320,
         {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
         Q::BitRateOrLameVbr,
         "mp3",
         "mp3"},
        {FormatNames::AacAudio.data(),
         "m4a",
         "m4a",
         QT_TRANSLATE_NOOP("OutputFormat", "AAC (M4A)"),
         true,
         "aac",
         8,
         512,
         {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000},
         Q::BitRate,
         "aac",
         kMp4Demuxer},
        {FormatNames::OpusAudio.data(),
         "opus",
         "opus",
         QT_TRANSLATE_NOOP("OutputFormat", "Opus"),
         true,
         "libopus",
         6,
         510,
         {8000, 12000, 16000, 24000, 48000},
         Q::VbrBitRate,
         "opus",
         "ogg"},
        {FormatNames::VorbisAudio.data(), "ogg", "ogg",
         QT_TRANSLATE_NOOP("OutputFormat", "Ogg Vorbis"), true, "libvorbis", 0, 0, kCommonRates,
         Q::VorbisQuality, "vorbis", "ogg"},
        {FormatNames::FlacAudio.data(), "flac", "flac", QT_TRANSLATE_NOOP("OutputFormat", "FLAC"),
         true, "flac", 0, 0, kCommonRates, Q::CompressionLevel, "flac", "flac"},
        {FormatNames::AlacAudio.data(), "m4a", "alac",
         QT_TRANSLATE_NOOP("OutputFormat", "Apple Lossless (M4A)"), true, "alac", 0, 0,
         kCommonRates, Q::Lossless, "alac", kMp4Demuxer, "ALAC"},
        {FormatNames::WavAudio.data(), "wav", "wav", QT_TRANSLATE_NOOP("OutputFormat", "WAV"), true,
         "pcm_s16le", 0, 0, kCommonRates, Q::Lossless, "pcm_s16le", "wav"},
    };
    return formats;
}

const OutputFormat *OutputFormat::withTitle(const QString &catalogueTitle)
{
    for (const OutputFormat &format : all())
        if (catalogueTitle == QLatin1String(format.m_catalogueTitle))
            return &format;
    return nullptr;
}

const OutputFormat *OutputFormat::withCommandLineWord(const QString &word)
{
    for (const OutputFormat &format : all())
        if (word.compare(QLatin1String(format.m_commandLineWord), Qt::CaseInsensitive) == 0)
            return &format;
    return nullptr;
}

const OutputFormat *OutputFormat::withExtension(const QString &extension)
{
    for (const OutputFormat &format : all())
        if (extension.compare(QLatin1String(format.m_extension), Qt::CaseInsensitive) == 0)
            return &format;
    return nullptr;
}

const OutputFormat &OutputFormat::forStoredName(const QString &storedName)
{
    if (const OutputFormat *exact = withTitle(storedName))
        return *exact;
    // Names stored by earlier versions vary; the mention of AAC is what they share.
    const OutputFormat *aac = withTitle(FormatNames::AacAudio);
    return storedName.contains(QLatin1String("AAC")) ? *aac : all().constFirst();
}

const OutputFormat *OutputFormat::withEncoder(const QString &encoder)
{
    for (const OutputFormat &format : all())
        if (encoder == QLatin1String(format.m_encoder))
            return &format;
    return nullptr;
}

double OutputFormat::supportedSampleRate(const QString &encoder, double requested)
{
    const OutputFormat *format = withEncoder(encoder);
    return format ? format->nearestSampleRate(requested) : requested;
}

double OutputFormat::nearestSampleRate(double requested) const
{
    if (requested <= 0.0 || m_sampleRates.contains(requested))
        return requested;
    double nearest = m_sampleRates.constFirst();
    for (const double rate : m_sampleRates) {
        if (std::abs(rate - requested) < std::abs(nearest - requested))
            nearest = rate;
    }
    return nearest;
}

QString OutputFormat::commandLineWords()
{
    QStringList words;
    for (const OutputFormat &format : all())
        words.append(format.commandLineWord());
    const QString last = words.takeLast();
    return words.join(QLatin1String(", ")) + QLatin1String(" or ") + last;
}

int OutputFormat::minQuality() const
{
    return 0;
}

int OutputFormat::maxQuality() const
{
    switch (m_quality) {
    case Quality::BitRateOrLameVbr:
        return 9;
    case Quality::VorbisQuality:
        return 10;
    case Quality::CompressionLevel:
        return kMaxFlacLevel;
    default:
        return 0;
    }
}

int OutputFormat::defaultQuality() const
{
    switch (m_quality) {
    case Quality::BitRateOrLameVbr:
        return 2;
    case Quality::VorbisQuality:
        return 6;
    case Quality::CompressionLevel:
        return 5;
    default:
        return 0;
    }
}

QString OutputFormat::qualityText(int quality, double bitRate) const
{
    const QString kbits = QString::number(qRound(bitRate));
    switch (m_quality) {
    case Quality::BitRate:
        return tr("%1 kbit/s, constant").arg(kbits);
    case Quality::BitRateOrLameVbr:
        if (quality < 0)
            return tr("%1 kbit/s, constant").arg(kbits);
        return tr("V%1, about %2 kbit/s")
            .arg(qBound(0, quality, 9))
            .arg(kLameVbrKbits[qBound(0, quality, 9)]);
    case Quality::VbrBitRate:
        return tr("about %1 kbit/s, varying with the music").arg(kbits);
    case Quality::VorbisQuality:
        return tr("quality %1, about %2 kbit/s")
            .arg(qBound(0, quality, 10))
            .arg(kVorbisKbits[qBound(0, quality, 10)]);
    case Quality::CompressionLevel:
        if (quality <= 2)
            return tr("level %1: fastest, largest file, lossless").arg(quality);
        if (quality <= 6)
            return tr("level %1: the usual balance, lossless").arg(quality);
        return tr("level %1: smallest file, slowest, lossless").arg(quality);
    case Quality::Lossless:
        return qstrcmp(m_codecName, "alac") == 0
                   ? tr("lossless, about half the size of WAV")
                   : tr("uncompressed 16-bit, 1411 kbit/s at 44.1 kHz");
    }
    return QString();
}

QString OutputFormat::columnLabel() const
{
    return m_columnLabel ? QString::fromLatin1(m_columnLabel) : extension().toUpper();
}

bool OutputFormat::isFormatOf(const QString &codecName, const QString &demuxerName) const
{
    return codecName == QLatin1String(m_codecName) && demuxerName == QLatin1String(m_demuxerName);
}

QString OutputFormat::paneLabel() const
{
    return QCoreApplication::translate("OutputFormat", m_paneLabel);
}

int OutputFormat::index() const
{
    const QList<OutputFormat> &formats = all();
    for (int i = 0; i < formats.size(); ++i)
        if (qstrcmp(formats.at(i).m_catalogueTitle, m_catalogueTitle) == 0)
            return i;
    return -1;
}
