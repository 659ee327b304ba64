#include "model/FormatUtils.h"

#include "Shared/LenientNumber.h"
#include "Shared/Logging.h"
#include "Shared/PropertyList.h"
#include "model/LSMedia.h"

#include <QFile>

#include <limits>

namespace {

QByteArray readResource()
{
    QFile file(FormatUtils::resourcePath());
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcModel) << "format catalogue missing:" << file.fileName();
        return {};
    }
    return file.readAll();
}

// A text value as stored; anything that is not a text reads as null.
QString textOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// The "default" entry of one of a row's setting dictionaries.
QVariant defaultOf(const QVariantMap &row, const QString &key)
{
    const QVariant setting = row.value(key);
    if (setting.typeId() != QMetaType::QVariantMap)
        return {};
    return setting.toMap().value(QStringLiteral("default"));
}

qint32 toInt32(qint64 value)
{
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return 0;
    return qint32(value);
}

QString nullAsText(const QString &text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

} // namespace

FormatUtils *FormatUtils::sharedInstance()
{
    // A function-local static is initialised once even when several threads arrive together.
    static FormatUtils *const instance = new FormatUtils(readResource());
    return instance;
}

QString FormatUtils::resourcePath()
{
    return QStringLiteral(":/model/Formats.plist");
}

FormatUtils::FormatUtils(const QByteArray &plistBytes)
{
    const QVariantMap root = PropertyList::readDictionary(plistBytes);
    const auto listOf = [&root](const char *key) {
        const QVariant value = root.value(QLatin1String(key));
        return value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList();
    };
    m_aryDevices = listOf("Devices");
    m_aryVideoFmts = listOf("Formats");
    m_aryAudioFmts = listOf("Audios");
    const QVariant codecs = root.value(QStringLiteral("codecMap"));
    if (codecs.typeId() == QMetaType::QVariantMap)
        m_dicCodecMap = codecs.toMap();
}

QVariantMap FormatUtils::fmtDictionaryWitName(const QString &title) const
{
    if (title.isNull())
        return {};
    for (const QVariantList *rows : {&m_aryVideoFmts, &m_aryDevices, &m_aryAudioFmts}) {
        for (const QVariant &row : *rows) {
            if (row.typeId() != QMetaType::QVariantMap)
                continue;
            const QVariantMap format = row.toMap();
            if (textOf(format.value(QStringLiteral("title"))) == title)
                return format;
        }
    }
    return {};
}

void FormatUtils::fillMedia(LSMedia *media, const QString &title) const
{
    if (!media || title.isEmpty())
        return;
    const QVariantMap format = fmtDictionaryWitName(title);
    if (format.isEmpty())
        qCDebug(lcModel) << "no output format titled" << title;
    const auto codecFor = [this](const QString &readable) {
        return readable.isNull() ? QString() : textOf(m_dicCodecMap.value(readable));
    };

    media->setStrOutFileExt(textOf(format.value(QStringLiteral("ext"))));
    media->setStrFmtName(title);
    media->setImgFormat(textOf(format.value(QStringLiteral("image"))));
    media->setEumDestFmtType(
        toInt32(LenientNumber::valueToInteger(format.value(QStringLiteral("formattype")))));

    if (media->eumMediaType() != MVMediaInfoItem::MediaTypeAudio) {
        const QString videoCodec = textOf(defaultOf(format, QStringLiteral("vcodec")));
        media->setReadableVOCodecName(videoCodec);
        media->setVOVCodecName(codecFor(videoCodec));
        if (media->bSampeQuality())
            media->setDVOBitrate(media->videoBitrate() / 1000.0);
        else
            media->setDVOBitrate(
                LenientNumber::valueToDouble(defaultOf(format, QStringLiteral("vbitrate"))));
        media->setVOFps(
            LenientNumber::valueToDouble(defaultOf(format, QStringLiteral("framerate"))));
        const QString resolution = textOf(defaultOf(format, QStringLiteral("resolution")));
        media->setStrOResolution(resolution);
        const QStringList pieces = resolution.split(QLatin1Char('*'));
        media->setIOWidth(toInt32(LenientNumber::toInteger(pieces.first())));
        media->setIOHeight(toInt32(LenientNumber::toInteger(pieces.last())));
    }

    const QString audioCodec = textOf(defaultOf(format, QStringLiteral("acodec")));
    media->setReadableAOCodecName(audioCodec);
    media->setVOACodecName(codecFor(audioCodec));
    media->setDAOBitrate(
        LenientNumber::valueToDouble(defaultOf(format, QStringLiteral("abitrate"))));
    media->setDAOSamplerate(
        LenientNumber::valueToDouble(defaultOf(format, QStringLiteral("samplerate"))));

    configureDiscriptionOfMeida(media);
}

void FormatUtils::configureDiscriptionOfMeida(LSMedia *media) const
{
    if (!media)
        return;
    const auto number = [](double value) { return QString::number(value, 'f', 2); };
    const QString description =
        QStringLiteral("%1\n%2,%3,%4,%5k\n%6,%7,%8")
            .arg(nullAsText(media->strFmtName()), nullAsText(media->readableVOCodecName()),
                 nullAsText(media->strOResolution()), number(media->vOFps()),
                 number(media->dVOBitrate()), nullAsText(media->readableAOCodecName()),
                 number(media->dAOBitrate()), number(media->dAOSamplerate()));
    // The files of one drop mostly share one description: they share its text too, so a long
    // list holds it once rather than once per row.
    thread_local QString lastDescription;
    if (description != lastDescription)
        lastDescription = description;
    media->setStrDescription(lastDescription);
}
