#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/ConvertOperation.h"
#include "engine/EncoderCommandLine.h"
#include "model/MediaItemBuilder.h"
#include "model/PrefKeys.h"
#include "model/PreferenceDefaults.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The wide-input matrix: inputs beyond what the encoders take (six channels, 192 kHz/24-bit, 8 kHz
// mono) through both outputs under each kind of setting of the conversion pane. Every one must
// convert to stereo at the rate the settings ask for (or the nearest one the encoder can write).
class TestWideInputs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_sources;
    QString m_outputFolder;

    static UserDefaults &defaults() { return UserDefaults::standard(); }

private slots:
    void initTestCase()
    {
        PreferenceDefaults::registerDefaults(defaults());
        m_outputFolder = TestEnvironment::home() + QStringLiteral("/wide");
        QVERIFY(QDir().mkpath(m_outputFolder));
        defaults().setValue(PrefKeys::AppAudioOutputFolder, m_outputFolder);
        defaults().setValue(PrefKeys::AppBSyncToiTunes, false);
        QVERIFY(TestAudio::makeShapedFlac(m_sources.filePath("six.flac"), 1.0, 44100, 6, 16));
        QVERIFY(TestAudio::makeShapedFlac(m_sources.filePath("high.flac"), 1.0, 192000, 2, 24));
        QVERIFY(TestAudio::makeShapedFlac(m_sources.filePath("low.flac"), 1.0, 8000, 1, 16));
    }

    void matrix_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("sameQuality");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("bitRate");
        QTest::addColumn<int>("expectedRate");
        const struct
        {
            const char *name;
            bool sameQuality;
            double rate;
            double bitRate;
            int mp3Rate;
            int aacRate;
        } settings[] = {
            {"same quality", true, 0, 0, 44100, 44100},
            {"8000 Hz 64k", false, 8000, 64, 8000, 8000},
            {"22050 Hz 320k", false, 22050, 320, 22050, 22050},
            {"48000 Hz 320k", false, 48000, 320, 48000, 48000},
            // Beyond MP3: the nearest rate it can write.
            {"96000 Hz 320k", false, 96000, 320, 48000, 96000},
        };
        for (const char *input : {"six", "high", "low"}) {
            for (const char *format : {"mp3", "m4a"}) {
                const bool mp3 = qstrcmp(format, "mp3") == 0;
                for (const auto &setting : settings) {
                    QTest::addRow("%s to %s, %s", input, format, setting.name)
                        << QString::fromLatin1(input) << QString::fromLatin1(format)
                        << setting.sameQuality << setting.rate << setting.bitRate
                        << (mp3 ? setting.mp3Rate : setting.aacRate);
                }
            }
        }
    }
    void matrix()
    {
        QFETCH(QString, input);
        QFETCH(QString, format);
        QFETCH(bool, sameQuality);
        QFETCH(double, rate);
        QFETCH(double, bitRate);
        QFETCH(int, expectedRate);
        defaults().setValue(PrefKeys::PreferedFormatName, format == QLatin1String("mp3")
                                                              ? QString(FormatNames::Mp3Audio)
                                                              : QString(FormatNames::AacAudio));
        defaults().setValue(PrefKeys::BSameQuality, sameQuality);
        if (!sameQuality) {
            defaults().setValue(PrefKeys::DoubleSamepleRate, rate);
            defaults().setValue(PrefKeys::DoubleBitRate, bitRate);
        }

        LSMediaPtr item = MediaItemBuilder::makeMedia(m_sources.filePath(input + ".flac"));
        QCOMPARE(item->strOutFileExt(), format);
        auto operation = std::make_shared<ConvertOperation>(item);
        {
            OperationQueue queue(1);
            queue.addOperation(operation);
            QTRY_COMPARE_WITH_TIMEOUT(queue.operationCount(), 0, 120000);
        }
        QVERIFY2(item->eumCvtState() == LSMedia::CvtStateFinished,
                 qPrintable(operation->lastErrorLine()));
        const QPair<int, int> written = TestAudio::probeAudioFormat(operation->outputPath());
        QCOMPARE(written.first, expectedRate);
        QCOMPARE(written.second, 2);
        QVERIFY(qAbs(TestAudio::probeDuration(operation->outputPath()) - 1.0) < 0.2);
    }

    void ratesTheEncodersCannotWriteBecomeTheNearestTheyCan()
    {
        QCOMPARE(EncoderCommandLine::supportedSampleRate("libmp3lame", 96000), 48000.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("libmp3lame", 44100), 44100.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("libmp3lame", 7000), 8000.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("aac", 192000), 96000.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("aac", 50000), 48000.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("aac", 0), 0.0);
        QCOMPARE(EncoderCommandLine::supportedSampleRate("other", 50000), 50000.0);
    }
};

WAVELARK_TEST_MAIN(TestWideInputs)
#include "tst_WideInputs.moc"
