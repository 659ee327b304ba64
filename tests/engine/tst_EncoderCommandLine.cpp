#include "TestEnvironment.h"
#include "engine/EncoderCommandLine.h"
#include "engine/OutputLayout.h"
#include "engine/OutputReservation.h"
#include "model/ConversionSettings.h"
#include "model/FormatUtils.h"
#include "model/OutputFormat.h"
#include "model/PrefKeys.h"
#include "model/TrackTags.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kEncoder = QStringLiteral("/opt/bin/ffmpeg");
const QString kOutput = QStringLiteral("/out/a.mp3");
const QStringList kTagMapping{QStringLiteral("-map_metadata"), QStringLiteral("0"),
                              QStringLiteral("-map_metadata"), QStringLiteral("0:s:0")};

LSMediaPtr audioItem()
{
    auto item = std::make_shared<LSMedia>();
    item->setFilePath(QStringLiteral("/in/a.flac"));
    item->setEumDestFmtType(LSMedia::DestFmtAudio);
    item->setDTrimLength(245.3);
    item->setVOACodecName(QStringLiteral("N"));
    item->setDAOSamplerate(44100);
    item->setDAOBitrate(320);
    item->setStrOutFileName(QStringLiteral("a"));
    item->setStrOutFileExt(QStringLiteral("mp3"));
    return item;
}

LSMediaPtr videoItem()
{
    LSMediaPtr item = audioItem();
    item->setEumDestFmtType(0);
    item->setVOVCodecName(QStringLiteral("libx264"));
    item->setDVOBitrate(1500);
    item->setStrOResolution(QStringLiteral("640*480"));
    item->setVOFps(30);
    item->setPixWidth(1920);
    item->setPixHeight(1080);
    item->setIOWidth(640);
    item->setIOHeight(480);
    return item;
}

// The elements that follow "-i <input>" and the tag mapping, up to "-acodec".
QStringList videoPart(const QStringList &args)
{
    const qsizetype from = args.indexOf(QStringLiteral("0:s:0")) + 1;
    const qsizetype to = args.indexOf(QStringLiteral("-acodec"));
    return args.mid(from, to - from);
}

} // namespace

class TestEncoderCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void encoderLiesBesideTheExecutable()
    {
        QCOMPARE(EncoderCommandLine::encoderPath(QStringLiteral("/usr/lib/wavelark/bin/wavelark")),
                 QStringLiteral("/usr/lib/wavelark/bin/ffmpeg"));
    }

    void audioArgumentsElementByElement()
    {
        QStringList expected{kEncoder,
                             QStringLiteral("-ss"),
                             QStringLiteral("0.0000"),
                             QStringLiteral("-t"),
                             QStringLiteral("245.3000"),
                             QStringLiteral("-i"),
                             QStringLiteral("/in/a.flac")};
        expected << kTagMapping;
        expected << QStringLiteral("-vn") << QStringLiteral("-acodec") << QStringLiteral("N")
                 << QStringLiteral("-ar") << QStringLiteral("44100.00") << QStringLiteral("-b:a")
                 << QStringLiteral("320.00k") << QStringLiteral("-ac") << QStringLiteral("2")
                 << QStringLiteral("-y") << kOutput;
        QCOMPARE(EncoderCommandLine::arguments(*audioItem(), kEncoder, kOutput), expected);
    }

    void videoArgumentsDifferOnlyInTheVideoPart()
    {
        const QStringList audio = EncoderCommandLine::arguments(*audioItem(), kEncoder, kOutput);
        const QStringList video = EncoderCommandLine::arguments(*videoItem(), kEncoder, kOutput);
        const QStringList expectedPart{
            QStringLiteral("-vcodec"), QStringLiteral("libx264"), QStringLiteral("-g"),
            QStringLiteral("15"),      QStringLiteral("-b:v"),    QStringLiteral("1500.00k"),
            QStringLiteral("-s"),      QStringLiteral("640*480"), QStringLiteral("-r"),
            QStringLiteral("30.00"),   QStringLiteral("-aspect"), QStringLiteral("1920:1080")};
        QCOMPARE(videoPart(video), expectedPart);
        QCOMPARE(videoPart(audio), QStringList{QStringLiteral("-vn")});
        QStringList audioRest = audio;
        audioRest.removeAll(QStringLiteral("-vn"));
        QStringList videoRest = video;
        for (const QString &element : expectedPart)
            videoRest.removeOne(element);
        QCOMPARE(videoRest, audioRest);
    }

    void coverAndTagMapsFollowTheProbe_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("coverIndex");
        QTest::addColumn<QString>("coverCodec");
        QTest::addColumn<bool>("keepCover");
        QTest::addColumn<QStringList>("middle"); // between "-i <input>" and "-acodec"
        const QStringList audioTags{"-map_metadata", "0", "-map_metadata", "0:s:a:0"};
        QTest::newRow("no audio found: first stream, no cover")
            << 0 << 1 << "png" << true << (kTagMapping + QStringList{"-vn"});
        QTest::newRow("audio without cover")
            << 2 << -1 << "" << true << (audioTags + QStringList{"-vn"});
        QTest::newRow("png copied")
            << 2 << 1 << "png" << true
            << (audioTags + QStringList{"-map", "0:a:0", "-map", "0:1", "-c:v", "copy",
                                        "-disposition:v:0", "attached_pic"});
        QTest::newRow("jpeg copied")
            << 6 << 2 << "mjpeg" << true
            << (audioTags + QStringList{"-map", "0:a:0", "-map", "0:2", "-c:v", "copy",
                                        "-disposition:v:0", "attached_pic"});
        QTest::newRow("gif converted")
            << 1 << 1 << "gif" << true
            << (audioTags + QStringList{"-map", "0:a:0", "-map", "0:1", "-c:v", "png",
                                        "-disposition:v:0", "attached_pic"});
        QTest::newRow("cover not wanted")
            << 2 << 1 << "png" << false << (audioTags + QStringList{"-vn"});
    }
    void coverAndTagMapsFollowTheProbe()
    {
        QFETCH(int, channels);
        QFETCH(int, coverIndex);
        QFETCH(QString, coverCodec);
        QFETCH(bool, keepCover);
        QFETCH(QStringList, middle);
        LSMediaPtr item = audioItem();
        item->setAudioChannels(channels);
        item->setCoverStreamIndex(coverIndex);
        item->setCoverCodecName(coverCodec);
        const QStringList args = EncoderCommandLine::arguments(*item, kEncoder, kOutput, keepCover);
        const qsizetype from = args.indexOf(QStringLiteral("/in/a.flac")) + 1;
        const qsizetype to = args.indexOf(QStringLiteral("-acodec"));
        QCOMPARE(args.mid(from, to - from), middle);
        // A video output never carries the cover.
        item->setEumDestFmtType(0);
        QVERIFY(!EncoderCommandLine::arguments(*item, kEncoder, kOutput, keepCover)
                     .contains(QStringLiteral("attached_pic")));
    }

    // Each format's encoder and quality switches, after "-acodec"; the sample rate is one the
    // encoder writes (Opus only 48 kHz and below), an Opus rate stays in the encoder's range.
    void eachFormatGetsItsQualitySwitches_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("quality");
        QTest::addColumn<double>("bitRate");
        QTest::addColumn<QStringList>("tail");
        const QString mp3(FormatNames::Mp3Audio);
        QTest::newRow("MP3 constant")
            << mp3 << -1 << 320.0
            << QStringList{"libmp3lame", "-ar", "44100.00", "-b:a", "320.00k"};
        QTest::newRow("MP3 V2") << mp3 << 2 << 320.0
                                << QStringList{"libmp3lame", "-ar", "44100.00", "-q:a", "2"};
        QTest::newRow("AAC") << QString(FormatNames::AacAudio) << -1 << 256.0
                             << QStringList{"aac", "-ar", "44100.00", "-b:a", "256.00k"};
        QTest::newRow("Opus above its range")
            << QString(FormatNames::OpusAudio) << -1 << 600.0
            << QStringList{"libopus", "-ar", "48000.00", "-b:a", "510.00k"};
        QTest::newRow("Vorbis 6") << QString(FormatNames::VorbisAudio) << 6 << 320.0
                                  << QStringList{"libvorbis", "-ar", "44100.00", "-q:a", "6"};
        QTest::newRow("FLAC level beyond the scale")
            << QString(FormatNames::FlacAudio) << 12 << 320.0
            << QStringList{"flac", "-ar", "44100.00", "-compression_level", "8"};
        QTest::newRow("Apple Lossless") << QString(FormatNames::AlacAudio) << -1 << 320.0
                                        << QStringList{"alac", "-ar", "44100.00"};
        QTest::newRow("WAV") << QString(FormatNames::WavAudio) << -1 << 320.0
                             << QStringList{"pcm_s16le", "-ar", "44100.00"};
    }
    void eachFormatGetsItsQualitySwitches()
    {
        QFETCH(QString, title);
        QFETCH(int, quality);
        QFETCH(double, bitRate);
        QFETCH(QStringList, tail);
        LSMediaPtr item = audioItem();
        FormatUtils::sharedInstance()->fillMedia(item.get(), title);
        item->setDAOSamplerate(44100);
        item->setDAOBitrate(bitRate);
        item->setIAOQuality(quality);
        const QStringList args = EncoderCommandLine::arguments(*item, kEncoder, kOutput);
        const qsizetype from = args.indexOf(QStringLiteral("-acodec")) + 1;
        QCOMPARE(args.mid(from), (tail + QStringList{"-ac", "2", "-y", kOutput}));
    }

    // The encoder carries the cover into MP3, M4A and FLAC, as the front cover where the kind is
    // named; Opus, Vorbis and WAV get theirs afterwards (TagCompletion). A copied stream keeps
    // the whole file: no trim, no rate switches.
    void coverPlacesAndCopies()
    {
        LSMediaPtr item = audioItem();
        item->setAudioChannels(2);
        item->setCoverStreamIndex(1);
        item->setCoverCodecName(QStringLiteral("png"));
        auto argumentsFor = [&item](QLatin1String title, bool copy = false) {
            FormatUtils::sharedInstance()->fillMedia(item.get(), title);
            return EncoderCommandLine::arguments(*item, kEncoder, kOutput, true, {}, copy);
        };
        QVERIFY(argumentsFor(FormatNames::Mp3Audio).contains("comment=Cover (front)"));
        QVERIFY(argumentsFor(FormatNames::FlacAudio).contains("comment=Cover (front)"));
        QVERIFY(argumentsFor(FormatNames::AacAudio).contains("attached_pic"));
        for (QLatin1String title :
             {FormatNames::OpusAudio, FormatNames::VorbisAudio, FormatNames::WavAudio}) {
            const QStringList args = argumentsFor(title);
            QVERIFY2(args.contains("-vn") && !args.contains("attached_pic"), title.data());
        }
        // WAV takes no tags from the encoder: its INFO list would sit before the audio.
        const QStringList wav = argumentsFor(FormatNames::WavAudio);
        QCOMPARE(wav.mid(wav.indexOf("-map_metadata"), 5),
                 (QStringList{"-map_metadata", "-1", "-fflags", "+bitexact", "-vn"}));
        const QStringList copy = argumentsFor(FormatNames::Mp3Audio, true);
        QVERIFY(!copy.contains("-ss") && !copy.contains("-b:a") && !copy.contains("-ar"));
        QCOMPARE(copy.mid(copy.indexOf("-acodec")),
                 (QStringList{"-acodec", "copy", "-y", kOutput}));
    }

    // An input is copied only when it is in the output format already, other audio is accepted
    // and encoding again is not asked for.
    void copyRule()
    {
        LSMediaPtr item = audioItem();
        FormatUtils::sharedInstance()->fillMedia(item.get(), FormatNames::Mp3Audio);
        item->setSameFormatIndex(OutputFormat::withTitle(FormatNames::Mp3Audio)->index());
        ConversionSettings settings;
        QVERIFY(!EncoderCommandLine::copiesAudio(*item, settings));
        settings.convertOtherAudio = true;
        QVERIFY(EncoderCommandLine::copiesAudio(*item, settings));
        settings.reencodeSameFormat = true;
        QVERIFY(!EncoderCommandLine::copiesAudio(*item, settings));
        settings.reencodeSameFormat = false;
        FormatUtils::sharedInstance()->fillMedia(item.get(), FormatNames::OpusAudio);
        QVERIFY(!EncoderCommandLine::copiesAudio(*item, settings));
    }

    void trimSwitches_data()
    {
        QTest::addColumn<double>("trimStart");
        QTest::addColumn<double>("trimLength");
        QTest::addColumn<double>("startTime");
        QTest::addColumn<QStringList>("leading"); // elements between the encoder and "-i"
        QTest::newRow("exactly one second") << 0.0 << 1.0 << 0.0 << QStringList();
        QTest::newRow("below one second") << 0.0 << 0.5 << 0.0 << QStringList();
        QTest::newRow("just above one second")
            << 0.0 << 1.0001 << 0.0
            << QStringList{QStringLiteral("-ss"), QStringLiteral("0.0000"), QStringLiteral("-t"),
                           QStringLiteral("1.0001")};
        QTest::newRow("start time moves the offset")
            << 0.0 << 10.0 << 1.5
            << QStringList{QStringLiteral("-ss"), QStringLiteral("-1.5000"), QStringLiteral("-t"),
                           QStringLiteral("10.0000")};
        QTest::newRow("trim start") << 12.25 << 3.0 << 0.25
                                    << QStringList{QStringLiteral("-ss"), QStringLiteral("12.0000"),
                                                   QStringLiteral("-t"), QStringLiteral("3.0000")};
    }
    void trimSwitches()
    {
        QFETCH(double, trimStart);
        QFETCH(double, trimLength);
        QFETCH(double, startTime);
        QFETCH(QStringList, leading);
        LSMediaPtr item = audioItem();
        item->setDTrimStart(trimStart);
        item->setDTrimLength(trimLength);
        item->setStartTime(startTime);
        const QStringList args = EncoderCommandLine::arguments(*item, kEncoder, kOutput);
        QCOMPARE(args.mid(1, args.indexOf(QStringLiteral("-i")) - 1), leading);
    }

    void cropAndAspect_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QRectF>("crop");
        QTest::addColumn<int>("aspectOption");
        QTest::addColumn<QStringList>("part");
        const QStringList common{QStringLiteral("-b:v"), QStringLiteral("1500.00k"),
                                 QStringLiteral("-s"),   QStringLiteral("640*480"),
                                 QStringLiteral("-r"),   QStringLiteral("30.00")};
        const QStringList x264{QStringLiteral("-vcodec"), QStringLiteral("libx264"),
                               QStringLiteral("-g"), QStringLiteral("15")};
        const auto aspect = [](const char *text) {
            return QStringList{QStringLiteral("-aspect"), QString::fromLatin1(text)};
        };
        const auto crop = [](const char *text) {
            return QStringList{QStringLiteral("-vf"), QString::fromLatin1(text)};
        };

        QTest::newRow("codec name in capitals adds no -g")
            << "LIBX264" << QRectF() << 0
            << QStringList{QStringLiteral("-vcodec"), QStringLiteral("LIBX264")} + common +
                   aspect("1920:1080");
        QTest::newRow("output size")
            << "libx264" << QRectF() << 1 << x264 + common + aspect("640:480");
        QTest::newRow("16:9") << "libx264" << QRectF() << 2 << x264 + common + aspect("16:9");
        QTest::newRow("4:3") << "libx264" << QRectF() << 3 << x264 + common + aspect("4:3");
        QTest::newRow("unknown option keeps the source")
            << "libx264" << QRectF() << 7 << x264 + common + aspect("1920:1080");
        QTest::newRow("crop scaled, aspect unscaled")
            << "libx264" << QRectF(192, 108, 960, 540) << 0
            << x264 + common + crop("crop=320:240:64:48") + aspect("960:540");
        QTest::newRow("zero width still crops")
            << "libx264" << QRectF(0, 0, 0, 10) << 0
            << x264 + common + crop("crop=0:4:0:0") + aspect("0:10");
        QTest::newRow("crop with 16:9")
            << "libx264" << QRectF(0, 0, 960, 540) << 2
            << x264 + common + crop("crop=320:240:0:0") + aspect("16:9");
    }
    void cropAndAspect()
    {
        QFETCH(QString, codec);
        QFETCH(QRectF, crop);
        QFETCH(int, aspectOption);
        QFETCH(QStringList, part);
        LSMediaPtr item = videoItem();
        item->setVOVCodecName(codec);
        item->setRcCroped(crop);
        item->setAspectOption(aspectOption);
        QCOMPARE(videoPart(EncoderCommandLine::arguments(*item, kEncoder, kOutput)), part);
    }

    void buildPlacesOutputByKindAndLogs()
    {
        QTemporaryDir audio;
        QTemporaryDir video;
        LSMediaPtr item = audioItem();
        QTest::ignoreMessage(QtInfoMsg,
                             qPrintable(QStringLiteral("tOutFile:%1/a.mp3").arg(audio.path())));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^args:\\(")));
        EncoderCommand command = EncoderCommandLine::build(*item, audio.path(), video.path(),
                                                           QStringLiteral("/app/bin/wavelark"));
        QCOMPARE(command.outputPath, audio.path() + QStringLiteral("/a.mp3"));
        QCOMPARE(command.arguments.first(), QStringLiteral("/app/bin/ffmpeg"));
        // The encoder writes into a hidden temporary, through the descriptor Wavelark opened (so
        // it names the container); the final name stays free until the end.
        QVERIFY(command.reservation);
        QCOMPARE(command.arguments.last(), command.reservation->encoderTarget());
        QCOMPARE(command.arguments.mid(command.arguments.size() - 3, 2),
                 QStringList({QStringLiteral("-f"), QStringLiteral("mp3")}));
        QVERIFY(QFileInfo(command.temporaryPath).fileName().startsWith(QLatin1Char('.')));
        QVERIFY(command.temporaryPath.endsWith(QStringLiteral(".mp3")));
        QVERIFY(QFileInfo::exists(command.temporaryPath));
        QVERIFY(!QFileInfo::exists(command.outputPath));

        item = videoItem();
        item->setStrOutFileExt(QStringLiteral("mp4"));
        QTest::ignoreMessage(QtInfoMsg, "Croped Rect:{{0, 0}, {0, 0}}");
        QTest::ignoreMessage(QtInfoMsg, "finally crop rect:(null),Ratio:1920:1080");
        command = EncoderCommandLine::build(*item, audio.path(), video.path(),
                                            QStringLiteral("/app/bin/wavelark"),
                                            QStringLiteral("/other/ffmpeg"));
        QCOMPARE(command.outputPath, video.path() + QStringLiteral("/a.mp4"));
        QCOMPARE(command.arguments.first(), QStringLiteral("/other/ffmpeg"));
    }

    void outputLayoutMirrorsOnlyFoldersBelowTheRoot_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("folder");
        QTest::newRow("flat by default") << "/in/Album"
                                         << "/in/Album/A/01.flac" << false << "/out";
        QTest::newRow("one level") << "/in/Album"
                                   << "/in/Album/A/01.flac" << true << "/out/A";
        QTest::newRow("two levels") << "/in/Album/"
                                    << "/in/Album/A/cd 1/01.flac" << true << "/out/A/cd 1";
        QTest::newRow("directly in the root") << "/in/Album"
                                              << "/in/Album/01.flac" << true << "/out";
        QTest::newRow("a file named by itself") << "/in/Album/A"
                                                << "/in/Album/A/01.flac" << true << "/out";
        QTest::newRow("a sibling sharing the prefix") << "/in/Album"
                                                      << "/in/Album2/A/01.flac" << true << "/out";
        QTest::newRow("not below the root") << "/in/Album"
                                            << "/elsewhere/01.flac" << true << "/out";
        QTest::newRow("no root") << ""
                                 << "/in/Album/A/01.flac" << true << "/out";
        QTest::newRow("the root is /") << "/"
                                       << "/in/01.flac" << true << "/out/in";
    }

    void outputLayoutMirrorsOnlyFoldersBelowTheRoot()
    {
        QFETCH(QString, root);
        QFETCH(QString, file);
        QFETCH(bool, keep);
        QFETCH(QString, folder);
        QCOMPARE(OutputLayout::folderFor(QStringLiteral("/out"), root, file, keep), folder);
    }

    void buildMakesTheKeptFoldersBelowAnExistingOutputFolder()
    {
        QTemporaryDir audio;
        LSMediaPtr first = audioItem();
        first->setFilePath(QStringLiteral("/in/Album/A/01 Intro.flac"));
        first->setStrSourceRoot(QStringLiteral("/in/Album"));
        first->setStrOutFileName(QStringLiteral("01 Intro"));
        LSMediaPtr second = first->copy();
        second->setFilePath(QStringLiteral("/in/Album/B/01 Intro.flac"));
        UserDefaults::standard().setVolatileValue(PrefKeys::AppKeepFolderStructure, true);
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^tOutFile:")));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^args:\\(")));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^tOutFile:")));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^args:\\(")));
        const EncoderCommand a =
            EncoderCommandLine::build(*first, audio.path(), audio.path(), QStringLiteral("/x"));
        const EncoderCommand b =
            EncoderCommandLine::build(*second, audio.path(), audio.path(), QStringLiteral("/x"));
        UserDefaults::standard().setVolatileValue(PrefKeys::AppKeepFolderStructure, QVariant());
        QCOMPARE(a.outputPath, audio.path() + QStringLiteral("/A/01 Intro.mp3"));
        QCOMPARE(b.outputPath, audio.path() + QStringLiteral("/B/01 Intro.mp3"));
        // The temporaries lie beside their outputs, so the final rename stays in one folder.
        QCOMPARE(QFileInfo(a.temporaryPath).path(), audio.path() + QStringLiteral("/A"));
        QCOMPARE(QFileInfo(b.temporaryPath).path(), audio.path() + QStringLiteral("/B"));

        // A missing output folder is not made behind the user's back.
        const QString missing = audio.path() + QStringLiteral("/gone");
        QVERIFY(!OutputLayout::ensureFolder(missing, missing + QStringLiteral("/A")));
        QVERIFY(!QFileInfo::exists(missing));
    }

    // A pattern without folders names the file inside the kept folders; one with folders decides
    // them. Cleaned names reach the kept source folders too, never the output folder.
    void patternsAndKeptFoldersCombine()
    {
        LSMediaPtr item = audioItem();
        item->setFilePath(QStringLiteral("/in/Who: Me?/CD1/01 a.flac"));
        item->setStrSourceRoot(QStringLiteral("/in"));
        item->setStrOutFileName(QStringLiteral("01 a"));
        TrackTags tags;
        tags.album = QStringLiteral("Al");
        tags.title = QStringLiteral("T|1");
        item->setTags(tags);
        using Level = OutputNaming::Level;
        const QString out = QStringLiteral("/out:1");
        QCOMPARE(OutputLayout::plannedPath(*item, out, true),
                 QStringLiteral("/out:1/Who: Me?/CD1/01 a.mp3"));
        QCOMPARE(OutputLayout::plannedPath(
                     *item, out, true, OutputNaming(QStringLiteral("{title}"), Level::AsWritten)),
                 QStringLiteral("/out:1/Who: Me?/CD1/T|1.mp3"));
        QCOMPARE(
            OutputLayout::plannedPath(
                *item, out, true, OutputNaming(QStringLiteral("{album}/{title}"), Level::Portable)),
            QStringLiteral("/out:1/Al/T_1.mp3"));
        QCOMPARE(
            OutputLayout::plannedPath(*item, out, true, OutputNaming(QString(), Level::Portable)),
            QStringLiteral("/out:1/Who_ Me_/CD1/01 a.mp3"));
        QCOMPARE(OutputLayout::plannedPath(
                     *item, out, false, OutputNaming(QStringLiteral("{title}"), Level::AsciiOnly)),
                 QStringLiteral("/out:1/T_1.mp3"));
    }

    // A name longer than the file system takes is shortened when it is refused: the folder at
    // build time, the file when it gets its final name. The temporary lies in the output folder.
    void aNameTooLongIsTriedAgainShorter()
    {
        QTemporaryDir audio;
        LSMediaPtr item = audioItem();
        TrackTags tags;
        tags.album = QString(300, QLatin1Char('A'));
        tags.title = QString(300, QLatin1Char('T'));
        item->setTags(tags);
        UserDefaults::standard().setVolatileValue(PrefKeys::AppOutputNamePattern,
                                                  QStringLiteral("{album}/{title}"));
        auto reset = qScopeGuard([] {
            UserDefaults::standard().setVolatileValue(PrefKeys::AppOutputNamePattern, QVariant());
        });
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^tOutFile:")));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("^args:\\(")));
        const EncoderCommand command =
            EncoderCommandLine::build(*item, audio.path(), audio.path(), QStringLiteral("/x"));
        QVERIFY2(!command.temporaryPath.isEmpty(), qPrintable(command.reserveError));
        QCOMPARE(QFileInfo(command.temporaryPath).path(), audio.path());
        QCOMPARE(command.naming.level(), OutputNaming::Level::Portable);
        const QString folder = QFileInfo(command.outputPath).path();
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QFileInfo(folder).fileName(), QString(255, QLatin1Char('A')));

        QString error;
        const QString output = EncoderCommandLine::commitOutput(command, *item, &error);
        QVERIFY2(!output.isEmpty(), qPrintable(error));
        QCOMPARE(QFileInfo(output).fileName().toUtf8().size(), 247);
        QVERIFY(!QFileInfo::exists(command.temporaryPath));
    }

    void olderPlayersOptionsReachTheCommandLine()
    {
        LSMediaPtr item = audioItem();
        item->setVOACodecName(QStringLiteral("libmp3lame"));
        item->setAudioChannels(2);
        item->setCoverStreamIndex(1);
        item->setCoverCodecName(QStringLiteral("png"));
        PlayerCompatibility older;
        older.id3v23 = true;
        older.coverMaxSize = 500;
        const QStringList args = EncoderCommandLine::arguments(
            *item, QStringLiteral("/x/ffmpeg"), QStringLiteral("/o.mp3"), true, older);
        QVERIFY(args.join(' ').contains(QStringLiteral("-id3v2_version 3 -y /o.mp3")));
        QVERIFY(args.join(' ').contains(QStringLiteral("-c:v mjpeg")));
        QVERIFY(args.join(' ').contains(QStringLiteral("scale='min(500,iw)':'min(500,ih)'")));
        // Not for AAC, and no size limit leaves the cover as it is.
        item->setVOACodecName(QStringLiteral("aac"));
        const QStringList aac = EncoderCommandLine::arguments(*item, QStringLiteral("/x/ffmpeg"),
                                                              QStringLiteral("/o.m4a"), true,
                                                              PlayerCompatibility{true, 0});
        QVERIFY(!aac.contains(QStringLiteral("-id3v2_version")));
        QVERIFY(aac.join(' ').contains(QStringLiteral("-c:v copy")));
    }

    void staleTemporariesGoFromTheKeptFoldersToo()
    {
        QTemporaryDir out;
        QVERIFY(QDir().mkpath(out.path() + "/A"));
        QVERIFY(QDir().mkpath(out.path() + "/B"));
        // Left by a program that was killed (no process has this id).
        const QStringList left{out.path() + "/.wavelark-part-999999-0-x.mp3",
                               out.path() + "/A/.wavelark-part-999999-1-01 Intro.mp3",
                               out.path() + "/B/.wavelark-part-999999-2-01 Intro.mp3"};
        for (const QString &path : left) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QStringList roots{"/in/Album", "/in/Album"};
        const QStringList files{"/in/Album/A/01 Intro.flac", "/in/Album/A/02.flac"};

        QCOMPARE(OutputLayout::removeStaleTemporaries(out.path(), roots, files, false), 1);
        QVERIFY(QFileInfo::exists(left.at(1)));
        // Only the folders this run writes into are looked at.
        QCOMPARE(OutputLayout::removeStaleTemporaries(out.path(), roots, files, true), 1);
        QVERIFY(!QFileInfo::exists(left.at(1)));
        QVERIFY(QFileInfo::exists(left.at(2)));
    }
};

WAVELARK_TEST_MAIN(TestEncoderCommandLine)
#include "tst_EncoderCommandLine.moc"
