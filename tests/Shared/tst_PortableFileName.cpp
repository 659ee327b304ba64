#include "Shared/FileSystemKind.h"
#include "Shared/PortableFileName.h"
#include "TestEnvironment.h"

#include <QTemporaryDir>
#include <QtTest>

using Unit = PortableFileName::LengthUnit;
using Kind = FileSystemKind::Kind;

// Names that FAT, exFAT, NTFS and SMB take, and telling which file systems need them.
class TestPortableFileName : public QObject
{
    Q_OBJECT

private slots:
    void cleansWhatDevicesRefuse_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("hasExtension");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("every refused character")
            << QStringLiteral("Who: What? \"x\" <y>|z*\\w.mp3") << true
            << QStringLiteral("Who_ What_ _x_ _y__z__w.mp3");
        QTest::newRow("control characters")
            << QStringLiteral("a\tb\nc\x7f.mp3") << true << QStringLiteral("a_b_c_.mp3");
        QTest::newRow("trailing dots and spaces of a folder")
            << QStringLiteral("Vol. 2. . ") << false << QStringLiteral("Vol. 2");
        QTest::newRow("trailing dots before the extension")
            << QStringLiteral("Intro....mp3") << true << QStringLiteral("Intro.mp3");
        QTest::newRow("reserved name")
            << QStringLiteral("CON.mp3") << true << QStringLiteral("CON_.mp3");
        QTest::newRow("reserved in any case, with more dots")
            << QStringLiteral("nul.live.mp3") << true << QStringLiteral("nul_.live.mp3");
        QTest::newRow("reserved folder")
            << QStringLiteral("com1") << false << QStringLiteral("com1_");
        QTest::newRow("not reserved")
            << QStringLiteral("CONCERT.mp3") << true << QStringLiteral("CONCERT.mp3");
        QTest::newRow("nothing left") << QStringLiteral("...") << false << QStringLiteral("_");
        QTest::newRow("non-ASCII stays")
            << QStringLiteral("Ünïcode 東京.mp3") << true << QStringLiteral("Ünïcode 東京.mp3");
    }

    void cleansWhatDevicesRefuse()
    {
        QFETCH(QString, name);
        QFETCH(bool, hasExtension);
        QFETCH(QString, cleaned);
        QCOMPARE(PortableFileName::clean(name, hasExtension), cleaned);
        // Cleaning again changes nothing.
        QVERIFY(PortableFileName::isPortable(cleaned, hasExtension));
    }

    // A long name loses the end of its stem, never the extension, and leaves room for "(n)".
    void longNamesFitKeepingTheirExtension()
    {
        const QString ascii = QString(300, QLatin1Char('a')) + QStringLiteral(".mp3");
        const QString cleaned = PortableFileName::clean(ascii, true);
        QVERIFY(cleaned.endsWith(QStringLiteral("a.mp3")));
        QCOMPARE(cleaned.toUtf8().size(),
                 PortableFileName::kMaxLength - PortableFileName::kNumberingRoom);

        // Three bytes each in UTF-8, one unit each in UTF-16.
        const QString wide = QString(200, QChar(0x6771)) + QStringLiteral(".m4a");
        const QString inBytes = PortableFileName::clean(wide, true, Unit::Utf8Bytes);
        QVERIFY(inBytes.toUtf8().size() <= 247);
        QVERIFY(inBytes.endsWith(QStringLiteral(".m4a")));
        QCOMPARE(PortableFileName::clean(wide, true, Unit::Utf16Units), wide);

        // A character outside the BMP is never cut in half.
        QString emoji;
        for (int i = 0; i < 100; ++i)
            emoji += QString::fromUcs4(U"\U0001F3B5");
        const QString fitted = PortableFileName::clean(emoji + QStringLiteral(".mp3"), true);
        QVERIFY(fitted.toUtf8().size() <= 247);
        QVERIFY(!fitted.at(fitted.size() - 5).isHighSurrogate());
        QCOMPARE(QString::fromUtf8(fitted.toUtf8()), fitted);

        // Folders keep the whole length.
        QCOMPARE(PortableFileName::clean(QString(255, QLatin1Char('b')), false).size(), 255);
    }

    void asciiOnlyKeepsTheLettersItCan()
    {
        QCOMPARE(PortableFileName::asciiOnly(QStringLiteral("Café Ünïcode 東京.mp3"), true),
                 QStringLiteral("Cafe Unicode __.mp3"));
        QCOMPARE(PortableFileName::asciiOnly(QStringLiteral("Björk: Homogenic"), false),
                 QStringLiteral("Bjork_ Homogenic"));
    }

    void mountTypesAndBootSectorsNameTheFileSystem()
    {
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("fuse.exfat")), Kind::Exfat);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("fuse.fusefat")), Kind::Fat);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("fuse.ntfs-3g")), Kind::Ntfs);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("fuse.sshfs")), Kind::Unknown);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("fuseblk")), Kind::Unknown);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("vfat")), Kind::Fat);
        QCOMPARE(FileSystemKind::fromMountType(QStringLiteral("ext4")), Kind::Posix);

        QByteArray sector(512, '\0');
        QCOMPARE(FileSystemKind::fromBootSector(sector), Kind::Unknown);
        sector.replace(3, 8, "EXFAT   ");
        QCOMPARE(FileSystemKind::fromBootSector(sector), Kind::Exfat);
        sector.replace(3, 8, "NTFS    ");
        QCOMPARE(FileSystemKind::fromBootSector(sector), Kind::Ntfs);
        sector.replace(3, 8, "mkfs.fat");
        sector.replace(82, 5, "FAT32");
        QCOMPARE(FileSystemKind::fromBootSector(sector), Kind::Fat);
        QCOMPARE(FileSystemKind::fromBootSector(sector.left(40)), Kind::Unknown);

        QVERIFY(FileSystemKind(Kind::Exfat).refusesCharacters());
        QVERIFY(FileSystemKind(Kind::RefusesCharacters).refusesCharacters());
        QVERIFY(!FileSystemKind(Kind::Posix).refusesCharacters());
        QVERIFY(!FileSystemKind(Kind::Unknown).refusesCharacters());
        QCOMPARE(FileSystemKind(Kind::Fat).lengthUnit(), Unit::Utf16Units);
        QCOMPARE(FileSystemKind(Kind::Smb).lengthUnit(), Unit::Utf8Bytes);
    }

    // The test's own folders lie on a file system that takes any name; probing leaves nothing.
    void aLinuxFolderTakesAnyName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(FileSystemKind::of(dir.path()).kind(), Kind::Posix);
        QCOMPARE(FileSystemKind::of(dir.path() + QStringLiteral("/missing")).kind(), Kind::Unknown);
        QVERIFY(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
    }
};

WAVELARK_TEST_MAIN(TestPortableFileName)
#include "tst_PortableFileName.moc"
