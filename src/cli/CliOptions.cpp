#include "cli/CliOptions.h"

#include "AppInfo.h"
#include "model/ConversionSettings.h"
#include "model/OutputFormat.h"
#include "model/OutputNamePattern.h"
#include "model/PrefKeys.h"

#include <QDir>

namespace {

constexpr int kMaxJobs = 256;
constexpr int kMaxCoverSize = 10000;
// What any of the encoders writes at all; each one's own table narrows it further.
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 192000;

// The value of a "--name value" or "--name=value" option at `index`; advances `index` past it.
std::optional<QString> optionValue(const QStringList &arguments, qsizetype &index,
                                   const QString &name, QString *error)
{
    const QString &argument = arguments.at(index);
    if (argument.startsWith(name + QLatin1Char('=')))
        return argument.mid(name.size() + 1);
    if (index + 1 >= arguments.size()) {
        *error = QStringLiteral("option %1 needs a value").arg(name);
        return std::nullopt;
    }
    return arguments.at(++index);
}

bool isOption(const QString &argument, const QString &name)
{
    return argument == name || argument.startsWith(name + QLatin1Char('='));
}

// The --format lines of the usage text, with the words the output formats take.
QString formatOptionLines()
{
    return QStringLiteral("  --format FORMAT    output format: %1\n"
                          "                     (m4a: AAC; alac: Apple Lossless in .m4a; ogg: "
                          "Vorbis)\n")
        .arg(OutputFormat::commandLineWords());
}

// The whole number of option `name` at `index`, at least `minimum`; a usage error in `error`
// otherwise.
std::optional<int> numberValue(const QStringList &arguments, qsizetype &index, const QString &name,
                               int minimum, const QString &what, QString *error)
{
    const auto value = optionValue(arguments, index, name, error);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const int number = value->toInt(&ok);
    if (!ok || number < minimum) {
        *error = QStringLiteral("%1 needs %2, not \"%3\"").arg(name, what, *value);
        return std::nullopt;
    }
    return number;
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions options;
    options.action = Action::Convert;
    auto refuse = [&options](const QString &why) {
        options.action = Action::BadUsage;
        options.error = why;
        return options;
    };

    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) ||
            argument == QLatin1String("-")) {
            options.inputs.append(argument);
            continue;
        }
        QString error;
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.action = Action::ShowHelp;
            return options;
        } else if (argument == QLatin1String("--version")) {
            options.action = Action::ShowVersion;
            return options;
        } else if (argument == QLatin1String("--no-sync")) {
            options.noSync = true;
        } else if (argument == QLatin1String("--verbose") || argument == QLatin1String("-v")) {
            options.verbose = true;
        } else if (argument == QLatin1String("--no-cover")) {
            options.noCover = true;
        } else if (argument == QLatin1String("--keep-folders")) {
            options.keepFolders = true;
        } else if (argument == QLatin1String("--skip-existing")) {
            options.skipExisting = true;
        } else if (argument == QLatin1String("--portable-names")) {
            options.portableNames = true;
        } else if (argument == QLatin1String("--id3v2.3")) {
            options.id3v23 = true;
        } else if (isOption(argument, QStringLiteral("--pattern"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--pattern"), &error);
            if (!value)
                return refuse(error);
            const QStringList unknown = OutputNamePattern::unknownFields(*value);
            if (!unknown.isEmpty())
                return refuse(QStringLiteral("unknown field {%1} in --pattern (use {%2})")
                                  .arg(unknown.first(), OutputNamePattern::fieldNames().join(
                                                            QStringLiteral("}, {"))));
            options.namePattern = *value;
        } else if (isOption(argument, QStringLiteral("--cover-size"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--cover-size"), &error);
            if (!value)
                return refuse(error);
            bool ok = false;
            const int size = value->toInt(&ok);
            if (!ok || size < 0 || size > kMaxCoverSize)
                return refuse(QStringLiteral("--cover-size needs a number of pixels from 0 to %1, "
                                             "not \"%2\"")
                                  .arg(kMaxCoverSize)
                                  .arg(*value));
            options.coverMaxSize = size;
        } else if (argument == QLatin1String("--all-audio")) {
            options.allAudio = true;
        } else if (argument == QLatin1String("--reencode")) {
            options.reencode = true;
        } else if (isOption(argument, QStringLiteral("--bitrate"))) {
            options.bitRate = numberValue(arguments, i, QStringLiteral("--bitrate"), 1,
                                          QStringLiteral("a bit rate in kbit/s"), &error);
            if (!options.bitRate)
                return refuse(error);
        } else if (isOption(argument, QStringLiteral("--vbr"))) {
            options.vbrQuality =
                numberValue(arguments, i, QStringLiteral("--vbr"), 0,
                            QStringLiteral("a quality (0 to 9 for mp3, 0 to 10 for ogg)"), &error);
            if (!options.vbrQuality)
                return refuse(error);
        } else if (isOption(argument, QStringLiteral("--sample-rate"))) {
            options.sampleRate = numberValue(arguments, i, QStringLiteral("--sample-rate"), 1,
                                             QStringLiteral("a sample rate in Hz"), &error);
            if (!options.sampleRate)
                return refuse(error);
        } else if (isOption(argument, QStringLiteral("--format"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--format"), &error);
            if (!value)
                return refuse(error);
            const OutputFormat *format = OutputFormat::withCommandLineWord(*value);
            if (!format)
                return refuse(QStringLiteral("unknown format \"%1\" (use %2)")
                                  .arg(*value, OutputFormat::commandLineWords()));
            options.formatName = format->catalogueTitle();
        } else if (isOption(argument, QStringLiteral("--jobs")) ||
                   argument == QLatin1String("-j")) {
            const QString name =
                argument == QLatin1String("-j") ? QStringLiteral("-j") : QStringLiteral("--jobs");
            const auto value = optionValue(arguments, i, name, &error);
            if (!value)
                return refuse(error);
            bool ok = false;
            const int jobs = value->toInt(&ok);
            if (!ok || jobs < 1 || jobs > kMaxJobs)
                return refuse(QStringLiteral("--jobs needs a number from 1 to %1, not \"%2\"")
                                  .arg(kMaxJobs)
                                  .arg(*value));
            options.jobs = jobs;
        } else if (isOption(argument, QStringLiteral("--output")) ||
                   argument == QLatin1String("-o")) {
            const QString name =
                argument == QLatin1String("-o") ? QStringLiteral("-o") : QStringLiteral("--output");
            const auto value = optionValue(arguments, i, name, &error);
            if (!value)
                return refuse(error);
            if (value->isEmpty())
                return refuse(QStringLiteral("--output needs a folder"));
            options.outputFolder = QDir::cleanPath(QDir::current().absoluteFilePath(*value));
        } else if (isOption(argument, QStringLiteral("--playlist"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--playlist"), &error);
            if (!value)
                return refuse(error);
            options.playlistName = *value;
        } else {
            return refuse(QStringLiteral("unknown option %1").arg(argument));
        }
    }
    if (options.inputs.isEmpty())
        return refuse(QStringLiteral("no FILE or FOLDER given"));
    return options;
}

void CliOptions::applyTo(ConversionSettings &settings) const
{
    if (formatName)
        settings.formatName = *formatName;
    if (outputFolder)
        settings.audioOutputFolder = *outputFolder;
    if (playlistName)
        settings.playlistName = *playlistName;
    if (noSync)
        settings.syncToLibrary = false;
    if (noCover)
        settings.keepCover = false;
    if (keepFolders)
        settings.keepFolders = true;
    if (skipExisting)
        settings.skipConverted = true;
    if (namePattern)
        settings.namePattern = namePattern->trimmed();
    if (portableNames)
        settings.portableNames = true;
    if (id3v23)
        settings.id3v23 = true;
    if (coverMaxSize)
        settings.coverMaxSize = *coverMaxSize;
    if (allAudio)
        settings.convertOtherAudio = true;
    if (reencode)
        settings.reencodeSameFormat = true;
    applyQualityTo(settings);
}

// A rate named on the command line is meant, whatever the stored same-quality choice says.
void CliOptions::applyQualityTo(ConversionSettings &settings) const
{
    if (bitRate || sampleRate)
        settings.sameQuality = false;
    if (sampleRate)
        settings.sampleRate = *sampleRate;
    if (bitRate) {
        settings.bitRate = *bitRate;
        settings.mp3Vbr = false;
    }
    if (!vbrQuality)
        return;
    if (settings.format().quality() == OutputFormat::Quality::VorbisQuality) {
        settings.vorbisQuality = *vbrQuality;
    } else {
        settings.mp3Vbr = true;
        settings.mp3VbrQuality = *vbrQuality;
    }
}

QString CliOptions::qualityProblem(const OutputFormat &format) const
{
    using Q = OutputFormat::Quality;
    const QString word = format.commandLineWord();
    const Q quality = format.quality();
    const bool hasBitRate =
        quality == Q::BitRate || quality == Q::BitRateOrLameVbr || quality == Q::VbrBitRate;
    const bool hasVbrScale = quality == Q::BitRateOrLameVbr || quality == Q::VorbisQuality;
    if (bitRate && !hasBitRate)
        return QStringLiteral("--bitrate does not apply to %1 (%2)")
            .arg(word, hasVbrScale ? QStringLiteral("use --vbr") : QStringLiteral("lossless"));
    if (bitRate && (*bitRate < format.minBitRate() || *bitRate > format.maxBitRate()))
        return QStringLiteral("--bitrate %1 is outside what %2 writes (%3 to %4 kbit/s)")
            .arg(*bitRate)
            .arg(word)
            .arg(format.minBitRate())
            .arg(format.maxBitRate());
    if (vbrQuality && !hasVbrScale)
        return QStringLiteral("--vbr applies to mp3 (V0 to V9) and ogg (0 to 10), not to %1")
            .arg(word);
    if (vbrQuality && bitRate)
        return QStringLiteral("--bitrate and --vbr exclude each other");
    if (vbrQuality && *vbrQuality > format.maxQuality())
        return QStringLiteral("--vbr %1 is outside the %2 scale (0 to %3)")
            .arg(*vbrQuality)
            .arg(word)
            .arg(format.maxQuality());
    if (sampleRate) {
        const double written = format.nearestSampleRate(*sampleRate);
        if (written != *sampleRate || *sampleRate < kMinSampleRate || *sampleRate > kMaxSampleRate)
            return QStringLiteral("--sample-rate %1 is not a rate %2 writes (try %3)")
                .arg(*sampleRate)
                .arg(word)
                .arg(qBound(double(kMinSampleRate), written, double(kMaxSampleRate)));
    }
    return QString();
}

QString CliOptions::usageText()
{
    return QStringLiteral(
               "Usage: wavelark-cli [options] FILE|FOLDER...\n"
               "Converts FLAC and Ogg files (with --all-audio any audio file) into MP3,\n"
               "AAC (m4a), Opus, Ogg Vorbis, FLAC, Apple Lossless (m4a) or WAV with the\n"
               "settings of Wavelark.\n"
               "Folders are searched for .flac and .ogg files (with --all-audio, other audio\n"
               "files too) at any depth.\n"
               "\n"
               "Options (each overrides the stored preference for this run only):\n") +
           formatOptionLines() +
           QStringLiteral(
               "  --bitrate N        bit rate in kbit/s: constant for mp3 and m4a, the target for\n"
               "                     opus\n"
               "  --vbr Q            variable bit rate by quality: LAME V0 (best) to V9 for mp3,\n"
               "                     0 to 10 (best) for ogg\n"
               "  --sample-rate N    sample rate in Hz (one the format's encoder writes)\n"
               "  --all-audio        also convert other audio files (WAV, AIFF, M4A, MP3, Opus,\n"
               "                     WavPack, APE, WMA...); a file already in the output format\n"
               "                     is copied, not encoded again\n"
               "  --reencode         encode such a file again instead of copying it\n"
               "  -j, --jobs N       files converted at the same time\n"
               "  -o, --output DIR   folder for the converted files (created if missing)\n"
               "  --playlist NAME    music library playlist that receives the converted files\n"
               "  --no-sync          do not add the converted files to the music library\n"
               "  --no-cover         leave out the cover art embedded in the inputs\n"
               "  --keep-folders     recreate the folders below each named FOLDER in the output "
               "folder\n"
               "  --skip-existing    do not convert a file whose output exists and is not older\n"
               "                     than it (an older output is replaced)\n"
               "  --pattern PATTERN  name the outputs from their tags, \"/\" making folders:\n"
               "                     {artist} {albumartist} {album} {title} {track} {disc}\n"
               "                     {year} {genre} {filename}, e.g.\n"
               "                     \"{albumartist}/{album}/{track} - {title}\"\n"
               "                     (\"\" for the input's name)\n"
               "  --portable-names   use names that work on every device (FAT, exFAT, NTFS,\n"
               "                     SMB); chosen by itself on such file systems\n"
               "  --id3v2.3          write ID3v2.3 tags into MP3 files (older players)\n"
               "  --cover-size N     make embedded covers at most N x N pixels, as JPEG\n"
               "                     (0: as they are)\n"
               "  -v, --verbose      write the engine's diagnostics (also WAVELARK_DEBUG=1)\n"
               "  -h, --help         show this text\n"
               "  --version          show the version\n"
               "\n"
               "Exit status: 0 every file converted or skipped as up to date, 1 a file failed,\n"
               "2 bad usage or no input accepted, 130 interrupted.\n");
}

QString CliOptions::versionText()
{
    return QStringLiteral("wavelark-cli %1 (build %2)\n")
        .arg(QLatin1String(AppInfo::kShortVersion), QLatin1String(AppInfo::kBuildNumber));
}
