#include "engine/EncoderCommandLine.h"

#include "Shared/Logging.h"
#include "engine/CoverShrink.h"
#include "engine/OutputLayout.h"
#include "engine/OutputReservation.h"
#include "engine/TemporaryOutput.h"
#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString rectText(const QRectF &rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

QString listText(const QStringList &list)
{
    return QStringLiteral("(\n    ") + list.join(QStringLiteral(",\n    ")) + QStringLiteral("\n)");
}

// PNG and JPEG go into both ID3 (APIC) and MP4 (covr) as they are; other pictures are converted.
bool coverCopiesAsIs(const QString &codec)
{
    return codec == QLatin1String("png") || codec == QLatin1String("mjpeg");
}

QStringList coverArguments(const LSMedia &item, const OutputFormat *format, int maxSize)
{
    QStringList args{QStringLiteral("-map"), QStringLiteral("0:a:0"), QStringLiteral("-map"),
                     QStringLiteral("0:%1").arg(item.coverStreamIndex())};
    if (maxSize > 0) {
        // Only ever made smaller, keeping its shape; JPEG is what every player reads.
        args << QStringLiteral("-c:v") << QStringLiteral("mjpeg") << QStringLiteral("-q:v")
             << QStringLiteral("3") << QStringLiteral("-filter:v")
             << CoverShrink::scaleFilter(maxSize);
    } else {
        args << QStringLiteral("-c:v")
             << (coverCopiesAsIs(item.coverCodecName()) ? QStringLiteral("copy")
                                                        : QStringLiteral("png"));
    }
    args << QStringLiteral("-disposition:v:0") << QStringLiteral("attached_pic");
    // ID3 (APIC) and FLAC (PICTURE) name the picture's kind from the stream's comment; without
    // one it would be "Other", which players do not show as the cover.
    if (format && (format->codecName() == QLatin1String("mp3") ||
                   format->codecName() == QLatin1String("flac")))
        args << QStringLiteral("-metadata:s:v:0") << QStringLiteral("comment=Cover (front)");
    return args;
}

// The encoder's quality switches for `format` at the item's choice.
QStringList qualityArguments(const LSMedia &item, const OutputFormat *format)
{
    const QString bitRate = QString::asprintf("%0.2fk", item.dAOBitrate());
    if (!format)
        return {QStringLiteral("-b:a"), bitRate};
    const QString level =
        QString::number(qBound(format->minQuality(), item.iAOQuality(), format->maxQuality()));
    switch (format->quality()) {
    case OutputFormat::Quality::BitRate:
        return {QStringLiteral("-b:a"), bitRate};
    case OutputFormat::Quality::BitRateOrLameVbr:
        if (item.iAOQuality() < 0)
            return {QStringLiteral("-b:a"), bitRate};
        return {QStringLiteral("-q:a"), level};
    case OutputFormat::Quality::VbrBitRate: {
        const double kbits =
            qBound(double(format->minBitRate()), item.dAOBitrate(), double(format->maxBitRate()));
        return {QStringLiteral("-b:a"), QString::asprintf("%0.2fk", kbits)};
    }
    case OutputFormat::Quality::VorbisQuality:
        return {QStringLiteral("-q:a"), level};
    case OutputFormat::Quality::CompressionLevel:
        return {QStringLiteral("-compression_level"), level};
    case OutputFormat::Quality::Lossless:
        break;
    }
    return {};
}

} // namespace

double EncoderCommandLine::supportedSampleRate(const QString &codec, double requested)
{
    return OutputFormat::supportedSampleRate(codec, requested);
}

QString EncoderCommandLine::encoderPath(const QString &executablePath)
{
    return QDir::cleanPath(executablePath + QStringLiteral("/../ffmpeg"));
}

QString EncoderCommandLine::plannedOutputPath(const LSMedia &item,
                                              const ConversionSettings &settings)
{
    return plannedOutputPath(item, settings,
                             OutputNaming::forSettings(settings, item.eumDestFmtType()));
}

QString EncoderCommandLine::plannedOutputPath(const LSMedia &item,
                                              const ConversionSettings &settings,
                                              const OutputNaming &naming)
{
    return OutputLayout::plannedPath(item, settings.outputFolderFor(item.eumDestFmtType()),
                                     settings.keepFolders, naming);
}

bool EncoderCommandLine::isCropping(const LSMedia &item)
{
    const QRectF crop = item.rcCroped();
    return crop.width() != 0.0 || crop.height() != 0.0;
}

QString EncoderCommandLine::cropText(const LSMedia &item)
{
    if (!isCropping(item))
        return QString();
    const QRectF crop = item.rcCroped();
    const double width = crop.width() / item.pixWidth() * item.iOWidth();
    const double height = crop.height() / item.pixHeight() * item.iOHeight();
    const double x = crop.x() / item.pixWidth() * item.iOWidth();
    const double y = crop.y() / item.pixHeight() * item.iOHeight();
    return QString::asprintf("crop=%0.0f:%0.0f:%0.0f:%0.0f", width, height, x, y);
}

QString EncoderCommandLine::aspectText(const LSMedia &item)
{
    switch (item.aspectOption()) {
    case LSMedia::Aspect4x3:
        return QStringLiteral("4:3");
    case LSMedia::Aspect16x9:
        return QStringLiteral("16:9");
    case LSMedia::AspectOutputSize:
        return QString::asprintf("%d:%d", item.iOWidth(), item.iOHeight());
    default:
        break;
    }
    if (isCropping(item)) {
        const QRectF crop = item.rcCroped();
        return QString::asprintf("%0.0f:%0.0f", crop.width(), crop.height());
    }
    return QString::asprintf("%d:%d", item.pixWidth(), item.pixHeight());
}

bool EncoderCommandLine::embedsCover(const OutputFormat *format)
{
    // The Ogg muxer refuses a picture stream and WAV holds one stream only: their covers are
    // written into the finished file (TagCompletion).
    return !format || format->demuxerName() == QLatin1String("mp3") ||
           format->demuxerName() == QLatin1String("flac") ||
           format->extension() == QLatin1String("m4a");
}

bool EncoderCommandLine::copiesAudio(const LSMedia &item, const ConversionSettings &settings)
{
    const OutputFormat *format = OutputFormat::withTitle(item.strFmtName());
    return format && item.sameFormatIndex() == format->index() && settings.convertOtherAudio &&
           !settings.reencodeSameFormat;
}

QStringList EncoderCommandLine::arguments(const LSMedia &item, const QString &encoder,
                                          const QString &outputPath, bool keepCover,
                                          const PlayerCompatibility &compatibility, bool copyAudio)
{
    const OutputFormat *format = OutputFormat::withTitle(item.strFmtName());
    QStringList args{encoder};
    // A copy keeps the whole file: cutting it could only happen at packet edges, and a seek
    // before the file's start (a start time above 0, as MP3's encoder delay gives) drops packets
    // of a copied stream.
    if (item.dTrimLength() > 1.0 && !copyAudio) {
        args << QStringLiteral("-ss")
             << QString::asprintf("%0.4f", item.dTrimStart() - item.startTime())
             << QStringLiteral("-t") << QString::asprintf("%0.4f", item.dTrimLength());
    }
    args << QStringLiteral("-i") << item.filePath();
    // Ogg keeps its comments on the audio stream while FLAC keeps them on the file, and the
    // encoder copies only file-level tags by default: take both. The audio stream need not be the
    // first (an Ogg Skeleton stream comes before it), but naming "the first audio stream" fails
    // on a source without one, so that form is used only when the probe found audio.
    const bool hasAudio = item.audioChannels() > 0;
    if (format && format->extension() == QLatin1String("wav")) {
        // A WAV output gets its tags from TagCompletion, in an ID3v2 chunk after the audio. The
        // encoder would put an INFO list before the audio (with its own name even when no tag
        // is mapped, unless it writes bit-exact): taking it out again moves the whole file, and
        // left in, it hides the ID3 chunk from libavformat's readers.
        args << QStringLiteral("-map_metadata") << QStringLiteral("-1") << QStringLiteral("-fflags")
             << QStringLiteral("+bitexact");
    } else {
        args << QStringLiteral("-map_metadata") << QStringLiteral("0")
             << QStringLiteral("-map_metadata")
             << (hasAudio ? QStringLiteral("0:s:a:0") : QStringLiteral("0:s:0"));
    }

    if (item.eumDestFmtType() == LSMedia::DestFmtAudio) {
        if (keepCover && hasAudio && item.coverStreamIndex() >= 0 && embedsCover(format))
            args << coverArguments(item, format, compatibility.coverMaxSize);
        else
            args << QStringLiteral("-vn");
    } else {
        // Video outputs are no longer offered; the branch stays (docs/ARCHITECTURE.md, "Kept as
        // they are").
        const QString videoCodec = item.vOVCodecName();
        args << QStringLiteral("-vcodec") << videoCodec;
        if (videoCodec == QLatin1String("libx264"))
            args << QStringLiteral("-g") << QStringLiteral("15");
        args << QStringLiteral("-b:v") << QString::asprintf("%0.2fk", item.dVOBitrate())
             << QStringLiteral("-s") << item.strOResolution() << QStringLiteral("-r")
             << QString::asprintf("%0.2f", item.vOFps());

        const QString crop = cropText(item);
        const QString aspect = aspectText(item);
        // The two crop lines keep their wording: docs/ARCHITECTURE.md, "Kept as they are".
        qCInfo(lcEngine).noquote()
            << QStringLiteral("Croped Rect:%1").arg(rectText(item.rcCroped()));
        qCInfo(lcEngine).noquote()
            << QStringLiteral("finally crop rect:%1,Ratio:%2")
                   .arg(crop.isEmpty() ? QStringLiteral("(null)") : crop, aspect);
        if (!crop.isEmpty())
            args << QStringLiteral("-vf") << crop;
        args << QStringLiteral("-aspect") << aspect;
    }

    if (copyAudio) {
        args << QStringLiteral("-acodec") << QStringLiteral("copy") << QStringLiteral("-y")
             << outputPath;
        return args;
    }
    const double rate = supportedSampleRate(item.vOACodecName(), item.dAOSamplerate());
    if (rate != item.dAOSamplerate())
        qCInfo(lcEngine).noquote()
            << QStringLiteral("sample rate %1 Hz not supported by %2, using %3 Hz")
                   .arg(item.dAOSamplerate())
                   .arg(item.vOACodecName())
                   .arg(rate);
    args << QStringLiteral("-acodec") << item.vOACodecName() << QStringLiteral("-ar")
         << QString::asprintf("%0.2f", rate) << qualityArguments(item, format)
         << QStringLiteral("-ac") << QStringLiteral("2");
    if (compatibility.id3v23 && item.vOACodecName() == QLatin1String("libmp3lame"))
        args << QStringLiteral("-id3v2_version") << QStringLiteral("3");
    args << QStringLiteral("-y") << outputPath;
    return args;
}

EncoderCommand EncoderCommandLine::build(const LSMedia &item, const QString &audioFolder,
                                         const QString &videoFolder, const QString &executablePath,
                                         const QString &encoderOverride)
{
    ConversionSettings settings = ConversionSettings::current();
    settings.audioOutputFolder = audioFolder;
    settings.videoOutputFolder = videoFolder;
    return build(item, settings, executablePath, encoderOverride);
}

EncoderCommand EncoderCommandLine::build(const LSMedia &item, const ConversionSettings &settings,
                                         const QString &executablePath,
                                         const QString &encoderOverride)
{
    EncoderCommand command;
    const QString encoder =
        encoderOverride.isEmpty() ? encoderPath(executablePath) : encoderOverride;
    command.keepFolders = settings.keepFolders;
    command.outputFolder = settings.outputFolderFor(item.eumDestFmtType());
    command.naming = OutputNaming::forSettings(settings, item.eumDestFmtType());
    for (;;) {
        command.outputPath = plannedOutputPath(item, settings, command.naming);
        int code = 0;
        if (OutputLayout::ensureFolder(command.outputFolder, QFileInfo(command.outputPath).path(),
                                       &command.reserveError, &code))
            break;
        OutputNaming stricter;
        if (!OutputNaming::isNameRefusal(code) || !command.naming.stricter(&stricter) ||
            !QFileInfo(command.outputFolder).isDir()) {
            qCWarning(lcEngine).noquote() << command.reserveError;
            return command;
        }
        command.naming = stricter;
    }
    command.reserveError.clear();
    // Renamed outputs keep their temporaries in the output folder, where every run looks for
    // those a killed program left.
    const QString besideFinal =
        command.naming.renames()
            ? command.outputFolder + QLatin1Char('/') + QFileInfo(command.outputPath).fileName()
            : command.outputPath;
    auto reservation = std::make_shared<OutputReservation>();
    if (reservation->reserve(command.outputFolder, besideFinal, &command.reserveError)) {
        command.temporaryPath = reservation->temporaryPath();
        command.reservation = reservation;
    }
    PlayerCompatibility compatibility;
    compatibility.id3v23 = settings.id3v23;
    compatibility.coverMaxSize = qMax(0, settings.coverMaxSize);
    command.copiesAudio = copiesAudio(item, settings);
    command.arguments = arguments(item, encoder, command.temporaryPath, settings.keepCover,
                                  compatibility, command.copiesAudio);
    if (command.reservation) {
        // The encoder writes into the file opened here, never to a name someone could replace;
        // without the extension it needs the container named.
        command.arguments.removeLast();
        const QString muxer = MVMediaInfo::muxerForFileName(command.outputPath);
        if (!muxer.isEmpty())
            command.arguments << QStringLiteral("-f") << muxer;
        command.arguments << command.reservation->encoderTarget();
    }
    qCInfo(lcEngine).noquote() << QStringLiteral("tOutFile:%1").arg(command.outputPath);
    qCInfo(lcEngine).noquote() << QStringLiteral("args:%1").arg(listText(command.arguments));
    return command;
}

QString EncoderCommandLine::commitOutput(const EncoderCommand &command, const LSMedia &item,
                                         QString *error)
{
    OutputNaming naming = command.naming;
    QString path = command.outputPath;
    for (;;) {
        int code = 0;
        const QString output =
            command.reservation
                ? command.reservation->commit(path, item.strOutFileExt(), error, &code)
                : TemporaryOutput::commit(command.temporaryPath, path, item.strOutFileExt(), error,
                                          &code);
        OutputNaming stricter;
        if (!output.isEmpty() || !OutputNaming::isNameRefusal(code) || !naming.stricter(&stricter))
            return output;
        naming = stricter;
        const QString next =
            OutputLayout::plannedPath(item, command.outputFolder, command.keepFolders, naming);
        if (!OutputLayout::ensureFolder(command.outputFolder, QFileInfo(next).path(), error))
            return QString();
        qCInfo(lcEngine).noquote()
            << QStringLiteral("%1 refused its name, trying %2").arg(path, next);
        path = next;
    }
}
