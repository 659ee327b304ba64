// Each output format beyond MP3 and AAC through wavelark-cli against the plainest parallel run of
// the same encoder commands: the same corpus of generated FLAC files of a song's length
// converted by `wavelark-cli --jobs 2 --format F` and by `xargs -P 2` running the very argument
// lists the converter builds, in alternating order, in the same run. The converter's side
// includes everything it does around the encoder: probing, the hidden temporary and its rename,
// writing the tags with TagLib, the check of the output's length, the progress reporting. Prints
// the wall-time ratio per format (target <= 1.03).
//
// Usage: formats_bench [rounds]. Everything runs in a private temporary home; the generated
// files are kept in WAVELARK_BENCH_CACHE (or wavelark-formats-bench under the temporary folder).

#include "engine/EncoderCommandLine.h"
#include "model/ConversionSettings.h"
#include "model/LSMedia.h"
#include "model/MediaItemBuilder.h"
#include "model/OutputFormat.h"
#include "model/UserDefaults.h"

#include "ProcessMeasure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

using namespace ProcessMeasure;

constexpr int kFiles = 8;
constexpr int kSeconds = 200;
constexpr int kDefaultRounds = 1;
constexpr int kJobs = 2;

QString cacheFolder()
{
    const QByteArray configured = qgetenv("WAVELARK_BENCH_CACHE");
    return configured.isEmpty() ? QDir::tempPath() + QStringLiteral("/wavelark-formats-bench")
                                : QString::fromLocal8Bit(configured);
}

// Tagged FLAC files of music-like noise over a tone, different per file.
QStringList makeInputs(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        const QString path =
            QStringLiteral("%1/song%2.flac").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
        files << path;
        if (QFileInfo(path).size() > 0)
            continue;
        const QString wav = path + QStringLiteral(".wav");
        const bool made =
            runQuiet(QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                      QStringLiteral("16"), wav, QStringLiteral("synth"), QString::number(kSeconds),
                      QStringLiteral("pinknoise"), QStringLiteral("sine"),
                      QString::number(220 + 30 * i), QStringLiteral("vol"),
                      QStringLiteral("0.5")}) &&
            runQuiet(QStringLiteral("flac"),
                     {QStringLiteral("--silent"), QStringLiteral("--force"),
                      QStringLiteral("--tag=TITLE=Song %1").arg(i),
                      QStringLiteral("--tag=ARTIST=Bench"), QStringLiteral("-o"), path, wav});
        QFile::remove(wav);
        if (!made)
            return {};
    }
    return files;
}

// The argument lists the converter builds for these files in `format` with the default
// preferences.
QList<QStringList> encoderCommands(const QStringList &inputs, const QString &cli,
                                   const OutputFormat &format, const QString &outputFolder)
{
    ConversionSettings settings = ConversionSettings::current();
    settings.formatName = format.catalogueTitle();
    QList<QStringList> commands;
    for (const QString &input : inputs) {
        const LSMediaPtr item = MediaItemBuilder::makeMedia(input, settings);
        const QString output = outputFolder + QLatin1Char('/') + item->strOutFileName() +
                               QLatin1Char('.') + item->strOutFileExt();
        commands << EncoderCommandLine::arguments(*item, EncoderCommandLine::encoderPath(cli),
                                                  output, settings.keepCover);
    }
    return commands;
}

struct Round
{
    bool ok = false;
    double ratio = 0.0;
};

Round compare(const QString &word, const QStringList &inputs, const QString &inputFolder,
              const QString &cli, const QString &work, int round)
{
    const OutputFormat &format = *OutputFormat::withCommandLineWord(word);
    const QString cliOut = work + QStringLiteral("/cli-%1-%2").arg(word).arg(round);
    const QString xargsOut = work + QStringLiteral("/xargs-%1-%2").arg(word).arg(round);
    QDir().mkpath(cliOut);
    QDir().mkpath(xargsOut);
    const QList<QStringList> commands = encoderCommands(inputs, cli, format, xargsOut);
    const QString argumentFile = work + QStringLiteral("/args-%1").arg(word);
    if (!writeArgumentFile(argumentFile, commands))
        return {};
    const QStringList cliRun{cli,
                             QStringLiteral("--jobs"),
                             QString::number(kJobs),
                             QStringLiteral("--no-sync"),
                             QStringLiteral("--format"),
                             word,
                             QStringLiteral("--output"),
                             cliOut,
                             inputFolder};
    const QStringList xargsRun{
        QStringLiteral("xargs"), QStringLiteral("-0"),
        QStringLiteral("-a"),    argumentFile,
        QStringLiteral("-n"),    QString::number(commands.first().size() - 1),
        QStringLiteral("-P"),    QString::number(kJobs),
        commands.first().first()};
    // Alternate which one goes first, so neither always meets a warmer machine.
    Measure viaCli;
    Measure viaXargs;
    if (round % 2) {
        viaCli = runMeasured(cliRun);
        viaXargs = runMeasured(xargsRun);
    } else {
        viaXargs = runMeasured(xargsRun);
        viaCli = runMeasured(cliRun);
    }
    const auto count = [](const QString &folder) {
        return int(QDir(folder).entryList(QDir::Files).size());
    };
    Round result;
    result.ok = viaCli.ok && viaXargs.ok && count(cliOut) == kFiles && count(xargsOut) == kFiles;
    result.ratio = viaCli.wall / viaXargs.wall;
    std::printf("%-5s round %d: wavelark-cli %.2f s, xargs %.2f s, ratio %.3f%s\n",
                qPrintable(word), round, viaCli.wall, viaXargs.wall, result.ratio,
                result.ok ? "" : " (a run failed)");
    std::fflush(stdout);
    QDir(cliOut).removeRecursively();
    QDir(xargsOut).removeRecursively();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/wavelark-formats-bench-XXXXXX"));
    const QString home = root.path() + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/.config"));
    // The converter runs with the default preferences, never the user's.
    qputenv("HOME", QFile::encodeName(home));
    qputenv("WAVELARK_TEST_HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));

    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : kDefaultRounds;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/wavelark-cli");
    if (!QFileInfo(cli).isExecutable()) {
        std::fprintf(stderr, "formats_bench: %s is missing\n", qPrintable(cli));
        return 1;
    }
    std::printf("making %d files of %d s...\n", kFiles, kSeconds);
    std::fflush(stdout);
    const QString inputFolder = cacheFolder();
    const QStringList inputs = makeInputs(inputFolder);
    if (inputs.size() != kFiles) {
        std::fprintf(stderr, "formats_bench: could not make the input files (sox, flac)\n");
        return 1;
    }
    std::printf("--jobs %d against xargs -P %d, %d round(s) per format\n", kJobs, kJobs, rounds);
    bool allOk = true;
    QStringList summary;
    for (const QString &word :
         {QStringLiteral("opus"), QStringLiteral("ogg"), QStringLiteral("flac"),
          QStringLiteral("alac"), QStringLiteral("wav")}) {
        std::vector<double> ratios;
        for (int round = 1; round <= rounds; ++round) {
            const Round result = compare(word, inputs, inputFolder, cli, root.path(), round);
            allOk = allOk && result.ok;
            ratios.push_back(result.ratio);
        }
        const double ratio = median(ratios);
        summary << QStringLiteral("%1 %2 (%3)")
                       .arg(word)
                       .arg(ratio, 0, 'f', 3)
                       .arg(ratio <= 1.03 ? QStringLiteral("met") : QStringLiteral("missed"));
    }
    std::printf("median wall-time ratio per format (target <= 1.03): %s\n",
                qPrintable(summary.join(QStringLiteral(", "))));
    return allOk ? 0 : 1;
}
