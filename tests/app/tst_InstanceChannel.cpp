#include "TestEnvironment.h"
#include "app/InstanceChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtTest>

class TestInstanceChannel : public QObject
{
    Q_OBJECT

private slots:
    void aLaterStartHandsItsPathsToTheFirst()
    {
        const QString socket = TestEnvironment::home() + "/first.socket";
        InstanceChannel first;
        QVERIFY(!first.handOverToRunningInstance({}, socket));
        QVERIFY(first.isListening());
        QSignalSpy received(&first, &InstanceChannel::pathsReceived);

        InstanceChannel second;
        QDir::setCurrent(TestEnvironment::home());
        QVERIFY(second.handOverToRunningInstance({"b.flac", "/music/a b/ç.ogg"}, socket));
        QVERIFY(!second.isListening());
        QVERIFY(received.wait(10000));
        QCOMPARE(received.first().first().toStringList(),
                 QStringList({TestEnvironment::home() + "/b.flac", "/music/a b/ç.ogg"}));
    }

    void aSocketLeftByAnEndedInstanceIsTakenOver()
    {
        const QString socket = TestEnvironment::home() + "/stale.socket";
        {
            QFile leftover(socket);
            QVERIFY(leftover.open(QIODevice::WriteOnly));
        }
        InstanceChannel channel;
        QVERIFY(!channel.handOverToRunningInstance({"x.flac"}, socket));
        QVERIFY(channel.isListening());
    }

    void garbageOnTheSocketIsIgnored()
    {
        const QString socket = TestEnvironment::home() + "/garbage.socket";
        InstanceChannel first;
        QVERIFY(!first.handOverToRunningInstance({}, socket));
        QSignalSpy received(&first, &InstanceChannel::pathsReceived);

        QLocalSocket intruder;
        intruder.connectToServer(socket);
        QVERIFY(intruder.waitForConnected(5000));
        intruder.write(QByteArray(64, '\xff'));
        QVERIFY(intruder.waitForBytesWritten(5000));
        intruder.disconnectFromServer();

        InstanceChannel later;
        QVERIFY(later.handOverToRunningInstance({"/c.flac"}, socket));
        QVERIFY(received.wait(10000));
        QCOMPARE(received.last().first().toStringList(), QStringList{"/c.flac"});
        QCOMPARE(received.size(), 1);
    }
};

WAVELARK_TEST_MAIN(TestInstanceChannel)
#include "tst_InstanceChannel.moc"
