#include "engine/CoverShrink.h"

#include <QProcess>

QString CoverShrink::scaleFilter(int maxSize)
{
    // Only ever made smaller, keeping its shape.
    return QStringLiteral("scale='min(%1,iw)':'min(%1,ih)':force_original_aspect_ratio=decrease")
        .arg(maxSize);
}

QByteArray CoverShrink::toJpeg(const QByteArray &picture, int maxSize, const QString &encoder)
{
    QProcess process;
    process.setProgram(encoder);
    process.setArguments({QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"), QStringLiteral("-i"), QStringLiteral("pipe:0"),
                          QStringLiteral("-frames:v"), QStringLiteral("1"),
                          QStringLiteral("-filter:v"), scaleFilter(maxSize), QStringLiteral("-c:v"),
                          QStringLiteral("mjpeg"), QStringLiteral("-q:v"), QStringLiteral("3"),
                          QStringLiteral("-f"), QStringLiteral("mjpeg"), QStringLiteral("pipe:1")});
    // "-nostdin" keeps the encoder from reading keys; the picture still comes through pipe:0.
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(kTimeoutMs))
        return {};
    process.write(picture);
    process.closeWriteChannel();
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished(kTimeoutMs);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}
