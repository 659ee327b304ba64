// wavelark-cli against the plainest parallel run of the same encoder commands: 24 generated files
// of 60 s (half FLAC, half Ogg) converted by `wavelark-cli --jobs 2` and by `xargs -P 2` running
// the very argument lists the converter builds, in alternating order, several rounds. The
// converter's run includes everything it does around the encoder: writing into a hidden
// temporary, the no-replace rename to the final name, the check of the output's length and the
// progress reporting. Prints the ratio of wall times (target <= 1.03) and the converter's own CPU
// time against everything it and its encoders used (target < 1%).
//
// Usage: cli_bench [rounds]. Everything runs in a private temporary home; the generated files
// are kept in WAVELARK_BENCH_CACHE (or wavelark-cli-bench under the temporary folder).

#include "engine/EncoderCommandLine.h"
#include "model/FormatUtils.h"
#include "model/LSMedia.h"
#include "model/MVMediaInfo.h"
#include "model/PrefKeys.h"

#include "ProcessMeasure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ProcessMeasure;

constexpr int kFiles = 24;
constexpr int kSeconds = 60;
constexpr int kDefaultRounds = 3;
constexpr int kJobs = 2;

QString cacheFolder()
{
    const QByteArray configured = qgetenv("WAVELARK_BENCH_CACHE");
    return configured.isEmpty() ? QDir::tempPath() + QStringLiteral("/wavelark-cli-bench")
                                : QString::fromLocal8Bit(configured);
}

// A different tone per file, every other file Ogg Vorbis.
QStringList makeInputs(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < kFiles; ++i) {
        const bool ogg = i % 2;
        const QString path = QStringLiteral("%1/track%2.%3")
                                 .arg(folder)
                                 .arg(i, 2, 10, QLatin1Char('0'))
                                 .arg(ogg ? QStringLiteral("ogg") : QStringLiteral("flac"));
        files << path;
        if (QFileInfo(path).size() > 0)
            continue;
        const QString wav = path + QStringLiteral(".wav");
        const bool made =
            runQuiet(QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                      QStringLiteral("16"), wav, QStringLiteral("synth"), QString::number(kSeconds),
                      QStringLiteral("sine"), QString::number(220 + 20 * i)}) &&
            (ogg ? runQuiet(QStringLiteral("oggenc"),
                            {QStringLiteral("--quiet"), QStringLiteral("-o"), path, wav})
                 : runQuiet(QStringLiteral("flac"),
                            {QStringLiteral("--silent"), QStringLiteral("--force"),
                             QStringLiteral("-o"), path, wav}));
        QFile::remove(wav);
        if (!made)
            return {};
    }
    return files;
}

// The argument lists the converter builds for these files with the default preferences.
QList<QStringList> encoderCommands(const QStringList &inputs, const QString &cli,
                                   const QString &outputFolder)
{
    QList<QStringList> commands;
    for (const QString &input : inputs) {
        LSMedia item;
        item.setFilePath(input);
        item.setStrOutFileName(QFileInfo(input).completeBaseName());
        MVMediaInfo::dumpMediaInfo(&item);
        item.setDTrimLength(item.duration());
        FormatUtils::sharedInstance()->fillMedia(&item, FormatNames::Mp3Audio);
        item.setDAOSamplerate(44100.0);
        item.setDAOBitrate(320.0);
        const QString output = outputFolder + QLatin1Char('/') + item.strOutFileName() +
                               QLatin1Char('.') + item.strOutFileExt();
        commands << EncoderCommandLine::arguments(item, EncoderCommandLine::encoderPath(cli),
                                                  output);
    }
    return commands;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/wavelark-cli-bench-XXXXXX"));
    const QString home = root.path() + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/.config"));
    // The converter runs with the default preferences, never the user's.
    qputenv("HOME", QFile::encodeName(home));
    qputenv("WAVELARK_TEST_HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));

    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : kDefaultRounds;
    const int cores = kJobs;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/wavelark-cli");
    if (!QFileInfo(cli).isExecutable()) {
        std::fprintf(stderr, "cli_bench: %s is missing\n", qPrintable(cli));
        return 1;
    }

    std::printf("making %d files of %d s...\n", kFiles, kSeconds);
    std::fflush(stdout);
    const QString inputFolder = cacheFolder();
    const QStringList inputs = makeInputs(inputFolder);
    if (inputs.size() != kFiles) {
        std::fprintf(stderr, "cli_bench: could not make the input files (sox, flac, oggenc)\n");
        return 1;
    }
    const QStringList sample = encoderCommands(inputs.mid(0, 1), cli, {}).first();
    const QString encoder = sample.first();
    const int argumentsPerCommand = int(sample.size()) - 1;

    std::printf("--jobs %d against xargs -P %d (%d cores), %d rounds\n", cores, cores,
                QThread::idealThreadCount(), rounds);
    std::vector<double> ratios;
    std::vector<double> ownShares;
    for (int round = 1; round <= rounds; ++round) {
        const QString cliOut = root.path() + QStringLiteral("/cli%1").arg(round);
        const QString xargsOut = root.path() + QStringLiteral("/xargs%1").arg(round);
        QDir().mkpath(cliOut);
        QDir().mkpath(xargsOut);
        const QString argumentFile = root.path() + QStringLiteral("/args%1").arg(round);
        if (!writeArgumentFile(argumentFile, encoderCommands(inputs, cli, xargsOut)))
            return 1;

        const QStringList cliRun{cli,
                                 QStringLiteral("--jobs"),
                                 QString::number(cores),
                                 QStringLiteral("--no-sync"),
                                 QStringLiteral("--format"),
                                 QStringLiteral("mp3"),
                                 QStringLiteral("--output"),
                                 cliOut,
                                 inputFolder};
        const QStringList xargsRun{QStringLiteral("xargs"),
                                   QStringLiteral("-0"),
                                   QStringLiteral("-a"),
                                   argumentFile,
                                   QStringLiteral("-n"),
                                   QString::number(argumentsPerCommand),
                                   QStringLiteral("-P"),
                                   QString::number(cores),
                                   encoder};
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
        const int cliFiles = int(QDir(cliOut).entryList(QDir::Files).size());
        const int leftovers =
            int(QDir(cliOut).entryList(QDir::Files | QDir::Hidden).size()) - cliFiles;
        if (leftovers != 0) {
            std::fprintf(stderr, "cli_bench: round %d left %d temporaries\n", round, leftovers);
            return 1;
        }
        const int xargsFiles = int(QDir(xargsOut).entryList(QDir::Files).size());
        if (!viaCli.ok || !viaXargs.ok || cliFiles != kFiles || xargsFiles != kFiles) {
            std::fprintf(stderr, "cli_bench: round %d failed (cli %d files, xargs %d files)\n",
                         round, cliFiles, xargsFiles);
            return 1;
        }
        const double ratio = viaCli.wall / viaXargs.wall;
        const double ownShare = 100.0 * viaCli.selfCpu / viaCli.totalCpu;
        ratios.push_back(ratio);
        ownShares.push_back(ownShare);
        std::printf("round %d: wavelark-cli %.2f s (CPU %.2f s), xargs %.2f s (CPU %.2f s), "
                    "ratio %.3f; converter's own CPU %.3f s (%.2f%%)\n",
                    round, viaCli.wall, viaCli.totalCpu, viaXargs.wall, viaXargs.totalCpu, ratio,
                    viaCli.selfCpu, ownShare);
        std::fflush(stdout);
        QDir(cliOut).removeRecursively();
        QDir(xargsOut).removeRecursively();
    }
    const double ratio = median(ratios);
    const double ownShare = median(ownShares);
    std::printf("median wall-time ratio %.3f (target <= 1.03): %s\n", ratio,
                ratio <= 1.03 ? "met" : "missed");
    std::printf("median own CPU share %.2f%% (target < 1%%): %s\n", ownShare,
                ownShare < 1.0 ? "met" : "missed");
    return 0;
}
