#include "TestEnvironment.h"
#include "net/http/WebCache.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

// The request layer's disk cache stays bounded however many new pictures a window fetches.
class TestWebCache : public QObject
{
    Q_OBJECT

    static QString folder()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
               QStringLiteral("/morvane/wavelark/WebCache");
    }

    static qint64 bytesOnDisk()
    {
        qint64 total = 0;
        for (const QFileInfo &entry : QDir(folder()).entryInfoList(QDir::Files | QDir::Hidden))
            total += entry.size();
        return total;
    }

    static void writeEntry(const QString &name, qint64 bytes, const QDateTime &modified)
    {
        QFile file(folder() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'p'));
        QVERIFY(file.flush()); // a later write would give it the time of now again
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }

private slots:
    // Entries a day old are never read again: they go when the cache is first used.
    void expiredEntriesGo()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeEntry(QStringLiteral("old"), 1000, QDateTime::currentDateTime().addDays(-2));
        writeEntry(QStringLiteral("recent"), 1000, QDateTime::currentDateTime().addSecs(-60));
        QCOMPARE(WebCache::shared().size(), qint64(1000));
        QVERIFY(!QFile::exists(folder() + QStringLiteral("/old")));
        QVERIFY(WebCache::shared().dataForKey(QStringLiteral("recent"), 3600).has_value());
    }

    // Fresh addresses at every opening: the oldest entries make room, the newest stay readable.
    void sizeStaysWithinTheLimit()
    {
        WebCache &cache = WebCache::shared();
        QCOMPARE(cache.maximumSize(), WebCache::kMaxBytes);
        constexpr qint64 limit = 1024 * 1024;
        cache.setMaximumSize(limit);
        const QByteArray picture(60 * 1024, 'j');
        for (int i = 0; i < 100; ++i) {
            QVERIFY(cache.storeData(QStringLiteral("thumb-%1").arg(i), picture));
            QVERIFY(cache.size() <= limit);
        }
        QVERIFY(bytesOnDisk() <= limit);
        QCOMPARE(bytesOnDisk(), cache.size());
        QVERIFY(cache.size() > limit / 2);
        const auto newest = cache.dataForKey(QStringLiteral("thumb-99"), 3600);
        QVERIFY(newest.has_value());
        QCOMPARE(newest->data, picture);
        QVERIFY(!cache.dataForKey(QStringLiteral("thumb-0"), 3600).has_value());

        // One entry larger than a sixteenth of the room is not kept at all.
        QVERIFY(!cache.storeData(QStringLiteral("huge"), QByteArray(limit / 8, 'h')));
        QVERIFY(!QFile::exists(folder() + QStringLiteral("/huge")));

        // Storing a key again counts it once.
        const qint64 before = cache.size();
        QVERIFY(cache.storeData(QStringLiteral("thumb-99"), picture));
        QCOMPARE(cache.size(), before);
    }
};

WAVELARK_TEST_MAIN(TestWebCache)
#include "tst_WebCache.moc"
