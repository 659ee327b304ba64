// wavelark-cli: converts FLAC and Ogg files (any audio with --all-audio) like the window does, with
// the same engine and the same preferences, from the command line.

#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/QuitWatchdog.h"
#include "cli/CliOptions.h"
#include "cli/ConversionRun.h"
#include "cli/InterruptWatcher.h"
#include "cli/ProgressDisplay.h"
#include "model/ConversionSettings.h"
#include "model/MVMediaInfo.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitBadUsage = 2;

ProgressDisplay *g_display = nullptr;

// Messages of the engine go above the live block instead of through it.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString text = qFormatLogMessage(type, context, message);
    if (g_display)
        g_display->printMessage(text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

int refuse(const QString &why)
{
    std::fprintf(stderr, "wavelark-cli: %s\nTry 'wavelark-cli --help'.\n", qPrintable(why));
    return kExitBadUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The engine's tracing (every chunk of encoder output) is for --verbose only.
    Logging::configure(Logging::LogLines::Quiet, false);
    qSetMessagePattern(QStringLiteral("wavelark-cli: %{message}"));
    qInstallMessageHandler(messageHandler);

    const CliOptions options = CliOptions::parse(app.arguments().mid(1));
    if (options.verbose)
        Logging::configure(Logging::LogLines::Quiet, true);
    switch (options.action) {
    case CliOptions::Action::ShowHelp:
        std::fputs(qPrintable(CliOptions::usageText()), stdout);
        return 0;
    case CliOptions::Action::ShowVersion:
        std::fputs(qPrintable(CliOptions::versionText()), stdout);
        return 0;
    case CliOptions::Action::BadUsage:
        return refuse(options.error);
    case CliOptions::Action::Convert:
        break;
    }

    UserDefaults &store = UserDefaults::standard();
    PreferenceDefaults::registerDefaults(store);
    // The run's settings: the stored preferences with the options over them, read once.
    ConversionSettings settings = ConversionSettings::read(store);
    options.applyTo(settings);
    const QString qualityProblem = options.qualityProblem(settings.format());
    if (!qualityProblem.isEmpty())
        return refuse(qualityProblem);

    const QString outputFolder = settings.audioOutputFolder;
    // A folder named with -o is made; the stored one may be on a disk that is not connected.
    const QFileInfo outputInfo(outputFolder);
    if (!options.outputFolder && outputInfo.exists() && !outputInfo.isDir()) {
        std::fprintf(stderr,
                     "wavelark-cli: the output folder %s is %s, not a folder; choose another "
                     "with -o or in the preferences\n",
                     qPrintable(outputFolder), outputInfo.isFile() ? "a file" : "a special file");
        return kExitBadUsage;
    }
    if (!options.outputFolder && !outputInfo.isDir()) {
        std::fprintf(stderr,
                     "wavelark-cli: the output folder %s is missing; connect its disk, or choose "
                     "another with -o or in the preferences\n",
                     qPrintable(outputFolder));
        return kExitBadUsage;
    }
    if (!GlobalFun::MakeSureFolderExsist(outputFolder))
        return refuse(QStringLiteral("cannot create the output folder %1").arg(outputFolder));

    FFMpegInit();
    // The registered defaults give the width when nothing is stored.
    const qint64 jobs =
        options.jobs ? *options.jobs : store.integerForKey(PrefKeys::AppMaxConvertNum);
    const int width = int(qBound(qint64(1), jobs, qint64(256)));

    ProgressDisplay display(stdout, stderr, ProgressDisplay::isTerminal(stdout));
    g_display = &display;
    InterruptWatcher interrupts;
    ConversionRun run(&display, width, settings);
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &run, &ConversionRun::interrupt);
    QObject::connect(&interrupts, &InterruptWatcher::stopRequested, &run, &ConversionRun::pause);
    QObject::connect(&interrupts, &InterruptWatcher::continued, &run, &ConversionRun::resume);
    // A reader that went away (`| head -1`) stops the run like a signal would have.
    display.setClosedHandler([&run] {
        QMetaObject::invokeMethod(
            &run, [&run] { run.interrupt(SIGPIPE); }, Qt::QueuedConnection);
    });
    QObject::connect(&run, &ConversionRun::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    run.start(options.inputs);
    const int status = app.exec();
    // The run has ended; joining its workers must not hold the exit up for good.
    QuitWatchdog::arm(status);
    display.setClosedHandler(nullptr);
    g_display = nullptr;
    return status;
}
