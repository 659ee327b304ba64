#include "model/OutputFormat.h"

#include "model/PrefKeys.h"

#include <QCoreApplication>

#include <cmath>

const QList<OutputFormat> &OutputFormat::all()
{
    static const QList<OutputFormat> formats{
        {FormatNames::Mp3Audio.data(),
         "mp3",
         "mp3",
         QT_TRANSLATE_NOOP("OutputFormat", "MP3"),
         true,
         "libmp3lame",
         8,
         320,
         {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}},
        {FormatNames::AacAudio.data(),
         "m4a",
         "m4a",
         QT_TRANSLATE_NOOP("OutputFormat", "AAC (M4A)"),
         true,
         "aac",
         8,
         512,
         {7350, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 64000, 88200, 96000}},
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
    // Names stored by earlier versions vary; the mention of AAC is what they share.
    const OutputFormat *aac = withExtension(QStringLiteral("m4a"));
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
    return words.join(QLatin1String(" or "));
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
