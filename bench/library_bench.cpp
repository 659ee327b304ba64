// The main window under a whole music library: a folder of 100,000 tiny FLAC files is dropped
// on the empty list. Measured: the time until every row is listed, the longest stall of the GUI
// thread (the largest gap between two turns of its event loop, seen by a 1 ms timer) while the
// files load and while a conversion run over those rows ticks, the peak resident memory, and the
// resident memory the listed rows hold, per row. Targets: all rows within 10 s, no stall over
// 50 ms, under 1 KiB per row.
//
// Runs in a private home (the files in /dev/shm when it is there), removed at exit. One 1.5 s FLAC
// file is made with sox and flac and linked under 100,000 names in 100 album folders (probing reads
// only the headers, so the copies cost what distinct files would). WAVELARK_BENCH_FILES changes the
// number of files, WAVELARK_BENCH_RUN_SECONDS how long the run is watched (default 8).

#include "TestAudio.h"
#include "TestEnvironment.h"
#include "WindowBenchSupport.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MyTableView.h"
#include "mainwindow/Translations.h"
#include "preferences/MVTrustedPathViewCtl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kDefaultFiles = 100000;
constexpr int kFilesPerFolder = 1000;
constexpr qint64 kListTargetMs = 10000;
constexpr qint64 kStallTargetMs = 50;
constexpr double kBytesPerRowTarget = 1024.0;

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool makeLibrary(const QString &folder, int files)
{
    const QString sample = folder + QStringLiteral("/../sample.flac");
    QDir().mkpath(folder);
    if (!TestAudio::makeFlac(sample, 1.5))
        return false;
    const QByteArray source = QFile::encodeName(sample);
    for (int i = 0; i < files; ++i) {
        const QString album = QStringLiteral("%1/artist%2/album%3")
                                  .arg(folder)
                                  .arg(i / (kFilesPerFolder * 10))
                                  .arg(i / kFilesPerFolder);
        if (i % kFilesPerFolder == 0)
            QDir().mkpath(album);
        const QString path =
            QStringLiteral("%1/track%2.flac").arg(album).arg(i, 6, 10, QLatin1Char('0'));
        if (::link(source.constData(), QFile::encodeName(path).constData()) != 0 &&
            !QFile::copy(sample, path))
            return false;
    }
    return true;
}

// User and system time of every thread of the process so far.
double cpuSeconds()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

} // namespace

int main(int argc, char *argv[])
{
    preferOffscreen();
    TestEnvironment environment;
    QApplication app(argc, argv);
    Translations::install(app);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.*.info=false"));
    const int files = environmentNumber("WAVELARK_BENCH_FILES", kDefaultFiles);
    const int runSeconds = environmentNumber("WAVELARK_BENCH_RUN_SECONDS", 8);

    // In memory where there is a tmpfs: a hundred thousand names are made in seconds there.
    QTemporaryDir shm(QStringLiteral("/dev/shm/wavelark-library-bench-XXXXXX"));
    const QString base = shm.isValid() ? shm.path() : TestEnvironment::home();
    const QString folder = base + QStringLiteral("/Library/flac");
    QElapsedTimer making;
    making.start();
    if (!makeLibrary(folder, files)) {
        std::fprintf(stderr, "could not make the sample files (are sox and flac installed?)\n");
        return 1;
    }
    std::printf("library of %d files made in %.1f s\n", files, making.elapsed() / 1000.0);

    SilentWorkspace workspace;
    Workspace::setShared(&workspace);
    MVTrustedPathViewCtl trusted;
    auto window = std::make_unique<MainWndController>();
    window->resize(900, 600);
    window->show();
    StallMeter meter; // its timer also wakes the loops below
    meter.restart();
    spinUntil([] { return false; }, 300); // let the window settle
    ::malloc_trim(0);
    const qint64 rssBeforeKiB = statusKiB("VmRSS");
    const size_t heapBefore = ::mallinfo2().uordblks;

    meter.restart();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    dropFolder(window->tableView(), folder);
    const bool listed = spinUntil([&] { return window->items().size() >= files; }, 120000);
    const qint64 listedMs = clock.elapsed();
    spinUntil([&] { return window->pendingLoads() == 0; }, 60000);
    const double loadStallMs = meter.longestMs();
    const double listingCpu = cpuSeconds() - cpuBefore;
    if (!listed) {
        std::fprintf(stderr, "only %lld of %d rows were listed\n", qint64(window->items().size()),
                     files);
        return 1;
    }
    ::malloc_trim(0);
    const qint64 rssListedKiB = statusKiB("VmRSS");
    const double bytesPerRow = (rssListedKiB - rssBeforeKiB) * 1024.0 / files;
    const double heapPerRow = (double(::mallinfo2().uordblks) - double(heapBefore)) / files;

    QElapsedTimer starting;
    starting.start();
    window->startConvertDown();
    const double startMs = starting.nsecsElapsed() / 1e6;
    meter.restart();
    spinUntil([] { return false; }, runSeconds * 1000);
    const double runStallMs = qMax(startMs, meter.longestMs());
    const double tickStallMs = meter.longestMs();
    int finished = 0;
    for (const LSMediaPtr &media : window->items())
        finished += media->eumCvtState() == LSMedia::CvtStateFinished ? 1 : 0;
    const qint64 peakKiB = statusKiB("VmHWM");

    std::printf("rows listed:          %d in %lld ms (target %lld ms: %.2f of it)\n", files,
                listedMs, kListTargetMs, double(listedMs) / kListTargetMs);
    std::printf("listing CPU time:     %.1f s, %.0f us per file (all threads; the wall time "
                "above also depends on what else runs)\n",
                listingCpu, listingCpu * 1e6 / files);
    std::printf("longest stall, load:  %.1f ms (target %lld ms: %.2f of it)\n", loadStallMs,
                kStallTargetMs, loadStallMs / kStallTargetMs);
    std::printf("longest stall, run:   %.1f ms over %d s, %d rows converted (target %lld ms: %.2f "
                "of it; the start %.1f ms, the ticks %.1f ms)\n",
                runStallMs, runSeconds, finished, kStallTargetMs, runStallMs / kStallTargetMs,
                startMs, tickStallMs);
    std::printf("memory per row:       %.0f bytes (target %.0f: %.2f of it)\n", bytesPerRow,
                kBytesPerRowTarget, bytesPerRow / kBytesPerRowTarget);
    std::printf("heap in use per row:  %.0f bytes (allocated, without what lies free between)\n",
                heapPerRow);
    std::printf("peak resident memory: %.1f MiB (%.1f MiB before the drop)\n", peakKiB / 1024.0,
                rssBeforeKiB / 1024.0);
    std::printf("targets: list %s, stalls %s, memory %s\n", verdict(listedMs <= kListTargetMs),
                verdict(loadStallMs <= kStallTargetMs && runStallMs <= kStallTargetMs),
                verdict(bytesPerRow <= kBytesPerRowTarget));

    window.reset(); // cancels the rest of the run
    Workspace::setShared(nullptr);
    return 0;
}
