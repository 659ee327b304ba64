// Probing speed: the in-process probe against one ffprobe process per file, on 1,000 small
// FLAC and Ogg files. Targets: at least 2,000 files/s in process and 100 times ffprobe's rate.
//
// The files are made once with sox and kept in a cache folder (WAVELARK_BENCH_CACHE, or
// wavelark-probe-bench under the temporary folder) for the next run.

#include "model/MVMediaInfo.h"
#include "model/MVMediaInfoItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <deque>
#include <memory>

namespace {

constexpr int kFiles = 1000;
constexpr int kFfprobeSample = 100;
constexpr int kParallelMakers = 3;
constexpr int kPasses = 3;

QString cacheFolder()
{
    const QByteArray configured = qgetenv("WAVELARK_BENCH_CACHE");
    return configured.isEmpty() ? QDir::tempPath() + QStringLiteral("/wavelark-probe-bench")
                                : QString::fromLocal8Bit(configured);
}

// Half a second of a different tone per file, every other file FLAC, the rest Ogg Vorbis.
QStringList makeFiles(const QString &folder)
{
    QDir().mkpath(folder);
    QStringList files;
    std::deque<std::unique_ptr<QProcess>> running;
    int failures = 0;
    const auto finishOldest = [&] {
        QProcess *maker = running.front().get();
        maker->waitForFinished(-1);
        if (maker->exitStatus() != QProcess::NormalExit || maker->exitCode() != 0)
            ++failures;
        running.pop_front();
    };
    int made = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = QStringLiteral("%1/tone%2.%3")
                                 .arg(folder)
                                 .arg(i, 4, 10, QLatin1Char('0'))
                                 .arg(i % 2 ? QStringLiteral("ogg") : QStringLiteral("flac"));
        files << path;
        if (QFileInfo(path).size() > 0)
            continue;
        if (running.size() >= kParallelMakers)
            finishOldest();
        auto maker = std::make_unique<QProcess>();
        maker->start(QStringLiteral("sox"),
                     {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), path, QStringLiteral("synth"),
                      QStringLiteral("0.5"), QStringLiteral("sine"), QString::number(200 + i)});
        running.push_back(std::move(maker));
        ++made;
    }
    while (!running.empty())
        finishOldest();
    if (made)
        std::printf("made %d files in %s (%d failed)\n", made, qPrintable(folder), failures);
    return failures ? QStringList() : files;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    FFMpegInit();
    const QStringList files = makeFiles(cacheFolder());
    if (files.isEmpty()) {
        std::fprintf(stderr, "could not make the test files (is sox installed?)\n");
        return 1;
    }

    // Best of a few passes over all files, one thread, as the loader probes them.
    double bestSeconds = 0;
    int probed = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        QElapsedTimer timer;
        timer.start();
        probed = 0;
        for (const QString &path : files) {
            MVMediaInfoItem item;
            item.setFilePath(path);
            if (MVMediaInfo::dumpMediaInfo(&item) && item.duration() > 0.4)
                ++probed;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (pass == 0 || seconds < bestSeconds)
            bestSeconds = seconds;
    }
    const double inProcessRate = files.size() / bestSeconds;

    // One ffprobe per file on an even sample, extrapolated.
    QElapsedTimer timer;
    timer.start();
    int sampled = 0;
    for (int k = 0; k < kFfprobeSample; ++k) {
        // Spread over the list, alternating FLAC (even index) and Ogg (odd index).
        const int i = int(k * files.size() / kFfprobeSample) + k % 2;
        QProcess ffprobe;
        ffprobe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                  QStringLiteral("-show_format"),
                                                  QStringLiteral("-show_streams"), files.at(i)});
        ffprobe.waitForFinished(-1);
        ffprobe.readAll();
        ++sampled;
    }
    const double ffprobeRate = sampled / (timer.nsecsElapsed() / 1e9);
    const double ratio = inProcessRate / ffprobeRate;

    std::printf("files: %lld (%d probed with a duration)\n", qint64(files.size()), probed);
    std::printf("in process: %.0f files/s (best of %d passes, %.3f s)\n", inProcessRate, kPasses,
                bestSeconds);
    std::printf("ffprobe:    %.1f files/s (%d files)\n", ffprobeRate, sampled);
    std::printf("ratio:      %.0fx\n", ratio);
    const bool met = inProcessRate >= 2000 && ratio >= 100;
    std::printf("target (>= 2000 files/s and >= 100x): %s\n", met ? "met" : "NOT met");
    return probed == files.size() ? 0 : 1;
}
