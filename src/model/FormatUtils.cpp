#include "model/FormatUtils.h"

#include "Shared/LenientNumber.h"
#include "Shared/Logging.h"
#include "model/LSMedia.h"

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <limits>

#include <plist/plist.h>

namespace {

// Deeper than any real catalogue; stops a hostile file from exhausting the stack.
constexpr int kMaxDepth = 32;

QString takeText(char *text)
{
    const QString value = text ? QString::fromUtf8(text) : QString();
    std::free(text);
    return value;
}

QVariant toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        // libplist keeps negative integers as their two's-complement bit pattern.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0.0;
        plist_get_real_val(node, &value);
        return std::isfinite(value) ? value : 0.0;
    }
    case PLIST_STRING: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        return takeText(text);
    }
    case PLIST_KEY: {
        char *text = nullptr;
        plist_get_key_val(node, &text);
        return takeText(text);
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        const QByteArray value(bytes, bytes ? qsizetype(length) : 0);
        std::free(bytes);
        return value;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            list.append(toVariant(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return map;
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            map.insert(takeText(key), toVariant(value, depth + 1));
        }
        std::free(it);
        return map;
    }
    default: // dates and keyed-archive ids: the catalogue has no use for them
        return {};
    }
}

QVariantMap parseCatalogue(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > qsizetype(std::numeric_limits<uint32_t>::max()))
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return {};
    const QVariant value =
        plist_get_node_type(root) == PLIST_DICT ? toVariant(root, 0) : QVariant();
    plist_free(root);
    return value.toMap();
}

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
    const QVariantMap root = parseCatalogue(plistBytes);
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
    media->setStrDescription(
        QStringLiteral("%1\n%2,%3,%4,%5k\n%6,%7,%8")
            .arg(nullAsText(media->strFmtName()), nullAsText(media->readableVOCodecName()),
                 nullAsText(media->strOResolution()), number(media->vOFps()),
                 number(media->dVOBitrate()), nullAsText(media->readableAOCodecName()),
                 number(media->dAOBitrate()), number(media->dAOSamplerate())));
}
