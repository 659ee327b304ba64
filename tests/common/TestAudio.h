#pragma once

#include <QMap>
#include <QSize>
#include <QString>

// Real audio files for tests, made with Debian's sox, flac and oggenc.
namespace TestAudio {

using Tags = QMap<QString, QString>; // Vorbis comment name (TITLE, ARTIST, ...) to value

// A stereo 44.1 kHz sine tone of `seconds`; false when a tool failed.
bool makeWav(const QString &path, double seconds);
bool makeFlac(const QString &path, double seconds, const Tags &tags = {});
bool makeOgg(const QString &path, double seconds, const Tags &tags = {});
// A FLAC sine tone of any shape, written by sox directly.
bool makeShapedFlac(const QString &path, double seconds, int sampleRate, int channels, int bits);

// A one-colour picture of `size`; the format follows the extension of `path` (png, jpg, gif).
bool makePicture(const QString &path, const QSize &size);
// Embeds `picture` as the front cover: a PICTURE block of a FLAC file (metaflac; another picture
// type when given: 4 is the back cover), or a METADATA_BLOCK_PICTURE comment of an Ogg Vorbis
// file (vorbiscomment).
bool addFlacCover(const QString &flac, const QString &picture, int pictureType = 3);
bool addOggCover(const QString &ogg, const QString &picture, const QString &mimeType,
                 const QSize &size);
// Puts an Ogg Skeleton stream before the streams of `ogg` (oggz-chop).
bool addOggSkeleton(const QString &ogg, const QString &result);

struct Cover
{
    QString codec; // as ffprobe names it: png, mjpeg...
    QSize size;
};
// The attached picture of a file, or an empty codec when it has none.
Cover probeCover(const QString &path);
// Sample rate and channel count of the first audio stream (0 when none).
QPair<int, int> probeAudioFormat(const QString &path);

// Tags, cover and duration of a file from one ffprobe run (as readTags, probeCover and
// probeDuration give them one by one).
struct Probe
{
    Tags tags;
    Cover cover;
    double duration = -1.0;
};
Probe probe(const QString &path);

// Runs a program and returns its exit status (-1 when it could not start); output in `output`.
int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr,
        int timeoutMs = 120000);

// The tags of a file as ffprobe reads them (format and first audio stream), names upper-cased.
Tags readTags(const QString &path);
// The duration in seconds that ffprobe reports, or -1.
double probeDuration(const QString &path);

} // namespace TestAudio
