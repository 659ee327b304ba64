#include "OtherUser.h"
#include "TestEnvironment.h"
#include "app/InstanceChannel.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The first instance, serving its socket from a thread of its own as another process would,
// while a later start blocks this one.
class RunningInstance
{
public:
    explicit RunningInstance(const QString &socket)
    {
        m_thread.start();
        m_channel = new InstanceChannel;
        m_channel->moveToThread(&m_thread);
        QObject::connect(m_channel, &InstanceChannel::pathsReceived, m_channel,
                         [this](const QStringList &paths) {
                             QMutexLocker locker(&m_lock);
                             m_received.append(paths);
                         });
        call([this, socket] { m_listening = !m_channel->handOverToRunningInstance({}, socket); });
    }
    ~RunningInstance()
    {
        call([this] { delete m_channel; });
        m_thread.quit();
        m_thread.wait();
    }

    bool isListening() const { return m_listening; }
    // Holds the instance's thread (as if it hung) until `resume` is released.
    void hang(QSemaphore &resume)
    {
        QMetaObject::invokeMethod(m_channel, [&resume] { resume.acquire(); });
    }
    QList<QStringList> received()
    {
        QMutexLocker locker(&m_lock);
        return m_received;
    }
    int openConnections()
    {
        int count = -1;
        call([this, &count] { count = m_channel->openConnectionCount(); });
        return count;
    }

private:
    void call(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(m_channel, work, Qt::BlockingQueuedConnection);
    }

    QThread m_thread;
    InstanceChannel *m_channel = nullptr;
    bool m_listening = false;
    QMutex m_lock;
    QList<QStringList> m_received;
};

// A connection that sends a frame header and `bytes` of the message, then waits.
std::unique_ptr<QLocalSocket> partialSender(const QString &socket, qint64 declared, int bytes)
{
    auto sender = std::make_unique<QLocalSocket>();
    sender->connectToServer(socket);
    if (!sender->waitForConnected(5000))
        return nullptr;
    QDataStream(sender.get()) << declared;
    sender->write(QByteArray(bytes, 'x'));
    sender->waitForBytesWritten(5000);
    return sender;
}

} // namespace

class TestInstanceChannel : public QObject
{
    Q_OBJECT

private slots:
    // Without a runtime folder (XDG_RUNTIME_DIR unset) and with "runtime-<user>" of the temporary
    // folder made first by another local user, the socket never goes to a name someone else can
    // take: there is none, and the start runs on its own. A folder of ours with a wider mode is
    // refused too; a missing one is made with mode 0700 and used.
    void socketOnlyInAFolderOfThisUserAlone()
    {
        OtherUser other(QStringLiteral("wltest-runtime"));
        if (!other.isMade())
            QSKIP(qPrintable(other.skipReason()));
        QTemporaryDir shared;
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray tmpBefore = qgetenv("TMPDIR");
        auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", runtimeBefore);
            if (tmpBefore.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", tmpBefore);
        });
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(shared.path()));
        const QString ours = shared.path() + QStringLiteral("/runtime-") +
                             QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);

        QCOMPARE(other.runShell(QStringLiteral("mkdir -m 0700 \"$1\""), {ours}), 0);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(ours + " is not a folder of this user with mode 0700"));
        QCOMPARE(InstanceChannel::defaultSocketPath(), QString());
        InstanceChannel alone;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no private runtime folder"));
        QVERIFY(!alone.handOverToRunningInstance({QStringLiteral("/x.flac")}, QString()));
        QVERIFY(!alone.isListening());
        QCOMPARE(QDir(shared.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({QFileInfo(ours).fileName()}));

        QVERIFY(QDir(ours).removeRecursively());
        const QString made = InstanceChannel::defaultSocketPath();
        QCOMPARE(made, ours + QStringLiteral("/com.morvane.wavelark.socket"));
        struct stat info = {};
        QVERIFY(::lstat(QFile::encodeName(ours).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 07777), 0700);
        QCOMPARE(info.st_uid, ::getuid());
        InstanceChannel first;
        QVERIFY(!first.handOverToRunningInstance({}, made));
        QVERIFY(first.isListening());

        QVERIFY(::chmod(QFile::encodeName(ours).constData(), 0755) == 0);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(ours + " is not a folder of this user with mode 0700"));
        QCOMPARE(InstanceChannel::defaultSocketPath(), QString());
        // A runtime folder others may enter is not taken either.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(ours));
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(ours + " is not a folder of this user with mode 0700"));
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(ours + " is not a folder of this user with mode 0700"));
        QCOMPARE(InstanceChannel::defaultSocketPath(), QString());
    }

    void aLaterStartHandsItsPathsToTheFirst()
    {
        const QString socket = TestEnvironment::home() + "/first.socket";
        RunningInstance first(socket);
        QVERIFY(first.isListening());

        InstanceChannel second;
        QDir::setCurrent(TestEnvironment::home());
        QVERIFY(second.handOverToRunningInstance({"b.flac", "/music/a b/ç.ogg"}, socket));
        QVERIFY(!second.isListening());
        // Answered only after the receivers ran.
        QCOMPARE(first.received(), QList<QStringList>{QStringList(
                                       {TestEnvironment::home() + "/b.flac", "/music/a b/ç.ogg"})});

        // A start without paths is answered too (the window comes to the front).
        InstanceChannel third;
        QVERIFY(third.handOverToRunningInstance({}, socket));
        QCOMPARE(first.received().size(), 2);
        QVERIFY(first.received().last().isEmpty());
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

    // An instance that accepts connections but never answers (stuck at quit) must not swallow
    // every later start.
    void aHungInstanceIsTakenOver()
    {
        const QString socket = TestEnvironment::home() + "/hung.socket";
        QLocalServer hung; // never served while the later start waits
        QVERIFY(hung.listen(socket));

        InstanceChannel later;
        QVERIFY(!later.handOverToRunningInstance({"/x.flac"}, socket));
        QVERIFY(later.isListening());

        // The socket's path now leads to the new owner.
        QLocalSocket next;
        next.connectToServer(socket);
        QVERIFY(next.waitForConnected(5000));
        QTRY_COMPARE(later.openConnectionCount(), 1);
    }

    // Paths of a later start that gave up waiting (and started on its own) are not taken when
    // the hung instance comes back.
    void aMessageWhoseSenderGaveUpIsDropped()
    {
        const QString socket = TestEnvironment::home() + "/resumed.socket";
        RunningInstance first(socket);
        QSemaphore resume;
        first.hang(resume);

        QLocalSocket gaveUp;
        gaveUp.connectToServer(socket);
        QVERIFY(gaveUp.waitForConnected(5000));
        QByteArray message;
        QDataStream body(&message, QIODevice::WriteOnly);
        body << QStringList{"/gave-up.flac"};
        QDataStream framed(&gaveUp);
        framed << qint64(message.size());
        gaveUp.write(message);
        QVERIFY(gaveUp.waitForBytesWritten(5000));
        gaveUp.abort();
        resume.release();

        QTRY_COMPARE(first.openConnections(), 0);
        QVERIFY(first.received().isEmpty());
        InstanceChannel later;
        QVERIFY(later.handOverToRunningInstance({"/e.flac"}, socket));
        QCOMPARE(first.received(), QList<QStringList>{QStringList{"/e.flac"}});
    }

    void garbageOnTheSocketIsIgnored()
    {
        const QString socket = TestEnvironment::home() + "/garbage.socket";
        RunningInstance first(socket);

        QLocalSocket intruder;
        intruder.connectToServer(socket);
        QVERIFY(intruder.waitForConnected(5000));
        intruder.write(QByteArray(64, '\xff'));
        QVERIFY(intruder.waitForBytesWritten(5000));
        intruder.disconnectFromServer();

        InstanceChannel later;
        QVERIFY(later.handOverToRunningInstance({"/c.flac"}, socket));
        QCOMPARE(first.received(), QList<QStringList>{QStringList{"/c.flac"}});
    }

    // Oversized, stalled and too many partial messages are dropped, and what they held goes.
    void partialMessagesAreBounded()
    {
        const QString socket = TestEnvironment::home() + "/bounded.socket";
        RunningInstance first(socket);

        const std::unique_ptr<QLocalSocket> oversized =
            partialSender(socket, 64LL * 1024 * 1024, 4096);
        QVERIFY(oversized);
        QVERIFY(oversized->state() == QLocalSocket::UnconnectedState ||
                oversized->waitForDisconnected(30000));

        std::vector<std::unique_ptr<QLocalSocket>> stalled;
        for (int i = 0; i < InstanceChannel::kMaxOpenConnections + 4; ++i) {
            stalled.push_back(partialSender(socket, 1024 * 1024, 1000));
            QVERIFY(stalled.back());
        }
        QTRY_VERIFY(first.openConnections() > 0);
        QVERIFY(first.openConnections() <= InstanceChannel::kMaxOpenConnections);
        // Nothing more arrives: every one of them is dropped after the message time-out.
        for (const auto &sender : stalled) {
            QVERIFY(sender->state() == QLocalSocket::UnconnectedState ||
                    sender->waitForDisconnected(60000));
        }
        QTRY_COMPARE(first.openConnections(), 0);
        QVERIFY(first.received().isEmpty());

        // And the channel still serves a proper start.
        InstanceChannel later;
        QVERIFY(later.handOverToRunningInstance({"/d.flac"}, socket));
        QCOMPARE(first.received(), QList<QStringList>{QStringList{"/d.flac"}});
    }
};

WAVELARK_TEST_MAIN(TestInstanceChannel)
#include "tst_InstanceChannel.moc"
