// The main window under a large drop: a folder of 2,000 small FLAC and Ogg files is dropped on
// the empty list. Measured: the time until every row is listed, and the longest stall of the GUI
// thread (the largest gap between two turns of its event loop, seen by a 1 ms timer) while the
// files load and while a conversion run of those rows ticks. Targets: all rows within 2 s, no
// stall over 50 ms.
//
// Runs in a private home (nothing of the user's is touched); two sample files are made with sox
// and copied 2,000 times. WAVELARK_BENCH_RUN_SECONDS sets how long the run is watched (default 8),
// WAVELARK_BENCH_WIDTH the number of conversions at once (default: the preference, 3).

#include "TestAudio.h"
#include "TestEnvironment.h"
#include "WindowBenchSupport.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MyTableView.h"
#include "mainwindow/Translations.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/MVTrustedPathViewCtl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kFiles = 2000;
constexpr qint64 kListTargetMs = 2000;
constexpr qint64 kStallTargetMs = 50;

bool makeFolder(const QString &folder)
{
    QDir().mkpath(folder);
    const QString flac = folder + QStringLiteral("/../sample.flac");
    const QString ogg = folder + QStringLiteral("/../sample.ogg");
    if (!TestAudio::makeFlac(flac, 0.5) || !TestAudio::makeOgg(ogg, 0.5))
        return false;
    for (int i = 0; i < kFiles; ++i) {
        // A few levels of subfolders, as an album collection has.
        const QString sub =
            QStringLiteral("%1/artist%2/album%3").arg(folder).arg(i / 400).arg(i / 20);
        QDir().mkpath(sub);
        const bool isOgg = i % 2 == 1;
        const QString path = QStringLiteral("%1/track%2.%3")
                                 .arg(sub)
                                 .arg(i, 4, 10, QLatin1Char('0'))
                                 .arg(isOgg ? "ogg" : "flac");
        if (!QFile::copy(isOgg ? ogg : flac, path))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    preferOffscreen();
    TestEnvironment environment;
    QApplication app(argc, argv);
    Translations::install(app);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.*.info=false"));
    const int runSeconds = environmentNumber("WAVELARK_BENCH_RUN_SECONDS", 8);

    const QString folder = TestEnvironment::home() + QStringLiteral("/drop/collection");
    if (!makeFolder(folder)) {
        std::fprintf(stderr,
                     "could not make the sample files (are sox, flac and oggenc installed?)\n");
        return 1;
    }

    if (qEnvironmentVariableIsSet("WAVELARK_BENCH_WIDTH"))
        UserDefaults::standard().setValue(PrefKeys::AppMaxConvertNum,
                                          qEnvironmentVariableIntValue("WAVELARK_BENCH_WIDTH"));
    SilentWorkspace workspace;
    Workspace::setShared(&workspace);
    MVTrustedPathViewCtl trusted;
    auto window = std::make_unique<MainWndController>();
    window->resize(900, 600);
    window->show();
    spinUntil([] { return false; }, 300); // let the window settle

    StallMeter meter;
    meter.restart();
    QElapsedTimer clock;
    clock.start();
    dropFolder(window->tableView(), folder);
    const bool listed = spinUntil([&] { return window->items().size() >= kFiles; }, 60000);
    const qint64 listedMs = clock.elapsed();
    spinUntil([&] { return window->pendingLoads() == 0; }, 60000);
    const double loadStallMs = meter.longestMs();
    if (!listed) {
        std::fprintf(stderr, "only %lld of %d rows were listed\n", qint64(window->items().size()),
                     kFiles);
        return 1;
    }

    meter.restart();
    window->startConvertDown();
    spinUntil([] { return false; }, runSeconds * 1000);
    const double runStallMs = meter.longestMs();
    int finished = 0;
    for (const LSMediaPtr &media : window->items())
        finished += media->eumCvtState() == LSMedia::CvtStateFinished ? 1 : 0;

    std::printf("rows listed:          %d in %lld ms (target %lld ms: %.2f of it)\n", kFiles,
                listedMs, kListTargetMs, double(listedMs) / kListTargetMs);
    std::printf("longest stall, load:  %.1f ms (target %lld ms: %.2f of it)\n", loadStallMs,
                kStallTargetMs, loadStallMs / kStallTargetMs);
    std::printf(
        "longest stall, run:   %.1f ms over %d s, %d rows converted (target %lld ms: %.2f of it)\n",
        runStallMs, runSeconds, finished, kStallTargetMs, runStallMs / kStallTargetMs);
    const bool met =
        listedMs <= kListTargetMs && loadStallMs <= kStallTargetMs && runStallMs <= kStallTargetMs;
    std::printf("targets: %s\n", met ? "met" : "NOT met");

    window.reset(); // cancels the rest of the run
    Workspace::setShared(nullptr);
    return 0;
}
