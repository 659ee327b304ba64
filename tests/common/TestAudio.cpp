#include "TestAudio.h"

#include <QDataStream>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>

namespace TestAudio {

int run(const QString &program, const QStringList &arguments, QByteArray *output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return -1;
    process.waitForFinished(timeoutMs);
    if (output)
        *output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool makeWav(const QString &path, double seconds)
{
    return run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                QStringLiteral("16"), path, QStringLiteral("synth"), QString::number(seconds),
                QStringLiteral("sine"), QStringLiteral("440")}) == 0;
}

bool makeShapedFlac(const QString &path, double seconds, int sampleRate, int channels, int bits)
{
    return run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(sampleRate),
                QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"),
                QString::number(bits), path, QStringLiteral("synth"), QString::number(seconds),
                QStringLiteral("sine"), QStringLiteral("440")}) == 0;
}

namespace {

bool encodeFromWav(const QString &path, double seconds, const QString &program,
                   QStringList arguments)
{
    const QString wav = path + QStringLiteral(".source.wav");
    if (!makeWav(wav, seconds))
        return false;
    arguments << wav;
    const bool ok = run(program, arguments) == 0;
    QFile::remove(wav);
    return ok && QFile::exists(path);
}

} // namespace

bool makeFlac(const QString &path, double seconds, const Tags &tags)
{
    QStringList arguments{QStringLiteral("--silent"), QStringLiteral("--force"),
                          QStringLiteral("-o"), path};
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        arguments << QStringLiteral("--tag=%1=%2").arg(it.key(), it.value());
    return encodeFromWav(path, seconds, QStringLiteral("flac"), arguments);
}

bool makeOgg(const QString &path, double seconds, const Tags &tags)
{
    QStringList arguments{QStringLiteral("--quiet"), QStringLiteral("-o"), path};
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        arguments << QStringLiteral("--comment=%1=%2").arg(it.key(), it.value());
    return encodeFromWav(path, seconds, QStringLiteral("oggenc"), arguments);
}

namespace {

QJsonObject ffprobe(const QString &path)
{
    QByteArray output;
    QProcess process;
    process.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                   QStringLiteral("json"), QStringLiteral("-show_format"),
                   QStringLiteral("-show_streams"), path});
    if (!process.waitForFinished(60000))
        return {};
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

void addTags(Tags &tags, const QJsonObject &source)
{
    for (auto it = source.begin(); it != source.end(); ++it)
        tags.insert(it.key().toUpper(), it.value().toString());
}

} // namespace

Probe probe(const QString &path)
{
    const QJsonObject probe = ffprobe(path);
    Probe result;
    bool audioSeen = false;
    for (const QJsonValue &value : probe.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QJsonObject disposition = stream.value(QStringLiteral("disposition")).toObject();
        if (disposition.value(QStringLiteral("attached_pic")).toInt() == 1 &&
            result.cover.codec.isEmpty())
            result.cover = {stream.value(QStringLiteral("codec_name")).toString(),
                            QSize(stream.value(QStringLiteral("width")).toInt(),
                                  stream.value(QStringLiteral("height")).toInt())};
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("audio") &&
            !audioSeen) {
            addTags(result.tags, stream.value(QStringLiteral("tags")).toObject());
            audioSeen = true;
        }
    }
    const QJsonObject format = probe.value(QStringLiteral("format")).toObject();
    addTags(result.tags, format.value(QStringLiteral("tags")).toObject());
    bool ok = false;
    const double seconds = format.value(QStringLiteral("duration")).toString().toDouble(&ok);
    result.duration = ok ? seconds : -1.0;
    return result;
}

Tags readTags(const QString &path)
{
    const QJsonObject probe = ffprobe(path);
    Tags tags;
    for (const QJsonValue &stream : probe.value(QStringLiteral("streams")).toArray()) {
        if (stream.toObject().value(QStringLiteral("codec_type")).toString() ==
            QLatin1String("audio")) {
            addTags(tags, stream.toObject().value(QStringLiteral("tags")).toObject());
            break;
        }
    }
    addTags(
        tags,
        probe.value(QStringLiteral("format")).toObject().value(QStringLiteral("tags")).toObject());
    return tags;
}

double probeDuration(const QString &path)
{
    const QJsonObject format = ffprobe(path).value(QStringLiteral("format")).toObject();
    bool ok = false;
    const double seconds = format.value(QStringLiteral("duration")).toString().toDouble(&ok);
    return ok ? seconds : -1.0;
}

bool makePicture(const QString &path, const QSize &size)
{
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("color=c=red:s=%1x%2").arg(size.width()).arg(size.height()),
                QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-y"), path}) == 0;
}

bool addFlacCover(const QString &flac, const QString &picture, int pictureType)
{
    // TYPE|MIME|DESCRIPTION|SIZE|FILE; the empty fields are taken from the picture.
    const QString specification = QStringLiteral("%1||||%2").arg(pictureType).arg(picture);
    return run(QStringLiteral("metaflac"),
               {QStringLiteral("--import-picture-from=") + specification, flac}) == 0;
}

bool addOggCover(const QString &ogg, const QString &picture, const QString &mimeType,
                 const QSize &size)
{
    QFile image(picture);
    if (!image.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = image.readAll();
    // A FLAC picture block: type 3 (front cover), MIME type, no description, size, 24 bits, no
    // palette, the data; all numbers big-endian.
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    const QByteArray mime = mimeType.toLatin1();
    out << quint32(3) << quint32(mime.size());
    out.writeRawData(mime.constData(), int(mime.size()));
    out << quint32(0) << quint32(size.width()) << quint32(size.height()) << quint32(24)
        << quint32(0) << quint32(data.size());
    out.writeRawData(data.constData(), int(data.size()));

    const QString comments = ogg + QStringLiteral(".comments");
    QFile list(comments);
    if (!list.open(QIODevice::WriteOnly))
        return false;
    list.write("METADATA_BLOCK_PICTURE=" + block.toBase64() + "\n");
    list.close();
    const bool ok = run(QStringLiteral("vorbiscomment"),
                        {QStringLiteral("-a"), QStringLiteral("-c"), comments, ogg}) == 0;
    QFile::remove(comments);
    return ok;
}

bool addOggSkeleton(const QString &ogg, const QString &result)
{
    return run(QStringLiteral("oggz-chop"), {QStringLiteral("-s"), QStringLiteral("0"),
                                             QStringLiteral("-o"), result, ogg}) == 0 &&
           QFile::exists(result);
}

Cover probeCover(const QString &path)
{
    for (const QJsonValue &value : ffprobe(path).value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QJsonObject disposition = stream.value(QStringLiteral("disposition")).toObject();
        if (disposition.value(QStringLiteral("attached_pic")).toInt() != 1)
            continue;
        return {stream.value(QStringLiteral("codec_name")).toString(),
                QSize(stream.value(QStringLiteral("width")).toInt(),
                      stream.value(QStringLiteral("height")).toInt())};
    }
    return {};
}

QPair<int, int> probeAudioFormat(const QString &path)
{
    for (const QJsonValue &value : ffprobe(path).value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value(QStringLiteral("codec_type")).toString() != QLatin1String("audio"))
            continue;
        return {stream.value(QStringLiteral("sample_rate")).toString().toInt(),
                stream.value(QStringLiteral("channels")).toInt()};
    }
    return {0, 0};
}

} // namespace TestAudio
