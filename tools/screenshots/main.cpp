// Renders the main window in named scenes into PNG files, for the documentation. Each scene sets
// up a list with generated audio, drives the real window and encoder to the moment worth showing,
// and grabs the window. Run it through scripts/screenshots.sh.
//
// Usage: wavelark_screenshots <output folder> [scene...]; without scenes, every scene.
// To add a shot, write a function that leaves the window in the state to show, and list it in
// kScenes.

#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/OperationQueue.h"
#include "mainwindow/BottomBar.h"
#include "mainwindow/MainWndController.h"
#include "mainwindow/MediaListModel.h"
#include "mainwindow/Translations.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/CustomSettingViewCtl.h"
#include "preferences/OutputNamingRows.h"
#include "preferences/PrefsWindowController.h"
#include "preferences/TrustedPathsPane.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QToolTip>

#include <cstdio>
#include <functional>

namespace {

constexpr int kWaitMs = 300000;
// An album track's length; the run's time left then matches what the encoder really does here.
constexpr double kTrackSeconds = 270.0;

struct Scene
{
    const char *name;
    const char *description;
    // Leaves `window` ready to be grabbed; may paint extra layers onto the grab.
    std::function<bool(MainWndController &window, const QString &media)> prepare;
    std::function<void(MainWndController &window, QPixmap &shot)> decorate;
};

bool waitFor(const std::function<bool()> &condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > kWaitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

bool load(MainWndController &window, const QStringList &files)
{
    window.loadMediasWithPaths(files, 0);
    return waitFor([&] { return window.pendingLoads() == 0 && !window.items().isEmpty(); });
}

QStringList makeTracks(const QString &folder, const QStringList &titles, double seconds)
{
    QStringList files;
    for (const QString &title : titles) {
        const QString path = folder + QLatin1Char('/') + title + QStringLiteral(".flac");
        if (TestAudio::makeFlac(path, seconds))
            files << path;
    }
    return files;
}

bool runInProgress(MainWndController &window, const QString &media)
{
    window.queue()->setMaxConcurrentOperationCount(2);
    const QStringList files =
        makeTracks(media,
                   {QStringLiteral("01 Harbour Lights"), QStringLiteral("02 Slow Tide"),
                    QStringLiteral("03 Lantern Road"), QStringLiteral("04 Paper Boats"),
                    QStringLiteral("05 North Window"), QStringLiteral("06 Quiet Hours"),
                    QStringLiteral("07 Salt and Cedar")},
                   kTrackSeconds);
    if (files.size() != 7 || !load(window, files))
        return false;
    window.startConvertDown();
    // Two rows done, two converting well under way, the time left known.
    return waitFor([&] {
        const QList<LSMediaPtr> &items = window.items();
        const auto converting = [&](int row, float least) {
            return items.at(row)->eumCvtState() == LSMedia::CvtStateConverting &&
                   items.at(row)->dProgress() > least;
        };
        return items.at(1)->eumCvtState() == LSMedia::CvtStateFinished && converting(2, 45.0f) &&
               converting(3, 15.0f) &&
               window.bottomBar()->runStatus()->text().startsWith(QStringLiteral("2 of 7 files")) &&
               window.bottomBar()->runStatus()->text().contains(QStringLiteral("left"));
    });
}

bool failedRow(MainWndController &window, const QString &media)
{
    QStringList files = makeTracks(
        media, {QStringLiteral("01 Harbour Lights"), QStringLiteral("03 Lantern Road")}, 30.0);
    const QString broken = media + QStringLiteral("/02 Rehearsal Take.flac");
    QFile file(broken);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray(64 * 1024, 'r'));
    file.close();
    files.insert(1, broken);
    if (!load(window, files))
        return false;
    window.startConvertDown();
    if (!waitFor([&] { return !window.isConverting(); }))
        return false;
    window.tableView()->selectRow(1);
    return true;
}

// The failed row's tooltip, laid over the grab where it appears.
void showFailedTooltip(MainWndController &window, QPixmap &shot)
{
    const QModelIndex cell = window.listModel()->index(1, MediaListModel::ProgressColumn);
    const QRect rect = window.tableView()->visualRect(cell);
    // Below the last row, ending under the cell, as if the pointer rested there.
    const QRect last = window.tableView()->visualRect(
        window.listModel()->index(window.listModel()->rowCount() - 1, 0));
    const QPoint at =
        window.tableView()->viewport()->mapToGlobal(QPoint(rect.right() - 560, last.bottom() + 6));
    QToolTip::showText(at, cell.data(Qt::ToolTipRole).toString(), window.tableView());
    QApplication::processEvents();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->inherits("QTipLabel") || !widget->isVisible())
            continue;
        QPainter painter(&shot);
        painter.drawPixmap(window.mapFromGlobal(widget->pos()), widget->grab());
    }
    QToolTip::hideText();
}

// A dropped album sorted by name in natural order, two rows set to M4A from the context menu.
bool sortedList(MainWndController &window, const QString &media)
{
    const QStringList names{QStringLiteral("10 Encore"),   QStringLiteral("2 Slow Tide"),
                            QStringLiteral("bonus Demo"),  QStringLiteral("1 Harbour Lights"),
                            QStringLiteral("Album Intro"), QStringLiteral("3 Lantern Road")};
    QStringList files;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = media + QLatin1Char('/') + names.at(i) + QStringLiteral(".flac");
        if (TestAudio::makeFlac(path, 20.0 + 7.0 * double(i)))
            files << path;
    }
    if (files.size() != names.size() || !load(window, files))
        return false;
    window.tableView()->sortByColumn(MediaListModel::TitleColumn, Qt::AscendingOrder);
    QItemSelectionModel *selection = window.tableView()->selectionModel();
    for (int row : {2, 3})
        selection->select(window.listModel()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.setOutputFormatOfSelection(QStringLiteral("AAC Audio (m4a)"));
    return true;
}

bool nothingToPrepare(MainWndController &, const QString &)
{
    return true;
}

// One album track with its tags, listed first: the file name pattern's example names it.
bool taggedTrack(MainWndController &window, const QString &media)
{
    const QString path = media + QStringLiteral("/07 salt_and_cedar.flac");
    const TestAudio::Tags tags{{QStringLiteral("ARTIST"), QStringLiteral("Harbour Lights")},
                               {QStringLiteral("ALBUM"), QStringLiteral("North Window: Live")},
                               {QStringLiteral("TITLE"), QStringLiteral("Salt and Cedar")},
                               {QStringLiteral("TRACKNUMBER"), QStringLiteral("7/11")},
                               {QStringLiteral("DATE"), QStringLiteral("2024")}};
    return TestAudio::makeFlac(path, 30.0, tags) && load(window, {path});
}

// The preferences window on its settings pane, with the help popover of `help` (-1: none)
// painted where it opens; the grab replaces the main window's. `adjust` sets the pane up first.
void grabSettings(QPixmap &shot, int help,
                  const std::function<void(CustomSettingViewCtl &)> &adjust = {})
{
    CustomSettingViewCtl settings;
    TrustedPathsPane trusted;
    PrefsWindowController controller({&settings, &trusted});
    // As a user would see them, not the scratch folders of the scenes.
    settings.chkSynciTunes()->setChecked(true);
    settings.lblOutputPath()->setText(
        QStringLiteral("/home/ada/Music/com.morvane.wavelark/Audio Converted"));
    settings.lblOutputPath()->setCursorPosition(0);
    if (adjust)
        adjust(settings);
    QWidget *window = controller.window();
    window->move(0, 0);
    window->show();
    waitFor([&] { return window->isVisible(); });
    QApplication::processEvents();
    shot = window->grab();
    if (help < 0)
        return;
    settings.helpButton(help)->click();
    QApplication::processEvents();
    QFrame *popover = settings.popover();
    // The popover may reach past the window: the picture grows to hold both.
    const QPoint at = window->mapFromGlobal(popover->pos());
    const QRect both = shot.rect().united(QRect(at, popover->size()));
    QPixmap canvas(both.size());
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawPixmap(-both.topLeft(), shot);
    painter.drawPixmap(at - both.topLeft(), popover->grab());
    painter.end();
    shot = canvas;
    popover->close();
}

const Scene kScenes[] = {
    {"run-in-progress", "a run under way: rows, overall bar, files done and time left",
     runInProgress, nullptr},
    {"failed-row", "a failed row with its reason", failedRow, showFailedTooltip},
    {"sorted-list", "a list sorted by name, with each row's output format", sortedList, nullptr},
    {"settings-pane", "the preferences window on the conversion settings", nothingToPrepare,
     [](MainWndController &, QPixmap &shot) { grabSettings(shot, -1); }},
    {"help-popover", "the help of the format row opened over the settings", nothingToPrepare,
     [](MainWndController &, QPixmap &shot) { grabSettings(shot, 0); }},
    {"name-pattern", "the file name pattern with its example from the first row, for a USB stick",
     taggedTrack,
     [](MainWndController &window, QPixmap &shot) {
         grabSettings(shot, -1, [&window](CustomSettingViewCtl &settings) {
             settings.setExampleItem([&window] { return window.items().value(0); });
             QComboBox *pattern = settings.namingRows()->cmbPattern();
             pattern->setCurrentIndex(1);
             pattern->setEditText(pattern->itemData(1).toString());
             settings.namingRows()->chkPortableNames()->setChecked(true);
             settings.namingRows()->chkId3v23()->setChecked(true);
             settings.namingRows()->cmbCoverSize()->setCurrentIndex(2);
         });
     }},
    {"settings-vbr", "MP3 at LAME's variable bit rate V2, with what that means", nothingToPrepare,
     [](MainWndController &, QPixmap &shot) {
         grabSettings(shot, -1, [](CustomSettingViewCtl &settings) {
             settings.pBtnFmts()->setCurrentIndex(0);
             settings.cmbQuality()->setCurrentIndex(settings.cmbQuality()->findData(2));
         });
     }},
    {"quality-help", "the help of the quality row: same quality and the modes", nothingToPrepare,
     [](MainWndController &, QPixmap &shot) { grabSettings(shot, 4); }},
};

bool shoot(const Scene &scene, const QString &folder)
{
    QTemporaryDir media;
    UserDefaults::standard().setValue(PrefKeys::AppAudioOutputFolder,
                                      media.path() + QStringLiteral("/converted"));
    QDir().mkpath(media.path() + QStringLiteral("/converted"));
    MainWndController window;
    window.setQuitHandler([] {});
    window.resize(760, 420);
    window.tableView()->horizontalHeader()->resizeSection(MediaListModel::ProgressColumn, 170);
    window.show();
    if (!scene.prepare(window, media.path())) {
        std::fprintf(stderr, "wavelark_screenshots: scene %s did not come about\n", scene.name);
        return false;
    }
    window.tableView()->viewport()->update();
    QApplication::processEvents();
    QPixmap shot = window.grab();
    if (scene.decorate)
        scene.decorate(window, shot);
    const QString path =
        folder + QLatin1Char('/') + QLatin1String(scene.name) + QStringLiteral(".png");
    if (!shot.save(path)) {
        std::fprintf(stderr, "wavelark_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s: %s\n", qPrintable(path), scene.description);
    window.stopConvertDown();
    waitFor([&] { return !window.isConverting(); });
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnvironment environment;
    QApplication app(argc, argv);
    Translations::install(app);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.*.info=false"));
    UserDefaults::standard().setValue(PrefKeys::AppBSyncToiTunes, false);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: wavelark_screenshots <output folder> [scene...]\n");
        for (const Scene &scene : kScenes)
            std::fprintf(stderr, "  %-18s %s\n", scene.name, scene.description);
        return 2;
    }
    const QString folder = arguments.first();
    QDir().mkpath(folder);
    const QStringList wanted = arguments.mid(1);
    bool ok = true;
    for (const Scene &scene : kScenes) {
        if (wanted.isEmpty() || wanted.contains(QLatin1String(scene.name)))
            ok = shoot(scene, folder) && ok;
    }
    return ok ? 0 : 1;
}
