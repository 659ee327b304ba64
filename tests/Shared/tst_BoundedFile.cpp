#include "Shared/BoundedFile.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// What the files Wavelark keeps for itself may be replaced with: only a regular file within the
// bound is read, and nothing else blocks or fills the memory.
class TestBoundedFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString path(const char *name) const { return m_folder.filePath(QLatin1String(name)); }

private slots:
    void regularFilesWithinTheBoundAreRead()
    {
        QFile file(path("small"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0123456789");
        file.close();
        QVERIFY(QFile::link(path("small"), path("link to small")));

        for (const char *name : {"small", "link to small"}) {
            const BoundedFile::Result read = BoundedFile::read(path(name), 10);
            QVERIFY2(read.isRead(), qPrintable(read.reason));
            QCOMPARE(read.bytes, QByteArray("0123456789"));
            QVERIFY(BoundedFile::check(path(name), 10).isRead());
        }
        const BoundedFile::Result tooLarge = BoundedFile::read(path("small"), 9);
        QCOMPARE(tooLarge.status, BoundedFile::Status::TooLarge);
        QVERIFY(tooLarge.bytes.isEmpty());
        QVERIFY(tooLarge.isRefused());

        QFile empty(path("empty"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY(BoundedFile::read(path("empty"), 10).isRead());
    }

    void missingFilesAreNotRefusals()
    {
        const BoundedFile::Result missing = BoundedFile::read(path("nothing here"), 10);
        QCOMPARE(missing.status, BoundedFile::Status::Missing);
        QVERIFY(!missing.isRefused());
        QVERIFY(QFile::link(path("gone"), path("dangling")));
        QCOMPARE(BoundedFile::read(path("dangling"), 10).status, BoundedFile::Status::Missing);
    }

    // A FIFO nobody writes would block a plain open for ever; /dev/zero never ends; a folder
    // and a socket cannot be read as files at all.
    void otherKindsAreRefusedAtOnce()
    {
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path("zero")));
        QVERIFY(QDir().mkdir(path("folder")));
        QLocalServer server;
        server.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(server.listen(path("socket")));

        for (const char *name : {"fifo", "zero", "folder", "socket"}) {
            const BoundedFile::Result read = BoundedFile::read(path(name), 1024);
            QVERIFY2(read.status == BoundedFile::Status::NotRegular, name);
            QVERIFY(read.bytes.isEmpty());
            QCOMPARE(read.reason, QStringLiteral("not a regular file"));
            QCOMPARE(BoundedFile::check(path(name), 1024).status, BoundedFile::Status::NotRegular);
        }
    }

    // A sparse file of 100 MB: refused by its size, without reading a byte of it.
    void hugeFilesAreRefusedBeforeReading()
    {
        QFile file(path("huge"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(100LL * 1024 * 1024));
        file.close();
        const BoundedFile::Result read = BoundedFile::read(path("huge"), 4 * 1024 * 1024);
        QCOMPARE(read.status, BoundedFile::Status::TooLarge);
        QVERIFY(read.reason.contains(QStringLiteral("4194304")));
    }
};

WAVELARK_TEST_MAIN(TestBoundedFile)
#include "tst_BoundedFile.moc"
