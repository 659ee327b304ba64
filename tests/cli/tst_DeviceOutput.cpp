#include "CliProcess.h"
#include "Shared/FileSystemKind.h"
#include "Shared/PortableFileName.h"
#include "TestAudio.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// wavelark-cli writing onto the file systems of phones, car stereos and USB sticks: exFAT through
// exfat-fuse on a loop device and FAT through fusefat on an image file, both made here, and any
// folder with "names that work on every device". Every file converts, whatever its name holds;
// the names are unique and the files read back; nothing lands outside the output folder; every
// mount and loop device is released, also when a check fails.
class TestDeviceOutput : public QObject
{
    Q_OBJECT

    using Result = CliProcess::Result;

    QTemporaryDir m_dir;
    QStringList m_asciiInputs; // refused characters, a DOS device name, 250 bytes
    QString m_unicodeInput;
    QStringList m_taggedInputs; // tags with refused characters, two that clean alike, two discs
    QString m_mountPoint;
    QString m_loopDevice;

    static QString cli() { return CliProcess::program(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    static Result run(const QStringList &arguments) { return CliProcess::run(arguments); }

    static int tool(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
    {
        return TestAudio::run(program, arguments, out, 60000);
    }

    static bool hasProgram(const QString &name)
    {
        return !QStandardPaths::findExecutable(name).isEmpty() ||
               !QStandardPaths::findExecutable(
                    name, {QStringLiteral("/sbin"), QStringLiteral("/usr/sbin")})
                    .isEmpty();
    }

    // Why FUSE file systems cannot be made here; empty when they can.
    static QString missingFuse(const QStringList &programs)
    {
        if (::geteuid() != 0)
            return QStringLiteral("mounting needs root");
        if (!QFile::exists(QStringLiteral("/dev/fuse")))
            return QStringLiteral("/dev/fuse is missing");
        for (const QString &program : programs) {
            if (!hasProgram(program))
                return program + QStringLiteral(" is not installed");
        }
        return QString();
    }

    bool mounted() const
    {
        QFile table(QStringLiteral("/proc/self/mountinfo"));
        return table.open(QIODevice::ReadOnly) &&
               table.readAll().contains(" " + QFile::encodeName(m_mountPoint) + " ");
    }

    // An exFAT file system on a loop device, mounted by exfat-fuse; empty, or why not.
    QString mountExfat()
    {
        QString missing =
            missingFuse({QStringLiteral("mkfs.exfat"), QStringLiteral("mount.exfat-fuse"),
                         QStringLiteral("losetup")});
        if (!missing.isEmpty())
            return missing;
        QByteArray free;
        if (tool(QStringLiteral("losetup"), {QStringLiteral("-f")}, &free) != 0)
            return QStringLiteral("no free loop device");
        const QString image = path(QStringLiteral("exfat.img"));
        if (tool(QStringLiteral("truncate"),
                 {QStringLiteral("-s"), QStringLiteral("64M"), image}) != 0 ||
            tool(QStringLiteral("mkfs.exfat"), {image}) != 0)
            return QStringLiteral("mkfs.exfat failed");
        QByteArray device;
        if (tool(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image},
                 &device) != 0)
            return QStringLiteral("losetup could not attach the image");
        m_loopDevice = QString::fromLocal8Bit(device).trimmed();
        if (tool(QStringLiteral("mount.exfat-fuse"), {m_loopDevice, m_mountPoint}) != 0)
            return QStringLiteral("mount.exfat-fuse failed");
        return QString();
    }

    // A FAT file system in an image file, mounted by fusefat; empty, or why not.
    QString mountFat()
    {
        QString missing = missingFuse({QStringLiteral("mkfs.vfat"), QStringLiteral("fusefat")});
        if (!missing.isEmpty())
            return missing;
        const QString image = path(QStringLiteral("fat.img"));
        QFile::remove(image);
        if (tool(QStringLiteral("truncate"),
                 {QStringLiteral("-s"), QStringLiteral("64M"), image}) != 0 ||
            tool(QStringLiteral("mkfs.vfat"), {image}) != 0)
            return QStringLiteral("mkfs.vfat failed");
        if (tool(QStringLiteral("fusefat"),
                 {QStringLiteral("-o"), QStringLiteral("rw+"), image, m_mountPoint}) != 0)
            return QStringLiteral("fusefat failed");
        return QString();
    }

    // Every file below `folder`, relative to it.
    static QStringList filesBelow(const QString &folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    // The outputs wavelark-cli reports, one per converted input.
    static QStringList reportedOutputs(const QString &out)
    {
        QStringList outputs;
        for (const QString &line : out.split('\n')) {
            const qsizetype arrow = line.indexOf(QStringLiteral(" -> "));
            if (line.startsWith(QStringLiteral("Task Finished.")) && arrow > 0)
                outputs << line.mid(arrow + 4);
        }
        return outputs;
    }

    // Converts `inputs` into `output` and checks what every device test wants: all converted,
    // one distinct readable file each, nothing else left below `root`.
    void convertsEveryFile(const QStringList &inputs, const QString &root, const QString &output,
                           const QStringList &options)
    {
        const Result result =
            run(QStringList{QStringLiteral("--no-sync"), QStringLiteral("-o"), output} + options +
                inputs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
        const QStringList outputs = reportedOutputs(result.out);
        QCOMPARE(outputs.size(), inputs.size());
        QCOMPARE(QSet<QString>(outputs.begin(), outputs.end()).size(), inputs.size());
        for (const QString &converted : outputs) {
            QVERIFY2(converted.startsWith(output + "/"), qPrintable(converted));
            QVERIFY2(TestAudio::probeDuration(converted) > 0.5, qPrintable(converted));
        }
        // Only the outputs: no temporaries, nothing beside the output folder.
        QStringList expected;
        for (const QString &converted : outputs)
            expected << QDir(root).relativeFilePath(converted);
        expected.sort();
        QCOMPARE(filesBelow(root), expected);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_mountPoint = path(QStringLiteral("mnt"));
        QVERIFY(QDir().mkpath(m_mountPoint));
        const QString refused = QStringLiteral("Who: What? \"x\" <y>|z*\\w.flac");
        const QString reserved = QStringLiteral("CON.flac");
        const QString plain = QStringLiteral("plain.flac");
        const QString long250 = QString(245, QLatin1Char('L')) + QStringLiteral(".flac");
        QCOMPARE(long250.toUtf8().size(), 250);
        // Made once and copied: the encoders' own temporary names would not fit 250 bytes.
        QVERIFY(TestAudio::makeFlac(path(plain), 1.0));
        for (const QString &name : {refused, reserved, plain, long250}) {
            QVERIFY(name == plain || QFile::copy(path(plain), path(name)));
            m_asciiInputs << path(name);
        }
        m_unicodeInput = path(QStringLiteral("Ünïcode 東京 • naïve.flac"));
        QVERIFY(QFile::copy(path(plain), m_unicodeInput));

        const auto tagged = [this](const QString &name, const QString &title, const QString &disc,
                                   const QString &track) {
            const TestAudio::Tags tags{{QStringLiteral("ALBUMARTIST"), QStringLiteral("AC/DC")},
                                       {QStringLiteral("ALBUM"), QStringLiteral("Live: At *Home*")},
                                       {QStringLiteral("TITLE"), title},
                                       {QStringLiteral("DISCNUMBER"), disc},
                                       {QStringLiteral("TRACKNUMBER"), track}};
            QVERIFY(TestAudio::makeFlac(path(name), 1.0, tags));
            m_taggedInputs << path(name);
        };
        // "A:B" and "A?B" clean to the same name; disc 2 repeats disc 1's track numbers.
        tagged(QStringLiteral("t1.flac"), QStringLiteral("A:B"), QStringLiteral("1"),
               QStringLiteral("1"));
        tagged(QStringLiteral("t2.flac"), QStringLiteral("A?B"), QStringLiteral("1"),
               QStringLiteral("1"));
        tagged(QStringLiteral("t3.flac"), QStringLiteral("Intro..."), QStringLiteral("2/2"),
               QStringLiteral("1/9"));
        QVERIFY(TestAudio::makeFlac(path(QStringLiteral("untagged.flac")), 1.0));
        m_taggedInputs << path(QStringLiteral("untagged.flac"));
    }

    // Runs after every test, passed or failed: nothing stays mounted or attached.
    void cleanup()
    {
        if (mounted())
            tool(QStringLiteral("umount"), {m_mountPoint});
        if (!m_loopDevice.isEmpty()) {
            tool(QStringLiteral("losetup"), {QStringLiteral("-d"), m_loopDevice});
            m_loopDevice.clear();
        }
        QVERIFY(!mounted());
    }

    void cleanupTestCase()
    {
        cleanup();
        QByteArray attached;
        tool(QStringLiteral("losetup"), {QStringLiteral("-j"), path(QStringLiteral("exfat.img"))},
             &attached);
        QVERIFY2(attached.trimmed().isEmpty(), attached.constData());
    }

    void exfatTakesEveryName()
    {
        const QString why = mountExfat();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no exFAT here: ") + why));
        // exfat-fuse shows only "fuseblk": the boot sector of the loop device tells.
        QCOMPARE(FileSystemKind::of(m_mountPoint).kind(), FileSystemKind::Kind::Exfat);
        const QString output = m_mountPoint + QStringLiteral("/music");
        convertsEveryFile(m_asciiInputs + QStringList{m_unicodeInput}, m_mountPoint, output, {});
        QVERIFY(QFile::exists(output + QStringLiteral("/Who_ What_ _x_ _y__z__w.mp3")));
        // exFAT takes names beyond ASCII: they stay as they were.
        QVERIFY(QFile::exists(output + QStringLiteral("/Ünïcode 東京 • naïve.mp3")));
    }

    void exfatTakesPatternFolders()
    {
        const QString why = mountExfat();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no exFAT here: ") + why));
        const QString output = m_mountPoint + QStringLiteral("/music");
        convertsEveryFile(m_taggedInputs, m_mountPoint, output,
                          {QStringLiteral("--pattern"),
                           QStringLiteral("{albumartist}/{album}/{disc}-{track} {title}")});
        const QString album = output + QStringLiteral("/AC_DC/Live_ At _Home_");
        QVERIFY(QFile::exists(album + QStringLiteral("/1-01 A_B.mp3")));
        QVERIFY(QFile::exists(album + QStringLiteral("/1-01 A_B(1).mp3")));
        QVERIFY(QFile::exists(album + QStringLiteral("/2-01 Intro.mp3")));
        QVERIFY(QFile::exists(output +
                              QStringLiteral("/Unknown Artist/Unknown Album/1-00 untagged.mp3")));
    }

    // fusefat takes no name beyond ASCII (a limit of fusefat itself): ASCII names only there.
    void fatTakesEveryAsciiName()
    {
        const QString why = mountFat();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no FAT here: ") + why));
        QCOMPARE(FileSystemKind::of(m_mountPoint).kind(), FileSystemKind::Kind::Fat);
        const QString output = m_mountPoint + QStringLiteral("/music");
        convertsEveryFile(m_asciiInputs, m_mountPoint, output, {});
        QVERIFY(QFile::exists(output + QStringLiteral("/Who_ What_ _x_ _y__z__w.mp3")));
        QVERIFY(QFile::exists(output + QStringLiteral("/CON_.mp3")));
        tool(QStringLiteral("umount"), {m_mountPoint});

        QVERIFY(mountFat().isEmpty());
        convertsEveryFile(m_taggedInputs, m_mountPoint, output,
                          {QStringLiteral("--pattern"), QStringLiteral("{album}/{title}")});
        QVERIFY(QFile::exists(output + QStringLiteral("/Live_ At _Home_/A_B.mp3")));
    }

    // On any file system, "names that work on every device" gives the same names.
    void everyDeviceNamesOnAnyFolder()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        convertsEveryFile(m_asciiInputs + QStringList{m_unicodeInput} + m_taggedInputs, out.path(),
                          out.path(),
                          {QStringLiteral("--portable-names"), QStringLiteral("--pattern"),
                           QStringLiteral("{album}/{title}")});
        for (const QString &file : filesBelow(out.path())) {
            const QStringList names = file.split('/');
            for (qsizetype i = 0; i < names.size(); ++i) {
                const bool isFile = i == names.size() - 1;
                // A numbered name may use the room left for its number.
                const QString name =
                    isFile
                        ? QString(names.at(i)).remove(QRegularExpression("\\(\\d+\\)(?=\\.mp3$)"))
                        : names.at(i);
                QVERIFY2(PortableFileName::isPortable(name, isFile), qPrintable(file));
            }
        }
        QVERIFY(QFile::exists(out.path() + QStringLiteral("/Unknown Album/CON_.mp3")));
        QVERIFY(QFile::exists(out.path() + QStringLiteral("/Live_ At _Home_/A_B(1).mp3")));
    }

    // Without the option, names on a Linux file system stay as they are; a 250-byte name too.
    void linuxNamesStayAsTheyAre()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        convertsEveryFile(m_asciiInputs, out.path(), out.path(), {});
        QVERIFY(QFile::exists(out.path() + QStringLiteral("/Who: What? \"x\" <y>|z*\\w.mp3")));
        QVERIFY(QFile::exists(out.path() + "/" + QString(245, QLatin1Char('L')) + ".mp3"));
    }

    // A folder that cannot be made is named, with the system's reason.
    void aFolderThatCannotBeMadeIsNamed()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        QFile blocker(out.filePath(QStringLiteral("Unknown Album")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Result result = run({QStringLiteral("--no-sync"), QStringLiteral("-o"), out.path(),
                                   QStringLiteral("--pattern"), QStringLiteral("{album}/{title}"),
                                   path(QStringLiteral("plain.flac"))});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.out.contains(out.filePath(QStringLiteral("Unknown Album")) +
                                     QStringLiteral(": Not a directory")),
                 qPrintable(result.out + result.err));
    }

    // ID3v2.3 for older players, read back by ffprobe; the cover made small, as JPEG.
    void olderPlayersGetId3v23AndASmallCover()
    {
        const QString input = path(QStringLiteral("covered.flac"));
        const QString picture = path(QStringLiteral("big.png"));
        QVERIFY(
            TestAudio::makeFlac(input, 1.0, {{QStringLiteral("TITLE"), QStringLiteral("Ünï")}}));
        QVERIFY(TestAudio::makePicture(picture, QSize(1200, 900)));
        QVERIFY(TestAudio::addFlacCover(input, picture));
        QTemporaryDir out;
        QVERIFY(out.isValid());

        const Result plain = run({QStringLiteral("--no-sync"), QStringLiteral("-o"),
                                  out.filePath(QStringLiteral("a")), input});
        QCOMPARE(plain.exitCode, 0);
        const Result older = run({QStringLiteral("--no-sync"), QStringLiteral("-o"),
                                  out.filePath(QStringLiteral("b")), QStringLiteral("--id3v2.3"),
                                  QStringLiteral("--cover-size"), QStringLiteral("500"), input});
        QVERIFY2(older.exitCode == 0, qPrintable(older.out + older.err));

        const auto header = [](const QString &file) {
            QFile mp3(file);
            return mp3.open(QIODevice::ReadOnly) ? mp3.read(4) : QByteArray();
        };
        const QString a = out.filePath(QStringLiteral("a/covered.mp3"));
        const QString b = out.filePath(QStringLiteral("b/covered.mp3"));
        QCOMPARE(header(a), QByteArray("ID3\x04", 4));
        QCOMPARE(header(b), QByteArray("ID3\x03", 4));
        QCOMPARE(TestAudio::readTags(b).value(QStringLiteral("TITLE")), QStringLiteral("Ünï"));
        QCOMPARE(TestAudio::probeCover(a).size, QSize(1200, 900));
        const TestAudio::Cover small = TestAudio::probeCover(b);
        QCOMPARE(small.codec, QStringLiteral("mjpeg"));
        QCOMPARE(small.size, QSize(500, 375));
    }

    // Covers written after the encoder (Ogg's picture comment, WAV's ID3 chunk) keep to the
    // chosen size too.
    void coversWrittenAfterTheEncoderAreMadeSmallToo()
    {
        const QString input = path(QStringLiteral("covered-late.flac"));
        const QString picture = path(QStringLiteral("big-late.png"));
        QVERIFY(TestAudio::makeFlac(input, 1.0));
        QVERIFY(TestAudio::makePicture(picture, QSize(1200, 900)));
        QVERIFY(TestAudio::addFlacCover(input, picture));
        QTemporaryDir out;
        QVERIFY(out.isValid());
        for (const QString &format : {QStringLiteral("opus"), QStringLiteral("wav")}) {
            const Result result =
                run({QStringLiteral("--no-sync"), QStringLiteral("-o"), out.path(),
                     QStringLiteral("--format"), format, QStringLiteral("--cover-size"),
                     QStringLiteral("500"), input});
            QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
            const TestAudio::Cover cover =
                TestAudio::probeCover(out.filePath(QStringLiteral("covered-late.") + format));
            QCOMPARE(cover.codec, QStringLiteral("mjpeg"));
            QCOMPARE(cover.size, QSize(500, 375));
        }
    }
};

WAVELARK_TEST_MAIN(TestDeviceOutput)
#include "tst_DeviceOutput.moc"
