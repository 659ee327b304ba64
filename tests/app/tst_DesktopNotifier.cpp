#include "TestEnvironment.h"
#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QtTest>

// Stands in for the desktop's notification service on a private session bus.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;
    QStringList bodies;

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &icon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout)
    {
        summaries.append(summary);
        bodies.append(body);
        return uint(summaries.size());
    }
};

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

        QVERIFY(DesktopNotifier::notify("Conversion finished", DesktopNotifier::runSummary(3, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(notifications.summaries.size(), 1, 20000);
        QCOMPARE(notifications.summaries.first(), QString("Conversion finished"));
        QCOMPARE(notifications.bodies.first(), QString("3 files converted, 1 failed."));
    }

    void runSummaries()
    {
        QCOMPARE(DesktopNotifier::runSummary(1, 0), QString("1 file converted."));
        QCOMPARE(DesktopNotifier::runSummary(0, 2), QString("0 files converted, 2 failed."));
    }
};

WAVELARK_TEST_MAIN(TestDesktopNotifier)
#include "tst_DesktopNotifier.moc"
