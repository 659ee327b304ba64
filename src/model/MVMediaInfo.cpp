#include "model/MVMediaInfo.h"

#include "Shared/Logging.h"
#include "model/MVMediaInfoItem.h"
#include "model/OutputFormat.h"

#include <QFile>
#include <QFileInfo>

#include <initializer_list>
#include <mutex>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/error.h>
}

void FFMpegInit()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

namespace {

// Closes the demuxer on every way out of a probe.
struct InputCloser
{
    AVFormatContext *context = nullptr;
    ~InputCloser()
    {
        if (context)
            avformat_close_input(&context);
    }
};

QString avErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

double secondsOf(int64_t value)
{
    return value == AV_NOPTS_VALUE ? 0.0 : double(value) / AV_TIME_BASE;
}

int channelsOf(const AVCodecParameters *codec)
{
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(59, 24, 100)
    return codec->ch_layout.nb_channels;
#else
    return codec->channels;
#endif
}

// Duration of the longest stream, for containers that give no overall duration.
double longestStreamDuration(const AVFormatContext *context)
{
    double longest = 0.0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
            continue;
        longest = qMax(longest, stream->duration * av_q2d(stream->time_base));
    }
    return longest;
}

void resetProbeFields(MVMediaInfoItem *item)
{
    item->setDuration(0.0);
    item->setStartTime(0.0);
    item->setPixWidth(0);
    item->setPixHeight(0);
    item->setEumMediaType(MVMediaInfoItem::MediaTypeUnknown);
    item->setVideoBitrate(0.0);
    item->setAudioBitrate(0.0);
    item->setAudioSampleRate(0);
    item->setAudioChannels(0);
    item->setCoverStreamIndex(-1);
    item->setCoverCodecName(QString());
    item->setTags(TrackTags());
    item->setSameFormatIndex(-1);
}

// The output format whose codec and container `audio` has already, as its index; -1 for none.
qint32 sameFormatIndex(const AVFormatContext *context, const AVCodecParameters *audio)
{
    const QString codec = QString::fromLatin1(avcodec_get_name(audio->codec_id));
    const QString demuxer = QString::fromLatin1(context->iformat->name);
    const QList<OutputFormat> &formats = OutputFormat::all();
    for (qsizetype i = 0; i < formats.size(); ++i)
        if (formats.at(i).isFormatOf(codec, demuxer))
            return qint32(i);
    return -1;
}

const char *pictureType(const AVStream *stream)
{
    const AVDictionaryEntry *comment = av_dict_get(stream->metadata, "comment", nullptr, 0);
    return comment ? comment->value : nullptr;
}

// The picture a player shows for the file: the front cover, else the first picture that carries
// no type at all. A back cover, a leaflet page or a picture of the artist is never the cover.
const AVStream *coverStream(const AVFormatContext *context)
{
    const AVStream *untyped = nullptr;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || stream->attached_pic.size <= 0)
            continue;
        const char *type = pictureType(stream);
        if (type && qstrcmp(type, "Cover (front)") == 0)
            return stream;
        if (!type && !untyped)
            untyped = stream;
    }
    return untyped;
}

// The demuxer for a supported extension; null for any other.
const AVInputFormat *formatNamedBy(const QString &extension)
{
    if (extension.compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0)
        return av_find_input_format("flac");
    if (extension.compare(QLatin1String("ogg"), Qt::CaseInsensitive) == 0)
        return av_find_input_format("ogg");
    return nullptr;
}

// Opens `url` with `format`, or guesses the format when it is null. The white list keeps
// playlists inside the file from reaching anything but files.
int openWith(AVFormatContext **context, const QByteArray &url, const AVInputFormat *format)
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int status = avformat_open_input(context, url.constData(), format, &options);
    av_dict_free(&options);
    if (status < 0)
        *context = nullptr; // freed by avformat_open_input on failure
    return status;
}

// Opens `path` as a plain file only, with its streams' parameters read; false on failure with the
// reason in `error`.
bool openInput(const QString &path, InputCloser &input, QString *error)
{
    // The "file:" prefix keeps a name such as "concat:x" or "http:y" from being taken for a
    // protocol.
    const QFileInfo info(path);
    const QByteArray url = "file:" + QFile::encodeName(info.absoluteFilePath());
    // The demuxer the extension names is tried first: guessing among every format the library
    // knows costs more than the rest of the probe. A file it cannot open is guessed as before.
    int status = AVERROR_DEMUXER_NOT_FOUND;
    if (const AVInputFormat *named = formatNamedBy(info.suffix()))
        status = openWith(&input.context, url, named);
    if (status < 0)
        status = openWith(&input.context, url, nullptr);
    if (status < 0) {
        *error = avErrorText(status);
        return false;
    }
    status = avformat_find_stream_info(input.context, nullptr);
    if (status < 0) {
        *error = avErrorText(status);
        return false;
    }
    return true;
}

// Opens `path` to read its tags: false (with a debug line) when it is no regular file or no media
// libavformat reads.
bool openForTags(const QString &path, InputCloser &input)
{
    FFMpegInit();
    if (!QFileInfo(path).isFile())
        return false;
    QString reason;
    if (!openInput(path, input, &reason)) {
        qCDebug(lcModel) << "cannot read the tags of" << path << ":" << reason;
        return false;
    }
    return true;
}

// The value of `key` in the file's tags or its first audio stream's (matched without case).
QString tagOf(const AVFormatContext *context, const char *key)
{
    if (const AVDictionaryEntry *entry = av_dict_get(context->metadata, key, nullptr, 0))
        return QString::fromUtf8(entry->value).trimmed();
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        if (const AVDictionaryEntry *entry = av_dict_get(stream->metadata, key, nullptr, 0))
            return QString::fromUtf8(entry->value).trimmed();
        break;
    }
    return QString();
}

// The first of `keys` the file carries.
QString firstTagOf(const AVFormatContext *context, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        const QString value = tagOf(context, key);
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

// The demuxers give Vorbis comments and ID3 frames their common names (ALBUMARTIST becomes
// "album_artist", TRACKNUMBER "track"); lookups ignore case.
TrackTags trackTagsOf(const AVFormatContext *context)
{
    TrackTags tags;
    tags.artist = firstTagOf(context, {"artist"});
    tags.albumArtist = firstTagOf(context, {"album_artist", "albumartist", "album artist"});
    tags.album = firstTagOf(context, {"album"});
    tags.title = firstTagOf(context, {"title"});
    tags.track = firstTagOf(context, {"track", "tracknumber"});
    tags.disc = firstTagOf(context, {"disc", "discnumber"});
    tags.date = firstTagOf(context, {"date", "year", "originaldate"});
    tags.genre = firstTagOf(context, {"genre"});
    return tags;
}

bool fail(QString *error, const QString &path, const QString &reason)
{
    qCDebug(lcModel) << "cannot probe" << path << ":" << reason;
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool MVMediaInfo::dumpMediaInfo(MVMediaInfoItem *item, QString *error)
{
    if (!item)
        return fail(error, QString(), QStringLiteral("no media item"));
    FFMpegInit();
    resetProbeFields(item);

    const QString path = item->filePath();
    if (path.isEmpty())
        return fail(error, path, QStringLiteral("no file path"));
    // Only regular files: a directory cannot be read and a named pipe would block the loader.
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(error, path,
                    info.exists() ? QStringLiteral("not a regular file")
                                  : QStringLiteral("no such file"));

    InputCloser input;
    QString reason;
    if (!openInput(path, input, &reason))
        return fail(error, path, reason);

    const AVFormatContext *context = input.context;
    const AVCodecParameters *video = nullptr;
    const AVCodecParameters *audio = nullptr;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        const AVCodecParameters *codec = stream->codecpar;
        // A stream without its basic parameters is what the demuxer guesses from a file name
        // alone (an empty or garbled ".flac"): it holds nothing that could be converted.
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !video &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && codec->width > 0 &&
            codec->height > 0)
            video = codec;
        else if (codec->codec_type == AVMEDIA_TYPE_AUDIO && !audio && codec->sample_rate > 0 &&
                 channelsOf(codec) > 0)
            audio = codec;
    }
    if (!video && !audio)
        return fail(error, path, QStringLiteral("no readable audio or video stream"));

    double duration = context->duration > 0 ? secondsOf(context->duration) : 0.0;
    if (duration <= 0.0)
        duration = longestStreamDuration(context);
    item->setDuration(duration);
    item->setStartTime(secondsOf(context->start_time));

    const double overallBitrate = context->bit_rate > 0 ? double(context->bit_rate) : 0.0;
    double audioBitrate = 0.0;
    if (audio) {
        audioBitrate = audio->bit_rate > 0 ? double(audio->bit_rate) : 0.0;
        // FLAC gives no stream bit rate: an audio-only file's own rate is the audio's.
        if (audioBitrate <= 0.0 && !video)
            audioBitrate = overallBitrate;
        item->setAudioBitrate(audioBitrate);
        item->setAudioSampleRate(audio->sample_rate);
        item->setAudioChannels(channelsOf(audio));
        item->setSameFormatIndex(sameFormatIndex(context, audio));
    }
    if (video) {
        item->setEumMediaType(MVMediaInfoItem::MediaTypeVideo);
        item->setPixWidth(video->width);
        item->setPixHeight(video->height);
        double videoBitrate = video->bit_rate > 0 ? double(video->bit_rate) : 0.0;
        if (videoBitrate <= 0.0 && overallBitrate > audioBitrate)
            videoBitrate = overallBitrate - audioBitrate;
        item->setVideoBitrate(videoBitrate);
    } else {
        item->setEumMediaType(MVMediaInfoItem::MediaTypeAudio);
    }
    if (const AVStream *cover = coverStream(context)) {
        item->setCoverStreamIndex(cover->index);
        item->setCoverCodecName(QString::fromLatin1(avcodec_get_name(cover->codecpar->codec_id)));
    }
    item->setTags(trackTagsOf(context));
    if (error)
        error->clear();
    return true;
}

MediaTags MVMediaInfo::readTags(const QString &path)
{
    MediaTags tags;
    InputCloser input;
    if (!openForTags(path, input))
        return tags;
    tags.artist = tagOf(input.context, "artist");
    tags.title = tagOf(input.context, "title");
    tags.duration = input.context->duration > 0 ? secondsOf(input.context->duration)
                                                : longestStreamDuration(input.context);
    return tags;
}

QString MVMediaInfo::muxerForFileName(const QString &fileName)
{
    const QByteArray name = QFile::encodeName(fileName);
    const AVOutputFormat *format = av_guess_format(nullptr, name.constData(), nullptr);
    return format && format->name ? QString::fromLatin1(format->name) : QString();
}

namespace {

// The names a tag goes by in the containers libavformat reads, the first being the one kept.
struct TagName
{
    const char *name;
    QList<const char *> aliases;
};

const QList<TagName> &carriedTags()
{
    static const QList<TagName> names{
        {"title", {}},
        {"artist", {}},
        {"album", {}},
        {"album_artist", {"albumartist", "album artist"}},
        {"track", {"tracknumber"}},
        {"disc", {"discnumber"}},
        {"date", {"year"}},
        {"genre", {}},
        {"comment", {"description"}},
        {"replaygain_track_gain", {}},
        {"replaygain_track_peak", {}},
        {"replaygain_album_gain", {}},
        {"replaygain_album_peak", {}},
    };
    return names;
}

QString firstTag(const AVFormatContext *context, const TagName &tag)
{
    QString value = tagOf(context, tag.name);
    for (const char *alias : tag.aliases)
        if (value.isEmpty())
            value = tagOf(context, alias);
    return value;
}

// "3" with a total kept apart ("TRACKTOTAL" of Vorbis comments, "totaltracks") becomes "3/12".
QString withTotal(const AVFormatContext *context, const QString &number,
                  const QList<const char *> &totalNames)
{
    if (number.isEmpty() || number.contains(QLatin1Char('/')))
        return number;
    for (const char *name : totalNames) {
        const QString total = tagOf(context, name);
        if (!total.isEmpty())
            return number + QLatin1Char('/') + total;
    }
    return number;
}

QString mimeTypeOf(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_PNG:
        return QStringLiteral("image/png");
    case AV_CODEC_ID_MJPEG:
        return QStringLiteral("image/jpeg");
    case AV_CODEC_ID_GIF:
        return QStringLiteral("image/gif");
    case AV_CODEC_ID_BMP:
        return QStringLiteral("image/bmp");
    case AV_CODEC_ID_WEBP:
        return QStringLiteral("image/webp");
    default:
        return QStringLiteral("image/");
    }
}

} // namespace

QString EmbeddedTags::value(const QString &name) const
{
    for (const auto &entry : values)
        if (entry.first == name)
            return entry.second;
    return QString();
}

EmbeddedTags MVMediaInfo::readEmbeddedTags(const QString &path)
{
    EmbeddedTags tags;
    InputCloser input;
    if (!openForTags(path, input))
        return tags;
    const AVFormatContext *context = input.context;
    for (const TagName &tag : carriedTags()) {
        QString value = firstTag(context, tag);
        if (qstrcmp(tag.name, "track") == 0)
            value = withTotal(context, value, {"tracktotal", "totaltracks"});
        else if (qstrcmp(tag.name, "disc") == 0)
            value = withTotal(context, value, {"disctotal", "totaldiscs"});
        if (!value.isEmpty())
            tags.values.append({QString::fromLatin1(tag.name), value});
    }
    if (const AVStream *cover = coverStream(context)) {
        tags.cover = QByteArray(reinterpret_cast<const char *>(cover->attached_pic.data),
                                cover->attached_pic.size);
        tags.coverMimeType = mimeTypeOf(cover->codecpar->codec_id);
    }
    return tags;
}
