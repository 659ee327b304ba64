// Many refused paths handed to a running window, as a later start hands over its command line:
// N paths that name no file, then 2N. Measured: the time until the window has listed every
// refusal in its problem bar, and the longest stall of the GUI thread meanwhile. Target: linear
// growth (the 2N time at most about twice the N time, a ratio near 1.0 below) and no stall over
// 50 ms, however many paths come.
//
// WAVELARK_BENCH_PATHS sets N (default 50,000). The log lines are on, as in a real window.

#include "TestEnvironment.h"
#include "WindowBenchSupport.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/ProblemBar.h"
#include "mainwindow/Translations.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr double kStallTargetMs = 50;

struct Measure
{
    qint64 ms = 0;
    double longestStallMs = 0;
    bool complete = false;
};

QStringList missingPaths(int count, int series)
{
    QStringList paths;
    paths.reserve(count);
    const QString folder = TestEnvironment::home() + QStringLiteral("/gone");
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("%1/series%2-song%3.flac").arg(folder).arg(series).arg(i);
    return paths;
}

Measure handOver(MainWndController &window, const QStringList &paths)
{
    window.problemBar()->dismiss();
    int refused = 0;
    const QMetaObject::Connection counting = QObject::connect(
        &window, &MainWndController::inputsRefused,
        [&refused](const QList<InputRefusal> &batch) { refused += int(batch.size()); });
    StallMeter meter;
    meter.restart();
    QElapsedTimer clock;
    clock.start();
    window.importPaths(paths);
    Measure measure;
    measure.complete =
        spinUntil([&] { return refused >= paths.size() && window.pendingLoads() == 0; }, 600000);
    measure.ms = clock.elapsed();
    measure.longestStallMs = meter.longestMs();
    QObject::disconnect(counting);
    return measure;
}

} // namespace

int main(int argc, char *argv[])
{
    preferOffscreen();
    TestEnvironment environment;
    QApplication app(argc, argv);
    Translations::install(app);
    const int count = environmentNumber("WAVELARK_BENCH_PATHS", 50000);

    SilentWorkspace workspace;
    Workspace::setShared(&workspace);
    auto window = std::make_unique<MainWndController>();
    window->resize(900, 600);
    window->show();
    spinUntil([] { return false; }, 300);

    const Measure single = handOver(*window, missingPaths(count, 1));
    const Measure twice = handOver(*window, missingPaths(2 * count, 2));
    if (!single.complete || !twice.complete) {
        std::fprintf(stderr, "the window did not list every refusal within ten minutes\n");
        return 1;
    }
    const double growth = double(twice.ms) / qMax<qint64>(1, 2 * single.ms);
    std::printf("%7d refused paths: %lld ms, longest stall %.1f ms\n", count, single.ms,
                single.longestStallMs);
    std::printf("%7d refused paths: %lld ms, longest stall %.1f ms\n", 2 * count, twice.ms,
                twice.longestStallMs);
    std::printf("growth (2N time / twice the N time): %.2f (target: at most about 1.2)\n", growth);
    const double stall = qMax(single.longestStallMs, twice.longestStallMs);
    std::printf("longest stall: %.1f ms (target %.0f ms: %.2f of it)\n", stall, kStallTargetMs,
                stall / kStallTargetMs);
    std::printf("targets: %s\n", growth <= 1.2 && stall <= kStallTargetMs ? "met" : "NOT met");
    window.reset();
    Workspace::setShared(nullptr);
    return 0;
}
