// A library mirror run again: wavelark-cli --skip-existing --keep-folders over a library of
// 10,000 FLAC files whose MP3 outputs all exist and are up to date, so nothing is converted.
// Measured: the wall time of the whole run, against the least any re-run that skips existing
// outputs must do, measured here in the same process: walk the input tree and look at each input
// and output pair (two stats). Target: under 5 s.
//
// Everything runs in a private temporary home that is removed at the end. One 1.5 s FLAC file and
// its MP3 are made once (sox, flac, the ffmpeg beside the program) and linked under every name;
// the outputs' times are set after the inputs', as a finished conversion leaves them. A first
// run adopts these outputs into the conversion record; the second is measured.
// WAVELARK_BENCH_FILES changes the number of files.

#include "TestAudio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kDefaultFiles = 10000;
constexpr int kFilesPerAlbum = 12;
constexpr int kAlbumsPerArtist = 10;
constexpr double kTargetSeconds = 5.0;

bool link(const QByteArray &from, const QString &to)
{
    return ::link(from.constData(), QFile::encodeName(to).constData()) == 0;
}

// The library and its converted mirror; false when a tool failed.
bool makeLibrary(const QString &root, const QString &input, const QString &output, int files,
                 bool keepFolders)
{
    const QString flac = root + QStringLiteral("/sample.flac");
    const QString mp3 = root + QStringLiteral("/sample.mp3");
    if (!TestAudio::makeFlac(flac, 1.5))
        return false;
    const QString ffmpeg = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
    if (TestAudio::run(ffmpeg, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                                flac, mp3}) != 0)
        return false;
    // The mirror is newer than the library.
    const struct timespec later[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    const struct timespec earlier[2] = {{1500000000, 0}, {1500000000, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(flac).constData(), earlier, 0);
    ::utimensat(AT_FDCWD, QFile::encodeName(mp3).constData(), later, 0);
    const QByteArray flacName = QFile::encodeName(flac);
    const QByteArray mp3Name = QFile::encodeName(mp3);
    for (int i = 0; i < files; ++i) {
        const int album = i / kFilesPerAlbum;
        const QString relative = QStringLiteral("artist%1/album%2")
                                     .arg(album / kAlbumsPerArtist, 3, 10, QLatin1Char('0'))
                                     .arg(album, 4, 10, QLatin1Char('0'));
        const QString name = QStringLiteral("track%1").arg(i, 5, 10, QLatin1Char('0'));
        const QString inFolder = input + QLatin1Char('/') + relative;
        const QString outFolder = keepFolders ? output + QLatin1Char('/') + relative : output;
        if (i % kFilesPerAlbum == 0 && (!QDir().mkpath(inFolder) || !QDir().mkpath(outFolder)))
            return false;
        if (!link(flacName, inFolder + QLatin1Char('/') + name + QStringLiteral(".flac")) ||
            !link(mp3Name, outFolder + QLatin1Char('/') + name + QStringLiteral(".mp3")))
            return false;
    }
    return true;
}

// The floor: every input found by a walk of the tree, and it and its output looked at.
int walkAndStat(const QByteArray &folder, const QByteArray &outFolder, bool keepFolders,
                int *upToDate)
{
    DIR *entries = ::opendir(folder.constData());
    if (!entries)
        return 0;
    int found = 0;
    while (const struct dirent *entry = ::readdir(entries)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat in;
        if (::stat(path.constData(), &in) != 0)
            continue;
        if (S_ISDIR(in.st_mode)) {
            found += walkAndStat(path, keepFolders ? outFolder + '/' + name : outFolder,
                                 keepFolders, upToDate);
            continue;
        }
        if (!name.endsWith(".flac"))
            continue;
        ++found;
        const QByteArray output = outFolder + '/' + name.chopped(5) + ".mp3";
        struct stat out;
        if (::stat(output.constData(), &out) == 0 && out.st_mtim.tv_sec >= in.st_mtim.tv_sec)
            ++*upToDate;
    }
    ::closedir(entries);
    return found;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int files = qEnvironmentVariableIsSet("WAVELARK_BENCH_FILES")
                          ? qEnvironmentVariableIntValue("WAVELARK_BENCH_FILES")
                          : kDefaultFiles;
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/wavelark-mirror-bench-XXXXXX"));
    if (!root.isValid())
        return 1;
    const QString home = root.path() + QStringLiteral("/home");
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("WAVELARK_TEST_HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    qputenv("WAVELARK_NO_STORE_PROMPTS", "1");

    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/wavelark-cli");
    QProcess help;
    help.start(cli, {QStringLiteral("--help")});
    help.waitForFinished(60000);
    const bool keepFolders = help.readAllStandardOutput().contains("--keep-folders");

    const QString input = root.path() + QStringLiteral("/Library");
    const QString output = root.path() + QStringLiteral("/Mirror");
    QElapsedTimer making;
    making.start();
    if (!makeLibrary(root.path(), input, output, files, keepFolders)) {
        std::fprintf(stderr, "could not make the library (are sox and flac installed?)\n");
        return 1;
    }
    std::printf("library of %d files and its mirror made in %.1f s%s\n", files,
                making.elapsed() / 1000.0, keepFolders ? "" : " (flat: no --keep-folders yet)");

    QElapsedTimer clock;
    clock.start();
    int upToDate = 0;
    const int walked =
        walkAndStat(QFile::encodeName(input), QFile::encodeName(output), keepFolders, &upToDate);
    const double floorSeconds = clock.nsecsElapsed() / 1e9;

    QStringList arguments{QStringLiteral("--skip-existing"), QStringLiteral("-o"), output, input};
    if (keepFolders)
        arguments.prepend(QStringLiteral("--keep-folders"));
    // The mirror was made by hand, so the first run adopts each output (probing its duration and
    // entering it in the conversion record), as the first run after an upgrade would; the re-run
    // measured is the one after it, over a mirror the record knows.
    QProcess adopting;
    adopting.setStandardInputFile(QProcess::nullDevice());
    clock.start();
    adopting.start(cli, arguments);
    adopting.waitForFinished(600000);
    std::printf("first run, adopting %d outputs: %.2f s\n", files, clock.nsecsElapsed() / 1e9);

    QProcess run;
    run.setStandardInputFile(QProcess::nullDevice());
    clock.start();
    run.start(cli, arguments);
    const bool ended = run.waitForFinished(600000);
    const double runSeconds = clock.nsecsElapsed() / 1e9;
    const QByteArray out = run.readAllStandardOutput();
    const int skipped = int(out.count("Up to date."));
    if (!ended || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0 ||
        skipped != files || walked != files || upToDate != files) {
        std::fprintf(stderr,
                     "the re-run did not skip every file (status %d, %d skipped):\n%s\n%s\n",
                     run.exitCode(), skipped, out.right(400).constData(),
                     run.readAllStandardError().right(400).constData());
        return 1;
    }

    std::printf("re-run, all %d up to date: %.2f s (target %.1f s: %.2f of it)\n", files,
                runSeconds, kTargetSeconds, runSeconds / kTargetSeconds);
    std::printf("walk and stat floor:      %.3f s (the re-run takes %.1f times as long)\n",
                floorSeconds, runSeconds / floorSeconds);
    std::printf("target: %s\n", runSeconds <= kTargetSeconds ? "met" : "NOT met");
    return 0;
}
