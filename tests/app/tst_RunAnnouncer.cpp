// What the desktop is told at the end of a window run, read from a notification service on a
// private session bus: the run's own tally, with the real encoder.
#include "NotificationService.h"
#include "RecordingWorkspace.h"
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "WidgetTestMain.h"

#include "app/RunAnnouncer.h"
#include "engine/OperationQueue.h"
#include "mainwindow/BottomBar.h"
#include "mainwindow/MainWndController.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int kRunTimeoutMs = 240000;
}

class TestRunAnnouncer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void notificationCountsWhatTheRunDid();

private:
    QString sample(const QString &name, const QString &copy) const;
    void runAndWait(MainWndController &window);

    QProcess m_bus;
    QTemporaryDir m_files;
    RecordingWorkspace m_workspace;
    NotificationService m_receiver;
};

void TestRunAnnouncer::initTestCase()
{
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address")});
    QVERIFY(m_bus.waitForReadyRead(20000));
    const QByteArray address = m_bus.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QDBusConnection service =
        QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("receiver"));
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_receiver,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

    QVERIFY(TestAudio::makeFlac(m_files.filePath(QStringLiteral("short.flac")), 3.0));
    QVERIFY(TestAudio::makeFlac(m_files.filePath(QStringLiteral("long.flac")), 600.0));
    // Cut short: it still converts, to a shorter output, with a warning.
    QVERIFY(TestAudio::makeFlac(m_files.filePath(QStringLiteral("cut.flac")), 40.0));
    QFile cut(m_files.filePath(QStringLiteral("cut.flac")));
    QVERIFY(cut.resize(cut.size() / 6));
    QFile broken(m_files.filePath(QStringLiteral("broken.flac")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();

    Workspace::setShared(&m_workspace);
    QLoggingCategory::setFilterRules(QStringLiteral("wavelark.engine.info=false"));
    UserDefaults &store = UserDefaults::standard();
    const QString output = TestEnvironment::home() + QStringLiteral("/converted");
    QVERIFY(QDir().mkpath(output));
    store.setValue(PrefKeys::AppAudioOutputFolder, output);
    store.setValue(PrefKeys::AppBSyncToiTunes, false);
    store.setValue(PrefKeys::AppSkipConverted, true);
}

void TestRunAnnouncer::cleanupTestCase()
{
    Workspace::setShared(nullptr);
    m_bus.kill();
    m_bus.waitForFinished(5000);
}

QString TestRunAnnouncer::sample(const QString &name, const QString &copy) const
{
    const QString path = m_files.filePath(copy);
    QFile::copy(m_files.filePath(name), path);
    return path;
}

void TestRunAnnouncer::runAndWait(MainWndController &window)
{
    QSignalSpy finished(&window, &MainWndController::runFinished);
    window.startConvertDown();
    QVERIFY(finished.wait(kRunTimeoutMs));
}

// One row of each kind: converted, failed, converted with a warning, stopped while paused,
// stopped before it started, and up to date. The window (never shown, so never the active one)
// and the notification read the same tally.
void TestRunAnnouncer::notificationCountsWhatTheRunDid()
{
    MainWndController window;
    RunAnnouncer announcer(window);
    window.queue()->setMaxConcurrentOperationCount(1);
    const auto load = [&window](const QStringList &paths) {
        window.loadMediasWithPaths(paths, qint64(window.items().size()));
        QTRY_COMPARE_WITH_TIMEOUT(window.pendingLoads(), 0, 60000);
    };

    load({sample(QStringLiteral("short.flac"), QStringLiteral("kept.flac"))});
    runAndWait(window);
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver.bodies.size(), 1, 20000);
    QCOMPARE(m_receiver.summaries.last(), QStringLiteral("Conversion finished"));
    QCOMPARE(m_receiver.bodies.last(), QStringLiteral("1 file converted."));

    load({sample(QStringLiteral("short.flac"), QStringLiteral("new.flac")),
          m_files.filePath(QStringLiteral("broken.flac")),
          m_files.filePath(QStringLiteral("cut.flac")),
          sample(QStringLiteral("long.flac"), QStringLiteral("held.flac")),
          sample(QStringLiteral("long.flac"), QStringLiteral("waiting.flac"))});
    QCOMPARE(int(window.items().size()), 6);
    QSignalSpy finished(&window, &MainWndController::runFinished);
    window.startConvertDown();
    const LSMediaPtr held = window.items().at(4);
    QTRY_COMPARE_WITH_TIMEOUT(held->eumCvtState(), qint32(LSMedia::CvtStateConverting),
                              kRunTimeoutMs);
    window.pauseAction()->trigger();
    window.stopConvertDown();
    QVERIFY(finished.wait(kRunTimeoutMs));
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver.bodies.size(), 2, 20000);
    QCOMPARE(m_receiver.summaries.last(), QStringLiteral("Conversion stopped"));
    QCOMPARE(m_receiver.bodies.last(),
             QStringLiteral("2 files converted, 1 failed, 2 stopped, 1 up to date "
                            "(1 with a warning)."));
    const QString runLine = window.bottomBar()->runStatus()->text();
    QVERIFY2(runLine.startsWith(QStringLiteral("2 converted, 1 up to date, 1 failed, 2 stopped")) &&
                 runLine.endsWith(QStringLiteral("(1 with a warning)")),
             qPrintable(runLine));

    // A run that finds everything up to date says so.
    window.clearDown();
    load({m_files.filePath(QStringLiteral("kept.flac"))});
    runAndWait(window);
    QTRY_COMPARE_WITH_TIMEOUT(m_receiver.bodies.size(), 3, 20000);
    QCOMPARE(m_receiver.summaries.last(), QStringLiteral("Conversion finished"));
    QCOMPARE(m_receiver.bodies.last(),
             QStringLiteral("Nothing converted: the file is up to date."));
}

WAVELARK_WIDGET_TEST_MAIN(TestRunAnnouncer)
#include "tst_RunAnnouncer.moc"
