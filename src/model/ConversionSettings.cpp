#include "model/ConversionSettings.h"

#include "model/LSMedia.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"

namespace {

// Typed reads of the store that fall back on the table of defaults, so that a setting's default
// is written down in one place only.
class TypedReader
{
public:
    explicit TypedReader(const UserDefaults &store)
        : m_store(store)
        , m_defaults(PreferenceDefaults::registeredDefaults())
    {}

    bool boolean(QLatin1String key) const
    {
        return has(key) ? m_store.boolForKey(key) : m_defaults.value(key).toBool();
    }
    double number(QLatin1String key) const
    {
        return has(key) ? m_store.doubleForKey(key) : m_defaults.value(key).toDouble();
    }
    int integer(QLatin1String key) const
    {
        return has(key) ? int(m_store.integerForKey(key)) : m_defaults.value(key).toInt();
    }
    QString text(QLatin1String key) const
    {
        return has(key) ? m_store.stringForKey(key) : m_defaults.value(key).toString();
    }

private:
    bool has(QLatin1String key) const { return m_store.objectForKey(key).isValid(); }

    const UserDefaults &m_store;
    const QVariantMap m_defaults;
};

} // namespace

ConversionSettings ConversionSettings::read(const UserDefaults &store)
{
    const TypedReader reader(store);
    ConversionSettings settings;
    settings.audioOutputFolder = reader.text(PrefKeys::AppAudioOutputFolder);
    settings.videoOutputFolder = reader.text(PrefKeys::AppVideoOutputFolder);
    settings.formatName = reader.text(PrefKeys::PreferedFormatName);
    settings.sameQuality = reader.boolean(PrefKeys::BSameQuality);
    settings.sampleRate = reader.number(PrefKeys::DoubleSamepleRate);
    settings.bitRate = reader.number(PrefKeys::DoubleBitRate);
    settings.syncToLibrary = reader.boolean(PrefKeys::AppBSyncToiTunes);
    settings.playlistName = reader.text(PrefKeys::PlaylistName);
    settings.keepCover = reader.boolean(PrefKeys::AppKeepCoverArt);
    settings.keepFolders = reader.boolean(PrefKeys::AppKeepFolderStructure);
    settings.skipConverted = reader.boolean(PrefKeys::AppSkipConverted);
    settings.skipFinished = reader.boolean(PrefKeys::AppSkipFinished);
    settings.openOutputFolder = reader.boolean(PrefKeys::AppOpenOutputFolder);
    settings.namePattern = reader.text(PrefKeys::AppOutputNamePattern).trimmed();
    settings.portableNames = reader.boolean(PrefKeys::AppPortableNames);
    settings.id3v23 = reader.boolean(PrefKeys::AppId3v23);
    settings.coverMaxSize = qMax(0, int(reader.number(PrefKeys::AppCoverMaxSize)));
    settings.mp3Vbr = reader.boolean(PrefKeys::AppMp3Vbr);
    settings.mp3VbrQuality = reader.integer(PrefKeys::AppMp3VbrQuality);
    settings.vorbisQuality = reader.integer(PrefKeys::AppVorbisQuality);
    settings.flacLevel = reader.integer(PrefKeys::AppFlacCompressionLevel);
    settings.convertOtherAudio = reader.boolean(PrefKeys::AppConvertOtherAudio);
    settings.reencodeSameFormat = reader.boolean(PrefKeys::AppReencodeSameFormat);
    return settings;
}

ConversionSettings ConversionSettings::current()
{
    return read(UserDefaults::standard());
}

const OutputFormat &ConversionSettings::format() const
{
    return OutputFormat::forStoredName(formatName);
}

const QString &ConversionSettings::outputFolderFor(int destinationType) const
{
    return destinationType == LSMedia::DestFmtAudio ? audioOutputFolder : videoOutputFolder;
}

int ConversionSettings::qualityFor(const OutputFormat &format) const
{
    auto onScale = [&format](int level) {
        return qBound(format.minQuality(), level, format.maxQuality());
    };
    switch (format.quality()) {
    case OutputFormat::Quality::BitRateOrLameVbr:
        return mp3Vbr ? onScale(mp3VbrQuality) : -1;
    case OutputFormat::Quality::VorbisQuality:
        return onScale(vorbisQuality);
    case OutputFormat::Quality::CompressionLevel:
        return onScale(flacLevel);
    default:
        return -1;
    }
}
