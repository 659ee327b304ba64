#include "model/OutputFormat.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>

const QList<OutputFormat> &OutputFormat::all()
{
    static const QList<OutputFormat> formats{
        {FormatNames::Mp3Audio.data(), "mp3", "mp3", QT_TRANSLATE_NOOP("OutputFormat", "MP3"), true,
         "libmp3lame", 8, 320},
        {FormatNames::AacAudio.data(), "m4a", "m4a", QT_TRANSLATE_NOOP("OutputFormat", "AAC (M4A)"),
         true, "aac", 8, 512},
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

const OutputFormat &OutputFormat::preferred(const UserDefaults &store)
{
    return forStoredName(store.stringForKey(PrefKeys::PreferedFormatName));
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
