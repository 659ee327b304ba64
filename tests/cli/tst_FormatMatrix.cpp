#include "CliProcess.h"
#include "TestAudio.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/wavpackfile.h>

// Every input kind into every output format through the real wavelark-cli, on short files made
// here with full tags and a front cover; then the quality switches, the copy rule and the usage
// errors of the quality options.
class TestFormatMatrix : public QObject
{
    Q_OBJECT

    using Result = CliProcess::Result;

    struct InputKind
    {
        QString name; // also the input's base name
        QString file;
        double seconds = 0.0; // what it decodes to (WMA's encoder loses a few hundredths)
    };

    static constexpr double kSeconds = 2.0;
    const QSize m_coverSize{120, 90};

    QTemporaryDir m_dir;
    QList<InputKind> m_inputs;

    static QString cli() { return CliProcess::program(); }
    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

    static Result run(const QStringList &arguments)
    {
        return CliProcess::run(QStringList{"--no-sync"} + arguments);
    }

    static bool ffmpeg(const QStringList &arguments)
    {
        QByteArray output;
        const int status =
            TestAudio::run("ffmpeg", QStringList{"-v", "error", "-y"} + arguments, &output);
        if (status != 0)
            qWarning().noquote() << "ffmpeg" << arguments.join(' ') << ":" << output;
        return status == 0;
    }

    // The tags every input carries; the track and disc totals are kept apart as Vorbis comments
    // usually keep them, so every output must fold them into "3/12" and "1/2".
    static TestAudio::Tags sourceTags()
    {
        return {{"TITLE", "Träume"},
                {"ARTIST", "The Artist"},
                {"ALBUM", "The Album"},
                {"ALBUMARTIST", "Various"},
                {"TRACKNUMBER", "3"},
                {"TRACKTOTAL", "12"},
                {"DISCNUMBER", "1"},
                {"DISCTOTAL", "2"},
                {"DATE", "2001"},
                {"GENRE", "Rock"},
                {"COMMENT", "a comment"},
                {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
                {"REPLAYGAIN_TRACK_PEAK", "0.912345"},
                {"REPLAYGAIN_ALBUM_GAIN", "-7.00 dB"},
                {"REPLAYGAIN_ALBUM_PEAK", "0.987654"}};
    }

    // What ffprobe must read back from every file, under its names (upper-cased).
    static TestAudio::Tags expectedTags()
    {
        return {{"TITLE", "Träume"},
                {"ARTIST", "The Artist"},
                {"ALBUM", "The Album"},
                {"ALBUM_ARTIST", "Various"},
                {"TRACK", "3/12"},
                {"DISC", "1/2"},
                {"DATE", "2001"},
                {"GENRE", "Rock"},
                {"COMMENT", "a comment"},
                {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
                {"REPLAYGAIN_TRACK_PEAK", "0.912345"},
                {"REPLAYGAIN_ALBUM_GAIN", "-7.00 dB"},
                {"REPLAYGAIN_ALBUM_PEAK", "0.987654"}};
    }

    // Every expected tag, the cover, the length and a clean decode; the problems found, empty
    // when there are none. An input may keep a total apart (TRACKTOTAL), as the sources do.
    QStringList problemsOf(const QString &file, double expectedSeconds, bool isInput = false) const
    {
        if (!QFileInfo::exists(file))
            return {"missing"};
        QStringList problems;
        const TestAudio::Probe probe = TestAudio::probe(file);
        TestAudio::Tags tags = probe.tags;
        for (const QString &kind : {QStringLiteral("TRACK"), QStringLiteral("DISC")}) {
            const QString total = tags.value(kind + "TOTAL");
            if (isInput && !total.isEmpty() && !tags.value(kind).contains('/'))
                tags[kind] += "/" + total;
        }
        const TestAudio::Tags expected = expectedTags();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (tags.value(it.key()) != it.value())
                problems << QStringLiteral("%1 is \"%2\"").arg(it.key(), tags.value(it.key()));
        }
        const TestAudio::Cover &cover = probe.cover;
        if (cover.size != m_coverSize)
            problems << QStringLiteral("cover \"%1\" %2x%3")
                            .arg(cover.codec)
                            .arg(cover.size.width())
                            .arg(cover.size.height());
        // Encoders add a frame or two of padding; none may lose audio.
        const double seconds = probe.duration;
        if (seconds < expectedSeconds - 0.05 || seconds > expectedSeconds + 0.12)
            problems << QStringLiteral("lasts %1 s of %2 s").arg(seconds).arg(expectedSeconds);
        QByteArray decodeErrors;
        if (TestAudio::run("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"},
                           &decodeErrors) != 0 ||
            !decodeErrors.trimmed().isEmpty())
            problems << QStringLiteral("does not decode: %1").arg(QString::fromUtf8(decodeErrors));
        return problems;
    }

    // The length of the audio `file` decodes to, which may differ from what its header says.
    double decodedSeconds(const QString &file) const
    {
        const QString decoded = path("decoded.wav");
        if (!ffmpeg({"-i", file, "-map", "0:a", decoded}))
            return -1.0;
        const double seconds = TestAudio::probeDuration(decoded);
        QFile::remove(decoded);
        return seconds;
    }

    // The audio packets of `file`, hashed, as they are stored.
    static QByteArray audioHash(const QString &file)
    {
        QByteArray output;
        TestAudio::run("ffmpeg",
                       {"-v", "error", "-i", file, "-map", "0:a", "-c", "copy", "-f", "md5", "-"},
                       &output);
        return output.trimmed();
    }

    static QByteArray fileBytes(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    // Music-like noise that fades out, so that a variable-rate encoder has something to vary.
    bool makeNoise(const QString &file)
    {
        return TestAudio::run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", file, "synth",
                                      QString::number(kSeconds), "pinknoise", "fade", "0",
                                      QString::number(kSeconds), "1.5"}) == 0;
    }

    // The first converted output of `source` into `format` with `options`, in a folder of its
    // own; empty when the run failed.
    QString convert(const QString &source, const QString &format, const QStringList &options,
                    const QString &folder)
    {
        QDir().mkpath(path(folder));
        const Result result = run(QStringList{"--format", format, "-o", path(folder)} + options +
                                  QStringList{source});
        if (result.exitCode != 0) {
            qWarning().noquote() << result.err;
            return QString();
        }
        const QStringList files = QDir(path(folder)).entryList(QDir::Files, QDir::Name);
        return files.isEmpty() ? QString() : path(folder) + "/" + files.first();
    }

    bool makeMaster(const QString &cover)
    {
        return TestAudio::makeFlac(path("in_flac.flac"), kSeconds, sourceTags()) &&
               TestAudio::addFlacCover(path("in_flac.flac"), cover);
    }

    bool makeVorbis(const QString &cover)
    {
        return TestAudio::makeOgg(path("in_vorbis.ogg"), kSeconds, sourceTags()) &&
               TestAudio::addOggCover(path("in_vorbis.ogg"), cover, "image/png", m_coverSize);
    }

    // The program itself makes the inputs of its own output formats (checked like any input).
    bool makeWithProgram(const QString &format, const QString &name)
    {
        const QString made = convert(path("in_flac.flac"), format, {}, "made-" + name);
        const QString target = path("in_" + name + "." + QFileInfo(made).suffix());
        return !made.isEmpty() && QFile::rename(made, target);
    }

    bool makeAiff()
    {
        return ffmpeg({"-i", path("in_flac.flac"), "-map", "0:a", "-map", "0:v", "-c:v", "copy",
                       "-disposition:v", "attached_pic", "-map_metadata", "0", "-write_id3v2", "1",
                       "-c:a", "pcm_s16be", path("in_aiff.aiff")});
    }

    // WavPack keeps its cover as an APE binary item, which the encoder does not write.
    bool makeWavPack(const QString &cover)
    {
        if (!ffmpeg({"-i", path("in_flac.flac"), "-map", "0:a", "-map_metadata", "0", "-c:a",
                     "wavpack", path("in_wavpack.wv")}))
            return false;
        const QByteArray name = QFile::encodeName(path("in_wavpack.wv"));
        TagLib::WavPack::File file(name.constData(), false);
        const QByteArray picture = "cover.png" + QByteArray(1, '\0') + fileBytes(cover);
        file.APETag(true)->setData("Cover Art (Front)",
                                   TagLib::ByteVector(picture.constData(), uint(picture.size())));
        return file.save();
    }

    // WMA keeps its cover as a WM/Picture attribute, which the encoder does not write.
    bool makeWma(const QString &cover)
    {
        if (!ffmpeg({"-i", path("in_flac.flac"), "-map", "0:a", "-map_metadata", "0", "-c:a",
                     "wmav2", "-b:a", "128k", path("in_wma.wma")}))
            return false;
        const QByteArray name = QFile::encodeName(path("in_wma.wma"));
        TagLib::ASF::File file(name.constData(), false);
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType("image/png");
        const QByteArray bytes = fileBytes(cover);
        picture.setPicture(TagLib::ByteVector(bytes.constData(), uint(bytes.size())));
        file.tag()->setAttribute("WM/Picture", picture);
        return file.save();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString cover = path("cover.png");
        QVERIFY(TestAudio::makePicture(cover, m_coverSize));
        QVERIFY(makeMaster(cover));
        QVERIFY(makeVorbis(cover));
        QVERIFY(makeWithProgram("opus", "opus"));
        QVERIFY(makeWithProgram("mp3", "mp3"));
        QVERIFY(makeWithProgram("m4a", "aac"));
        QVERIFY(makeWithProgram("alac", "alac"));
        QVERIFY(makeWithProgram("wav", "wav"));
        QVERIFY(makeAiff());
        QVERIFY(makeWavPack(cover));
        QVERIFY(makeWma(cover));
        qInfo("APE inputs are not made: no encoder here writes Monkey's Audio");
        for (const QString &file : QDir(m_dir.path()).entryList({"in_*"}, QDir::Files)) {
            const double seconds = decodedSeconds(path(file));
            m_inputs.append({QFileInfo(file).completeBaseName(), path(file), seconds});
            // An input that lacks a tag would let an output lacking it pass.
            const QStringList problems = problemsOf(path(file), seconds, true);
            QVERIFY2(problems.isEmpty(), qPrintable(file + ": " + problems.join("; ")));
        }
        QCOMPARE(m_inputs.size(), 10);
    }

    // Each input kind into each format, with tags, cover and length checked on every output. An
    // input already in the output format is copied (other audio is accepted), so copies are
    // checked here too.
    void everyInputIntoEveryFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("extension");
        for (const auto &[format, extension] : QList<QPair<QString, QString>>{{"mp3", "mp3"},
                                                                              {"m4a", "m4a"},
                                                                              {"opus", "opus"},
                                                                              {"ogg", "ogg"},
                                                                              {"flac", "flac"},
                                                                              {"alac", "m4a"},
                                                                              {"wav", "wav"}})
            QTest::newRow(qPrintable(format)) << format << extension;
    }

    void everyInputIntoEveryFormat()
    {
        QFETCH(QString, format);
        QFETCH(QString, extension);
        const QString out = path("matrix-" + format);
        QDir().mkpath(out);
        QStringList files;
        for (const InputKind &input : std::as_const(m_inputs))
            files << input.file;
        const Result result =
            run(QStringList{"--all-audio", "--format", format, "--jobs", "2", "-o", out} + files);
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));

        QStringList failures;
        for (const InputKind &input : std::as_const(m_inputs)) {
            const QString output = out + "/" + input.name + "." + extension;
            const QStringList problems = problemsOf(output, input.seconds);
            if (!problems.isEmpty())
                failures << QStringLiteral("%1: %2").arg(input.name, problems.join("; "));
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));
    }

    // LAME's VBR writes a Xing header (a constant rate an "Info" one) and frames of varying size.
    void vbrMp3VariesItsFrames()
    {
        QVERIFY(makeNoise(path("noise.wav")));
        const QString source = path("noise.flac");
        QVERIFY(ffmpeg({"-i", path("noise.wav"), source}));
        const QString vbr = convert(source, "mp3", {"--all-audio", "--vbr", "2"}, "vbr");
        const QString cbr = convert(source, "mp3", {"--all-audio", "--bitrate", "128"}, "cbr");
        QVERIFY(!vbr.isEmpty() && !cbr.isEmpty());
        QVERIFY(fileBytes(vbr).contains("Xing"));
        QVERIFY(fileBytes(cbr).contains("Info"));

        QByteArray packets;
        QCOMPARE(TestAudio::run("ffprobe",
                                {"-v", "error", "-select_streams", "a", "-show_entries",
                                 "packet=size", "-of", "csv=p=0", vbr},
                                &packets),
                 0);
        const QList<QByteArray> sizes = packets.trimmed().split('\n');
        QVERIFY(QSet<QByteArray>(sizes.cbegin(), sizes.cend()).size() > 3);
    }

    // The Opus target rate and the Vorbis quality reach their encoders: the streams differ in
    // rate as asked. The FLAC level does too: level 0 leaves the file larger than level 8.
    void qualitySwitchesReachTheEncoder()
    {
        const QString source = path("noise.flac");
        if (!QFileInfo::exists(source)) {
            QVERIFY(makeNoise(path("noise.wav")));
            QVERIFY(ffmpeg({"-i", path("noise.wav"), source}));
        }
        auto bitRate = [](const QString &file) {
            QByteArray rate;
            TestAudio::run(
                "ffprobe",
                {"-v", "error", "-show_entries", "format=bit_rate", "-of", "csv=p=0", file}, &rate);
            return rate.trimmed().toInt();
        };
        const QString low = convert(source, "opus", {"--bitrate", "48"}, "opus48");
        const QString high = convert(source, "opus", {"--bitrate", "256"}, "opus256");
        QVERIFY2(bitRate(low) < 80000, qPrintable(QString::number(bitRate(low))));
        QVERIFY2(bitRate(high) > 150000, qPrintable(QString::number(bitRate(high))));

        // Vorbis writes its nominal rate into the stream header.
        const QString q0 = convert(source, "ogg", {"--vbr", "0"}, "vorbis0");
        const QString q10 = convert(source, "ogg", {"--vbr", "10"}, "vorbis10");
        QCOMPARE(TestAudio::readTags(q0).isEmpty(), false);
        auto nominalRate = [](const QString &file) {
            QByteArray nominal;
            TestAudio::run("ffprobe",
                           {"-v", "error", "-select_streams", "a", "-show_entries",
                            "stream=bit_rate", "-of", "csv=p=0", file},
                           &nominal);
            return nominal.trimmed().toInt();
        };
        QVERIFY2(nominalRate(q0) < 70000, qPrintable(QString::number(nominalRate(q0))));
        QVERIFY2(nominalRate(q10) > 450000, qPrintable(QString::number(nominalRate(q10))));

        QSettings store(TestEnvironment::configHome() + "/morvane/wavelark.conf",
                        QSettings::IniFormat);
        store.setValue("AppFlacCompressionLevelKey", 0);
        store.sync();
        const QString fast = convert(source, "flac", {}, "flac0");
        store.setValue("AppFlacCompressionLevelKey", 8);
        store.sync();
        const QString small = convert(source, "flac", {}, "flac8");
        store.remove("AppFlacCompressionLevelKey");
        store.sync();
        QVERIFY(!fast.isEmpty() && !small.isEmpty());
        QVERIFY2(QFileInfo(fast).size() > QFileInfo(small).size(),
                 qPrintable(QStringLiteral("%1 <= %2")
                                .arg(QFileInfo(fast).size())
                                .arg(QFileInfo(small).size())));
    }

    // An MP3 into MP3 keeps its audio bytes as they are, unless encoding again is asked for.
    void sameFormatIsCopied()
    {
        const QString mp3 = path("in_mp3.mp3");
        const QString copied = convert(mp3, "mp3", {"--all-audio"}, "copy");
        QVERIFY(!copied.isEmpty());
        QCOMPARE(audioHash(copied), audioHash(mp3));
        const QString again = convert(mp3, "mp3", {"--all-audio", "--reencode"}, "reencode");
        QVERIFY(!again.isEmpty());
        QVERIFY(audioHash(again) != audioHash(mp3));
    }

    // Without --all-audio an MP3 is refused, and the message says how to take it.
    void otherAudioNeedsTheSwitch()
    {
        const Result result = run({"-o", path("refused"), path("in_mp3.mp3")});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains("--all-audio"), qPrintable(result.err));
    }

    // A cover of several megabytes goes through whole (a command-line argument could not hold
    // it): into Opus, where it becomes a comment, and into WAV, where it goes into an ID3 chunk.
    void largeCoverGoesThroughWhole()
    {
        const QString cover = path("large.png");
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "nullsrc=s=1600x1200,geq=random(1)*255:128:128",
                        "-frames:v", "1", cover}));
        QVERIFY(QFileInfo(cover).size() > 2 * 1024 * 1024);
        const QString source = path("large-cover.flac");
        QVERIFY(TestAudio::makeFlac(source, kSeconds, sourceTags()));
        QVERIFY(TestAudio::addFlacCover(source, cover));
        for (const QString &format : {QStringLiteral("opus"), QStringLiteral("wav")}) {
            const QString output = convert(source, format, {}, "large-" + format);
            QVERIFY(!output.isEmpty());
            const QString extracted = path("large-" + format + ".png");
            QVERIFY(ffmpeg({"-i", output, "-map", "0:v", "-c", "copy", "-f", "image2", extracted}));
            QVERIFY2(fileBytes(extracted) == fileBytes(cover), qPrintable(format));
        }
    }

    void qualityOptionsAreChecked_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("bit rate above MP3's") << QStringList{"--format", "mp3", "--bitrate", "400"}
                                              << "outside what mp3 writes (8 to 320 kbit/s)";
        QTest::newRow("bit rate of a lossless format")
            << QStringList{"--format", "flac", "--bitrate", "256"} << "does not apply to flac";
        QTest::newRow("no number") << QStringList{"--bitrate", "fast"}
                                   << "--bitrate needs a bit rate in kbit/s, not \"fast\"";
        QTest::newRow("VBR of AAC") << QStringList{"--format", "m4a", "--vbr", "2"}
                                    << "--vbr applies to mp3 (V0 to V9) and ogg (0 to 10)";
        QTest::newRow("VBR beyond LAME's scale")
            << QStringList{"--format", "mp3", "--vbr", "10"} << "outside the mp3 scale (0 to 9)";
        QTest::newRow("both rate kinds")
            << QStringList{"--format", "mp3", "--vbr", "2", "--bitrate", "192"}
            << "exclude each other";
        QTest::newRow("a rate Opus cannot write")
            << QStringList{"--format", "opus", "--sample-rate", "44100"}
            << "--sample-rate 44100 is not a rate opus writes (try 48000)";
        QTest::newRow("negative VBR") << QStringList{"--vbr", "-1"} << "--vbr needs a quality";
    }

    void qualityOptionsAreChecked()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Result result = run(arguments + QStringList{path("in_flac.flac")});
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
    }
};

WAVELARK_TEST_MAIN(TestFormatMatrix)
#include "tst_FormatMatrix.moc"
