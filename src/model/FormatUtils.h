#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class LSMedia;

// The catalogue of output formats, loaded once from the Formats.plist resource: finds a format
// row by its title and fills a media item's encoder settings from it.
//
// A format row is a QVariantMap converted from the property list (strings, numbers, nested maps
// and lists as loaded); an empty map means "no such format".
//
// Thread: sharedInstance may be called from any thread, the first call creates the catalogue
// exactly once. The catalogue never changes after loading, so every other call may run on any
// thread; fillMedia writes only into the given item, which the caller must own at that time.
class FormatUtils
{
public:
    // The process-wide catalogue, created and loaded on the first call; lives until exit.
    static FormatUtils *sharedInstance();

    // A catalogue read from property-list bytes (XML or binary). Malformed bytes, or a top level
    // that is not a dictionary, give an empty catalogue.
    explicit FormatUtils(const QByteArray &plistBytes);
    FormatUtils(const FormatUtils &) = delete;
    FormatUtils &operator=(const FormatUtils &) = delete;

    // The first row titled exactly `title`, searching "Formats", then "Devices", then "Audios";
    // an empty map when none matches.
    QVariantMap fmtDictionaryWitName(const QString &title) const;

    // Sets the item's output extension, format name, image, destination type, codecs, rates and
    // sizes from the format titled `title`, then rebuilds its description. The video settings are
    // left alone for an audio-only source. A null item or an empty title changes nothing; an
    // unknown title clears the catalogue-derived fields but still records the title.
    void fillMedia(LSMedia *media, const QString &title) const;

    // Rebuilds the item's three-line description from its current settings.
    void configureDiscriptionOfMeida(LSMedia *media) const;

    const QVariantList &aryDevices() const { return m_aryDevices; }
    const QVariantList &aryVideoFmts() const { return m_aryVideoFmts; }
    const QVariantList &aryAudioFmts() const { return m_aryAudioFmts; }
    // Readable codec name (as stored in "vcodec"/"acodec") to the encoder's codec name.
    const QVariantMap &dicCodecMap() const { return m_dicCodecMap; }

    // Where the shipped catalogue lies among the resources of the core library.
    static QString resourcePath();

private:
    QVariantList m_aryDevices;
    QVariantList m_aryVideoFmts;
    QVariantList m_aryAudioFmts;
    QVariantMap m_dicCodecMap;
};
