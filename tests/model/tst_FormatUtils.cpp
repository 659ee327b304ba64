#include "TestEnvironment.h"
#include "model/FormatUtils.h"
#include "model/LSMedia.h"
#include "model/OutputFormat.h"

#include <QtTest>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

// A setting dictionary of a format row: {"default": value, "items": [...]}.
QString setting(const QString &key, const QString &defaultValue)
{
    return QStringLiteral("<key>%1</key><dict><key>default</key>%2"
                          "<key>items</key><array><string>x</string></array></dict>")
        .arg(key, defaultValue);
}

QString str(const QString &text)
{
    return "<string>" + text + "</string>";
}

QString row(const QString &title, const QString &ext, const QString &extra = {})
{
    return "<dict><key>title</key>" + str(title) + "<key>ext</key>" + str(ext) + extra + "</dict>";
}

QByteArray catalogue(const QString &formats, const QString &devices, const QString &audios,
                     const QString &codecMap)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                          "<key>Formats</key><array>%1</array><key>Devices</key><array>%2</array>"
                          "<key>Audios</key><array>%3</array><key>codecMap</key><dict>%4</dict>"
                          "</dict></plist>")
        .arg(formats, devices, audios, codecMap)
        .toUtf8();
}

// Video row with the worked example's values; numbers as text, as integer and as real.
const QString kMovieSettings =
    "<key>image</key><string>movie_icon</string><key>formattype</key><string>1</string>" +
    setting("vcodec", str("H.264")) + setting("vbitrate", "<integer>1500</integer>") +
    setting("framerate", "<real>30</real>") + setting("resolution", str("640*480")) +
    setting("acodec", str("AAC")) + setting("abitrate", str("128kbps")) +
    setting("samplerate", "<integer>44100</integer>");

const QString kCodecs = "<key>H.264</key><string>libx264</string>"
                        "<key>AAC</key><string>aac</string>";

QByteArray testCatalogue(const QString &resolution = str("640*480"))
{
    QString movie = kMovieSettings;
    movie.replace(str("640*480"), resolution);
    return catalogue(row("Movie", "mp4", movie) + row("Shared", "mkv"),
                     row("Phone", "3gp") + row("Phone", "second") + row("Tune", "dev"),
                     row("Shared", "m4a") + row("Tune", "aud") +
                         row("Song", "mp3",
                             "<key>formattype</key><integer>4</integer>" +
                                 setting("acodec", str("Opus")) + setting("abitrate", "<dict/>")),
                     kCodecs);
}

LSMediaPtr videoSource()
{
    auto media = std::make_shared<LSMedia>();
    media->setEumMediaType(LSMedia::MediaTypeVideo);
    media->setVideoBitrate(2345000);
    return media;
}

} // namespace

class TestFormatUtils : public QObject
{
    Q_OBJECT

private slots:
    // First, so that the threads race for the very first creation.
    void concurrentFirstCallsShareOneCatalogue()
    {
        std::atomic<bool> go{false};
        std::vector<FormatUtils *> seen(8, nullptr);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < seen.size(); ++i) {
            threads.emplace_back([&, i] {
                while (!go.load())
                    std::this_thread::yield();
                seen[i] = FormatUtils::sharedInstance();
            });
        }
        go = true;
        for (std::thread &thread : threads)
            thread.join();
        const std::set<FormatUtils *> distinct(seen.begin(), seen.end());
        QCOMPARE(distinct.size(), size_t(1));
        QVERIFY(*distinct.begin());
        QCOMPARE(FormatUtils::sharedInstance(), *distinct.begin());
    }

    void shippedCatalogueOffersTheAudioFormats_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("codec");
        QTest::newRow("mp3") << "MP3 Audio"
                             << "mp3"
                             << "libmp3lame";
        QTest::newRow("aac") << "AAC Audio (m4a)"
                             << "m4a"
                             << "aac";
    }

    void shippedCatalogueOffersTheAudioFormats()
    {
        QFETCH(QString, title);
        QFETCH(QString, ext);
        QFETCH(QString, codec);
        const FormatUtils *formats = FormatUtils::sharedInstance();
        LSMedia media;
        media.setEumMediaType(LSMedia::MediaTypeAudio);
        formats->fillMedia(&media, title);
        QCOMPARE(media.strOutFileExt(), ext);
        QCOMPARE(media.eumDestFmtType(), qint32(LSMedia::DestFmtAudio));
        QCOMPARE(media.vOACodecName(), codec);
        QVERIFY(media.dAOBitrate() > 0);
        QCOMPARE(media.dAOSamplerate(), 44100.0);
        QVERIFY(!media.imgFormat().isEmpty());
    }

    // The table of output formats and the catalogue must agree, or a row converts to a format
    // other than the one its pane label or command-line word promised.
    void outputFormatsMatchTheCatalogue()
    {
        // MP3 and AAC first, as they always were, then the formats added beside them.
        QCOMPARE(OutputFormat::all().size(), 7);
        QCOMPARE(OutputFormat::all().at(0).extension(), "mp3");
        QCOMPARE(OutputFormat::all().at(1).encoder(), "aac");
        for (const OutputFormat &format : OutputFormat::all()) {
            LSMedia media;
            media.setEumMediaType(LSMedia::MediaTypeAudio);
            FormatUtils::sharedInstance()->fillMedia(&media, format.catalogueTitle());
            QCOMPARE(media.strOutFileExt(), format.extension());
            QCOMPARE(OutputFormat::withCommandLineWord(format.commandLineWord().toUpper()),
                     &format);
            // AAC and Apple Lossless share .m4a: the extension names the first of them.
            const OutputFormat *byExtension = OutputFormat::withExtension(format.extension());
            QVERIFY(byExtension);
            QVERIFY(byExtension == &format || format.encoder() == QLatin1String("alac"));
            QCOMPARE(OutputFormat::all().at(format.index()).catalogueTitle(),
                     format.catalogueTitle());
        }
        QCOMPARE(OutputFormat::withCommandLineWord(QStringLiteral("aiff")), nullptr);
        QCOMPARE(OutputFormat::withCommandLineWord(QStringLiteral("ogg"))->encoder(), "libvorbis");
        // Names stored by earlier versions: any mention of AAC means AAC, anything else MP3.
        QCOMPARE(OutputFormat::forStoredName(QStringLiteral("AAC Audio")).extension(), "m4a");
        QCOMPARE(OutputFormat::forStoredName(QStringLiteral("Apple Lossless")).extension(), "mp3");
        QCOMPARE(OutputFormat::forStoredName(QString()).extension(), "mp3");
    }

    // Every shipped row must be usable: a title, an extension, and codecs the encoder knows.
    void shippedRowsAreComplete()
    {
        const FormatUtils *formats = FormatUtils::sharedInstance();
        QVERIFY(!formats->aryVideoFmts().isEmpty());
        QVERIFY(!formats->aryDevices().isEmpty());
        QVERIFY(!formats->aryAudioFmts().isEmpty());
        QSet<QString> titles;
        for (const QVariantList *rows :
             {&formats->aryVideoFmts(), &formats->aryDevices(), &formats->aryAudioFmts()}) {
            for (const QVariant &value : *rows) {
                const QVariantMap row = value.toMap();
                const QString title = row.value("title").toString();
                QVERIFY2(!titles.contains(title), qPrintable(title));
                titles.insert(title);
                QVERIFY(!row.value("ext").toString().isEmpty());
                const bool audio = rows == &formats->aryAudioFmts();
                QCOMPARE(row.value("formattype").toInt() == LSMedia::DestFmtAudio, audio);
                QStringList codecKeys{"acodec"};
                if (!audio)
                    codecKeys << "vcodec";
                for (const QString &key : codecKeys) {
                    const QString readable = row.value(key).toMap().value("default").toString();
                    QVERIFY2(!formats->dicCodecMap().value(readable).toString().isEmpty(),
                             qPrintable(title + ": " + readable));
                }
            }
        }
    }

    void lookupOrderIsFormatsDevicesAudios_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("ext");
        QTest::newRow("formats before audios") << "Shared"
                                               << "mkv";
        QTest::newRow("devices before audios") << "Tune"
                                               << "dev";
        QTest::newRow("first row of an array") << "Phone"
                                               << "3gp";
        QTest::newRow("only in audios") << "Song"
                                        << "mp3";
        QTest::newRow("case matters") << "movie" << QString();
        QTest::newRow("unknown") << "Nothing" << QString();
        QTest::newRow("empty") << "" << QString();
    }

    void lookupOrderIsFormatsDevicesAudios()
    {
        QFETCH(QString, title);
        QFETCH(QString, ext);
        const FormatUtils formats(testCatalogue());
        const QVariantMap found = formats.fmtDictionaryWitName(title);
        QCOMPARE(found.isEmpty(), ext.isNull());
        QCOMPARE(found.value("ext").toString(), ext.isNull() ? QString() : ext);
    }

    void fillsAVideoSourceFromAVideoFormat()
    {
        const FormatUtils formats(testCatalogue());
        const LSMediaPtr media = videoSource();
        formats.fillMedia(media.get(), "Movie");
        QCOMPARE(media->strOutFileExt(), QString("mp4"));
        QCOMPARE(media->strFmtName(), QString("Movie"));
        QCOMPARE(media->imgFormat(), QString("movie_icon"));
        QCOMPARE(media->eumDestFmtType(), 1);
        QCOMPARE(media->vOVCodecName(), QString("libx264"));
        QCOMPARE(media->dVOBitrate(), 1500.0);
        QCOMPARE(media->iOWidth(), 640);
        QCOMPARE(media->iOHeight(), 480);
        QCOMPARE(media->vOACodecName(), QString("aac"));
        QCOMPARE(media->strDescription(),
                 QString("Movie\nH.264,640*480,30.00,1500.00k\nAAC,128.00,44100.00"));

        media->setBSampeQuality(true); // keep the source's own video rate, in kbit/s
        formats.fillMedia(media.get(), "Movie");
        QCOMPARE(media->dVOBitrate(), 2345.0);
    }

    void splitsTheResolution_data()
    {
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<qint32>("width");
        QTest::addColumn<qint32>("height");
        QTest::newRow("width*height") << str("1280*720") << 1280 << 720;
        QTest::newRow("one number is both") << str("720") << 720 << 720;
        QTest::newRow("first and last piece") << str("1920*1080*3") << 1920 << 3;
        QTest::newRow("not numbers") << str("wide*tall") << 0 << 0;
        QTest::newRow("not a text") << "<integer>720</integer>" << 0 << 0;
    }

    void splitsTheResolution()
    {
        QFETCH(QString, resolution);
        QFETCH(qint32, width);
        QFETCH(qint32, height);
        const FormatUtils formats(testCatalogue(resolution));
        const LSMediaPtr media = videoSource();
        formats.fillMedia(media.get(), "Movie");
        QCOMPARE(media->iOWidth(), width);
        QCOMPARE(media->iOHeight(), height);
    }

    void anAudioSourceKeepsItsVideoSettings()
    {
        const FormatUtils formats(testCatalogue());
        LSMedia media;
        media.setEumMediaType(LSMedia::MediaTypeAudio);
        media.setVOVCodecName("keep");
        media.setStrOResolution("1*2");
        media.setVOFps(12);
        media.setDVOBitrate(34);
        formats.fillMedia(&media, "Song");
        QCOMPARE(media.vOVCodecName(), QString("keep"));
        QCOMPARE(media.strOResolution(), QString("1*2"));
        QCOMPARE(media.vOFps(), 12.0);
        QCOMPARE(media.dVOBitrate(), 34.0);
        // A codec missing from the map has no encoder name; a setting that is not a number is 0.
        QCOMPARE(media.readableAOCodecName(), QString("Opus"));
        QVERIFY(media.vOACodecName().isNull());
        QCOMPARE(media.dAOBitrate(), 0.0);
        QCOMPARE(media.strDescription(), QString("Song\n(null),1*2,12.00,34.00k\nOpus,0.00,0.00"));
    }

    void anUnknownTitleClearsTheSettingsButKeepsTheName()
    {
        const FormatUtils formats(testCatalogue());
        const LSMediaPtr media = videoSource();
        formats.fillMedia(media.get(), "Movie");
        formats.fillMedia(media.get(), "Nothing");
        QCOMPARE(media->strFmtName(), QString("Nothing"));
        QVERIFY(media->strOutFileExt().isNull());
        QVERIFY(media->imgFormat().isNull());
        QVERIFY(media->vOVCodecName().isNull());
        QVERIFY(media->vOACodecName().isNull());
        QCOMPARE(media->eumDestFmtType(), 0);
        QCOMPARE(media->iOWidth(), 0);
        QCOMPARE(media->dAOSamplerate(), 0.0);
        QCOMPARE(media->strDescription(),
                 QString("Nothing\n(null),(null),0.00,0.00k\n(null),0.00,0.00"));
    }

    void anEmptyTitleOrNoItemChangesNothing()
    {
        const FormatUtils formats(testCatalogue());
        const LSMediaPtr media = videoSource();
        formats.fillMedia(media.get(), "Movie");
        formats.fillMedia(media.get(), QString());
        formats.fillMedia(media.get(), "");
        formats.fillMedia(nullptr, "Movie");
        formats.configureDiscriptionOfMeida(nullptr);
        QCOMPARE(media->strFmtName(), QString("Movie"));
        QCOMPARE(media->strOutFileExt(), QString("mp4"));
        QCOMPARE(media->iOWidth(), 640);
    }

    void malformedBytesGiveAnEmptyCatalogue_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("not a plist") << QByteArray("hello, world");
        QTest::newRow("cut short") << testCatalogue().left(300);
        QTest::newRow("unclosed tags") << QByteArray("<plist><dict><key>Audios</key><array>");
        QTest::newRow("top level is a list")
            << QByteArray("<plist version=\"1.0\"><array><string>x</string></array></plist>");
        QTest::newRow("binary noise") << QByteArray("bplist00\xff\xfe\x01\x02garbage", 22);
        QTest::newRow("keys of the wrong kind")
            << QByteArray("<plist version=\"1.0\"><dict><key>Audios</key><string>MP3</string>"
                          "<key>codecMap</key><array/></dict></plist>");
    }

    void malformedBytesGiveAnEmptyCatalogue()
    {
        QFETCH(QByteArray, bytes);
        const FormatUtils formats(bytes);
        QVERIFY(formats.aryDevices().isEmpty());
        QVERIFY(formats.aryVideoFmts().isEmpty());
        QVERIFY(formats.aryAudioFmts().isEmpty());
        QVERIFY(formats.dicCodecMap().isEmpty());
        QVERIFY(formats.fmtDictionaryWitName("MP3 Audio").isEmpty());
        LSMedia media;
        formats.fillMedia(&media, "MP3 Audio");
        QCOMPARE(media.strFmtName(), QString("MP3 Audio"));
        QVERIFY(media.strOutFileExt().isNull());
    }
};

WAVELARK_TEST_MAIN(TestFormatUtils)
#include "tst_FormatUtils.moc"
