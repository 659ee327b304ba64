#include "NotificationService.h"
#include "TestEnvironment.h"
#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QtTest>

class TestDesktopNotifier : public QObject
{
    Q_OBJECT

private:
    QProcess m_bus;

private slots:
    void initTestCase()
    {
        m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(m_bus.waitForReadyRead(20000));
        const QByteArray address = m_bus.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished(5000);
    }

    void withoutAServiceNothingIsSentAndNothingFails()
    {
        QVERIFY(!DesktopNotifier::notify("Wavelark", "nobody listens"));
    }

    void theServiceReceivesTheRunSummary()
    {
        QDBusConnection service = QDBusConnection::connectToBus(
            QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")), "notification-service");
        QVERIFY(service.isConnected());
        NotificationService notifications;
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &notifications,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.Notifications"));

        RunTally::Counts counts;
        counts.converted = 3;
        counts.failed = 1;
        QVERIFY(
            DesktopNotifier::notify("Conversion finished", DesktopNotifier::runSummary(counts)));
        QTRY_COMPARE_WITH_TIMEOUT(notifications.summaries.size(), 1, 20000);
        QCOMPARE(notifications.summaries.first(), QString("Conversion finished"));
        QCOMPARE(notifications.bodies.first(), QString("3 files converted, 1 failed."));
    }

    // Plain runs keep their short text; the rest is named only when there is some.
    void runSummaries()
    {
        const auto summary = [](int converted, int failed, int stopped = 0, int upToDate = 0,
                                int warned = 0) {
            RunTally::Counts counts;
            counts.converted = converted;
            counts.failed = failed;
            counts.stopped = stopped;
            counts.upToDate = upToDate;
            counts.warned = warned;
            return DesktopNotifier::runSummary(counts);
        };
        QCOMPARE(summary(1, 0), QString("1 file converted."));
        QCOMPARE(summary(0, 2), QString("0 files converted, 2 failed."));
        QCOMPARE(summary(0, 0, 3), QString("0 files converted, 3 stopped."));
        QCOMPARE(summary(2, 0, 0, 1, 1),
                 QString("2 files converted, 1 up to date (1 with a warning)."));
        QCOMPARE(summary(0, 0, 0, 1), QString("Nothing converted: the file is up to date."));
        QCOMPARE(summary(0, 0, 0, 4), QString("Nothing converted: all 4 files are up to date."));
    }
};

WAVELARK_TEST_MAIN(TestDesktopNotifier)
#include "tst_DesktopNotifier.moc"
