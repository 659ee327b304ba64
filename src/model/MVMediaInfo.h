#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class MVMediaInfoItem;

// What a player shows for a file: its "artist" and "title" tags (empty when absent) and its
// duration in seconds (0 when unknown).
struct MediaTags
{
    QString artist;
    QString title;
    double duration = 0.0;
};

// The tags a conversion carries from its input into its output, under the names libavformat
// gives them ("title", "album_artist", "track" as "3/12" with its total folded in,
// "replaygain_track_gain"...), and the front cover's bytes.
struct EmbeddedTags
{
    QList<QPair<QString, QString>> values; // in a fixed order, each name at most once
    QByteArray cover;                      // empty when the file has none
    QString coverMimeType;                 // "image/png", "image/jpeg"...

    QString value(const QString &name) const;
};

// Prepares the media library for probing: silences its log output. Safe to call more than once
// and from any thread; dumpMediaInfo calls it too, so probing works even when nobody did.
void FFMpegInit();

// The media information provider: opens a file with libavformat and fills a probe record.
// Thread: any; each call works on its own demuxer context and writes only into the given record.
class MVMediaInfo
{
public:
    // Probes the file at item->filePath() and fills duration and start time (seconds), frame
    // size, media type (audio only, video), video bit rate and the first audio stream's bit
    // rate, sample rate and channel count. Cover art (an attached picture) does not count as
    // video. Every probe field is reset first, so a file that cannot be probed (missing, not a
    // regular file, empty, corrupt) leaves zeros; then false is returned with a reason in
    // `error` when given.
    static bool dumpMediaInfo(MVMediaInfoItem *item, QString *error = nullptr);

    // The tags and duration of the regular file at `path`: file-level tags first, then those of
    // the first audio stream (where Ogg keeps its comments). Empty for a file that cannot be read.
    static MediaTags readTags(const QString &path);

    // The encoder's name for the container it picks from the extension of `fileName` ("mp3",
    // "ipod" for .m4a); empty when it knows none. Needed where the encoder writes to a name
    // without the extension (an inherited descriptor).
    static QString muxerForFileName(const QString &fileName);
    // The tags of EmbeddedTags and the cover of the regular file at `path`, whatever its
    // container; empty for a file that cannot be read.
    static EmbeddedTags readEmbeddedTags(const QString &path);
};
