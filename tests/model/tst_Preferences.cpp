#include "Shared/GlobalFun.h"
#include "TestEnvironment.h"
#include "model/ConversionSettings.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"
#include "model/UserIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>

namespace {

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void userIdIsCreatedOnceAndStored()
    {
        const QString first = UserIdentity::getGUID();
        QVERIFY(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(first)
                    .hasMatch());
        QCOMPARE(UserIdentity::getGUID(), first);
        UserDefaults reread(UserDefaults::standard().filePath());
        QCOMPARE(reread.stringForKey(PrefKeys::Guid), first);
    }

    void typedReadsOfMissingKeys()
    {
        QTemporaryDir dir;
        UserDefaults store(dir.path() + "/store.conf");
        QVERIFY(!store.objectForKey("absent").isValid());
        QVERIFY(store.stringForKey("absent").isNull());
        QCOMPARE(store.integerForKey("absent"), 0);
        QCOMPARE(store.boolForKey(PrefKeys::BSameQuality), false);
        QCOMPARE(store.doubleForKey("absent"), 0.0);
        QVERIFY(store.arrayForKey("absent").isEmpty());
    }

    void storedValuesSurviveASecondStoreAndKeepTheirTypes()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + "/store.conf";
        {
            UserDefaults store(file);
            store.setValue(PrefKeys::AppMaxConvertNum, 5);
            store.setValue(PrefKeys::BSameQuality, true);
            store.setValue(PrefKeys::DoubleBitRate, 192.5);
            store.setValue(PrefKeys::PrefsSelectedIdentifierView,
                           QStringLiteral("Trusted Folders"));
            store.setValue(PrefKeys::Bookmarks, QVariantList{QByteArray("\x01\x02", 2)});
            QVERIFY(store.synchronize());
        }
        UserDefaults reread(file);
        QCOMPARE(reread.integerForKey(PrefKeys::AppMaxConvertNum), 5);
        QCOMPARE(reread.boolForKey(PrefKeys::BSameQuality), true);
        QCOMPARE(reread.doubleForKey(PrefKeys::DoubleBitRate), 192.5);
        QCOMPARE(reread.stringForKey(PrefKeys::PrefsSelectedIdentifierView),
                 QString("Trusted Folders"));
        QCOMPARE(reread.arrayForKey(PrefKeys::Bookmarks).value(0).toByteArray(),
                 QByteArray("\x01\x02", 2));
        reread.setValue(PrefKeys::BSameQuality, QVariant());
        QVERIFY(!reread.hasStoredValue(PrefKeys::BSameQuality));
    }

    void registrationOnAnEmptyStoreCreatesFoldersAndWritesNothing()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + "/store.conf";
        UserDefaults store(file);
        PreferenceDefaults::registerDefaults(store);
        store.synchronize();

        const QString music = GlobalFun::RealHomeDirectory() + "/Music/com.morvane.wavelark/";
        QVERIFY(QFileInfo(music + "Video Converted").isDir());
        QVERIFY(QFileInfo(music + "Audio Converted").isDir());
        QVERIFY(QFileInfo(GlobalFun::RealHomeDirectory() + "/Movies/com.morvane.wavelark/SnapShots")
                    .isDir());
        QVERIFY(!QFileInfo::exists(file) || QFileInfo(file).size() == 0);

        QCOMPARE(store.integerForKey(PrefKeys::AppMaxConvertNum), 3);
        QCOMPARE(store.boolForKey(PrefKeys::AppBSyncToiTunes), true);
        QCOMPARE(store.stringForKey(PrefKeys::PreferedFormatName), QString("MP3 Audio"));
        QCOMPARE(store.stringForKey(PrefKeys::PlaylistName), QString("MORVANE Wavelark"));
        QCOMPARE(store.doubleForKey(PrefKeys::DoubleSamepleRate), 44100.0);
        QCOMPARE(store.doubleForKey(PrefKeys::DoubleBitRate), 320.0);
        QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder), music + "Audio Converted");
        QVERIFY(store.boolForKey(PrefKeys::AppKeepCoverArt));
        QVERIFY(store.boolForKey(PrefKeys::AppOnlineServices));
        QVERIFY(store.boolForKey(PrefKeys::AppOpenOutputFolder));
        // The quality levels of MP3's VBR, Vorbis and FLAC.
        QCOMPARE(store.integerForKey(PrefKeys::AppMp3VbrQuality), 2);
        QCOMPARE(store.integerForKey(PrefKeys::AppVorbisQuality), 6);
        QCOMPARE(store.integerForKey(PrefKeys::AppFlacCompressionLevel), 5);
        QCOMPARE(PreferenceDefaults::registeredDefaults().size(), 23);
    }

    // The preferences hold the permanent user id: owner only, whatever the umask, also for a
    // file an older version left readable.
    // A FIFO in place of the file would hang every start: the store begins with the defaults,
    // keeps what is set in memory, and never touches the FIFO. A file turned into one while the
    // program runs is left alone from the next save on, the values kept.
    void storeThatIsNoFileStaysInMemory()
    {
        QTemporaryDir folder;
        const QString fifo = folder.filePath(QStringLiteral("fifo.conf"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("preferences file %1 not read (not a regular file): "
                                      "starting with the defaults; changes last until the "
                                      "program ends and the file is left as it is")
                           .arg(fifo)));
        UserDefaults store(fifo);
        QVERIFY(store.isKeptInMemory());
        store.registerDefaults({{QStringLiteral("Width"), 3}});
        QCOMPARE(store.integerForKey(QStringLiteral("Width")), 3);
        store.setValue(QStringLiteral("Width"), 5);
        QCOMPARE(store.integerForKey(QStringLiteral("Width")), 5);
        QVERIFY(store.hasStoredValue(QStringLiteral("Width")));
        QVERIFY(!store.synchronize());
        store.removeObjectForKey(QStringLiteral("Width"));
        QCOMPARE(store.integerForKey(QStringLiteral("Width")), 3);
        QVERIFY(!QFileInfo(fifo).isFile());

        const QString replaced = folder.filePath(QStringLiteral("replaced.conf"));
        UserDefaults later(replaced);
        later.setValue(QStringLiteral("Name"), QStringLiteral("kept"));
        QVERIFY(later.synchronize());
        QVERIFY(QFile::remove(replaced));
        QVERIFY(::mkfifo(QFile::encodeName(replaced).constData(), 0600) == 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not read")));
        QVERIFY(!later.synchronize());
        QVERIFY(later.isKeptInMemory());
        QCOMPARE(later.stringForKey(QStringLiteral("Name")), QStringLiteral("kept"));
        QVERIFY(!QFileInfo(replaced).isFile());
    }

    void storeFileIsPrivate()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + "/new/store.conf";
        const mode_t previous = ::umask(0);
        {
            UserDefaults store(path);
            store.setValue(PrefKeys::AppMaxConvertNum, 4);
            QVERIFY(store.synchronize());
        }
        ::umask(previous);
        QCOMPARE(modeOf(path), 0600);

        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
        UserDefaults store(path);
        store.setValue(PrefKeys::AppMaxConvertNum, 5);
        QVERIFY(store.synchronize());
        QCOMPARE(modeOf(path), 0600);
        QCOMPARE(store.integerForKey(PrefKeys::AppMaxConvertNum), 5);
    }

    // A folder deleted from a disk that is there is forgotten at the next start, and the default
    // applies again; one whose parent is missing too (a disk or share not connected) stays, and
    // a run asks about it. The video folder is never touched.
    void registrationForgetsOnlyAFolderDeletedFromAPresentDisk()
    {
        QTemporaryDir dir;
        UserDefaults store(dir.path() + "/store.conf");
        const QString unplugged = dir.path() + "/unplugged-disk/Music";
        store.setValue(PrefKeys::AppAudioOutputFolder, unplugged);
        store.setValue(PrefKeys::AppVideoOutputFolder, dir.path() + "/gone-video");
        PreferenceDefaults::registerDefaults(store);
        QVERIFY(store.hasStoredValue(PrefKeys::AppAudioOutputFolder));
        QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder), unplugged);
        QCOMPARE(store.stringForKey(PrefKeys::AppVideoOutputFolder), dir.path() + "/gone-video");
        QVERIFY(!QFileInfo::exists(unplugged));

        store.setValue(PrefKeys::AppAudioOutputFolder, dir.path() + "/deleted");
        PreferenceDefaults::registerDefaults(store);
        QVERIFY(!store.hasStoredValue(PrefKeys::AppAudioOutputFolder));
        QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder),
                 PreferenceDefaults::defaultAudioOutputFolder());
        QCOMPARE(store.stringForKey(PrefKeys::AppVideoOutputFolder), dir.path() + "/gone-video");

        store.setValue(PrefKeys::AppAudioOutputFolder, QString());
        PreferenceDefaults::registerDefaults(store);
        QVERIFY(!store.hasStoredValue(PrefKeys::AppAudioOutputFolder));

        store.setValue(PrefKeys::AppAudioOutputFolder, dir.path());
        PreferenceDefaults::registerDefaults(store);
        QCOMPARE(store.stringForKey(PrefKeys::AppAudioOutputFolder), dir.path());
    }

    void conversionSettingsOfAnEmptyStoreAreTheTableDefaults()
    {
        // Not even registered: the defaults come from the one table all the same.
        QTemporaryDir dir;
        UserDefaults store(dir.path() + QStringLiteral("/store.conf"));
        const ConversionSettings settings = ConversionSettings::read(store);
        QCOMPARE(settings.audioOutputFolder, PreferenceDefaults::defaultAudioOutputFolder());
        QCOMPARE(settings.videoOutputFolder, PreferenceDefaults::defaultVideoOutputFolder());
        QCOMPARE(settings.formatName, QStringLiteral("MP3 Audio"));
        QCOMPARE(settings.format().extension(), QStringLiteral("mp3"));
        QCOMPARE(settings.sampleRate, 44100.0);
        QCOMPARE(settings.bitRate, 320.0);
        QVERIFY(settings.syncToLibrary);
        QCOMPARE(settings.playlistName, QStringLiteral("MORVANE Wavelark"));
        QVERIFY(settings.keepCover);
        QVERIFY(settings.openOutputFolder);
        // Keys without a registered default are off while missing.
        QVERIFY(!settings.sameQuality);
        QVERIFY(!settings.keepFolders);
        QVERIFY(!settings.skipConverted);
        QVERIFY(!settings.skipFinished);
        QVERIFY(!store.hasStoredValue(PrefKeys::AppKeepCoverArt));
    }

    void conversionSettingsReadWhatWasStored()
    {
        // Through the file, where every value comes back as text.
        QTemporaryDir dir;
        const QString file = dir.path() + QStringLiteral("/store.conf");
        {
            UserDefaults store(file);
            store.setValue(PrefKeys::AppAudioOutputFolder, dir.path());
            store.setValue(PrefKeys::PreferedFormatName, QStringLiteral("AAC Audio (m4a)"));
            store.setValue(PrefKeys::BSameQuality, true);
            store.setValue(PrefKeys::DoubleSamepleRate, 48000.0);
            store.setValue(PrefKeys::DoubleBitRate, 192.0);
            store.setValue(PrefKeys::AppBSyncToiTunes, false);
            store.setValue(PrefKeys::PlaylistName, QStringLiteral("Road"));
            store.setValue(PrefKeys::AppKeepCoverArt, false);
            store.setValue(PrefKeys::AppKeepFolderStructure, true);
            store.setValue(PrefKeys::AppSkipConverted, true);
            store.setValue(PrefKeys::AppSkipFinished, true);
            store.setValue(PrefKeys::AppOpenOutputFolder, false);
            QVERIFY(store.synchronize());
        }
        UserDefaults reread(file);
        reread.registerDefaults(PreferenceDefaults::registeredDefaults());
        const ConversionSettings settings = ConversionSettings::read(reread);
        QCOMPARE(settings.audioOutputFolder, dir.path());
        QCOMPARE(settings.format().extension(), QStringLiteral("m4a"));
        QVERIFY(settings.sameQuality);
        QCOMPARE(settings.sampleRate, 48000.0);
        QCOMPARE(settings.bitRate, 192.0);
        QVERIFY(!settings.syncToLibrary);
        QCOMPARE(settings.playlistName, QStringLiteral("Road"));
        QVERIFY(!settings.keepCover);
        QVERIFY(settings.keepFolders);
        QVERIFY(settings.skipConverted);
        QVERIFY(settings.skipFinished);
        QVERIFY(!settings.openOutputFolder);
    }

    void sampleRatesAreThoseTheEncodersWrite()
    {
        // The settings pane's range and the encoder's command line take them from one table.
        const OutputFormat *mp3 = OutputFormat::withExtension(QStringLiteral("mp3"));
        const OutputFormat *aac = OutputFormat::withExtension(QStringLiteral("m4a"));
        QCOMPARE(mp3->minSampleRate(), 8000);
        QCOMPARE(mp3->maxSampleRate(), 48000);
        QCOMPARE(aac->minSampleRate(), 7350);
        QCOMPARE(aac->maxSampleRate(), 96000);
        for (const OutputFormat &format : OutputFormat::all()) {
            QCOMPARE(OutputFormat::withEncoder(format.encoder()), &format);
            QVERIFY(std::is_sorted(format.sampleRates().cbegin(), format.sampleRates().cend()));
            for (const double rate : format.sampleRates())
                QCOMPARE(format.nearestSampleRate(rate), rate);
        }
        QCOMPARE(mp3->nearestSampleRate(88200), 48000.0);
        QCOMPARE(aac->nearestSampleRate(44000), 44100.0);
        QCOMPARE(OutputFormat::supportedSampleRate(QStringLiteral("pcm_f32le"), 12345), 12345.0);
    }

    // Names stored by every version keep choosing what they chose; the new titles choose theirs,
    // the Apple Lossless one included although it ends like the AAC one.
    void storedFormatNamesOfEveryVersion()
    {
        auto extensionOf = [](const char *name) {
            return OutputFormat::forStoredName(QString::fromUtf8(name)).commandLineWord();
        };
        QCOMPARE(extensionOf("MP3 Audio"), QStringLiteral("mp3"));
        QCOMPARE(extensionOf("AAC Audio (m4a)"), QStringLiteral("m4a"));
        QCOMPARE(extensionOf("AAC"), QStringLiteral("m4a"));
        QCOMPARE(extensionOf("something older"), QStringLiteral("mp3"));
        QCOMPARE(extensionOf("Opus Audio"), QStringLiteral("opus"));
        QCOMPARE(extensionOf("Ogg Vorbis Audio"), QStringLiteral("ogg"));
        QCOMPARE(extensionOf("FLAC Audio"), QStringLiteral("flac"));
        QCOMPARE(extensionOf("Apple Lossless Audio (m4a)"), QStringLiteral("alac"));
        QCOMPARE(extensionOf("WAV Audio"), QStringLiteral("wav"));
        QCOMPARE(OutputFormat::all().at(0).catalogueTitle(), QStringLiteral("MP3 Audio"));
        QCOMPARE(OutputFormat::all().at(1).catalogueTitle(), QStringLiteral("AAC Audio (m4a)"));
    }

    // The quality level of each format: MP3 at its bit rate unless VBR is asked for, the table's
    // defaults while nothing is stored, stored levels kept within their scales.
    void qualityLevelsPerFormat()
    {
        QTemporaryDir dir;
        UserDefaults store(dir.path() + QStringLiteral("/store.conf"));
        const OutputFormat &mp3 = *OutputFormat::withTitle(FormatNames::Mp3Audio);
        const OutputFormat &vorbis = *OutputFormat::withTitle(FormatNames::VorbisAudio);
        const OutputFormat &flac = *OutputFormat::withTitle(FormatNames::FlacAudio);
        const OutputFormat &opus = *OutputFormat::withTitle(FormatNames::OpusAudio);
        ConversionSettings settings = ConversionSettings::read(store);
        QCOMPARE(settings.qualityFor(mp3), -1);
        QCOMPARE(settings.qualityFor(vorbis), 6);
        QCOMPARE(settings.qualityFor(flac), 5);
        QCOMPARE(settings.qualityFor(opus), -1);
        QVERIFY(!settings.convertOtherAudio);
        QVERIFY(!settings.reencodeSameFormat);

        store.setValue(PrefKeys::AppMp3Vbr, true);
        store.setValue(PrefKeys::AppMp3VbrQuality, 12);
        store.setValue(PrefKeys::AppVorbisQuality, -3);
        store.setValue(PrefKeys::AppFlacCompressionLevel, 8);
        settings = ConversionSettings::read(store);
        QCOMPARE(settings.qualityFor(mp3), 9);
        QCOMPARE(settings.qualityFor(vorbis), 0);
        QCOMPARE(settings.qualityFor(flac), 8);
        QCOMPARE(mp3.qualityText(2, 0), QStringLiteral("V2, about 190 kbit/s"));
        QCOMPARE(mp3.qualityText(-1, 320), QStringLiteral("320 kbit/s, constant"));
    }
};

WAVELARK_TEST_MAIN(TestPreferences)
#include "tst_Preferences.moc"
