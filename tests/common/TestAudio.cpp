#include "TestAudio.h"

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

} // namespace TestAudio
