#include "TestEnvironment.h"
#include "model/LSMedia.h"

#include <QtTest>

class TestLSMedia : public QObject
{
    Q_OBJECT

private slots:
    void aNewItemIsPendingAndEmpty()
    {
        LSMedia item;
        QCOMPARE(item.eumCvtState(), qint32(LSMedia::CvtStatePending));
        QCOMPARE(item.dProgress(), 0.0f);
        QCOMPARE(item.dTrimLength(), 0.0);
        QCOMPARE(item.aspectOption(), qint32(LSMedia::AspectKeepSource));
        QCOMPARE(item.rcCroped(), QRectF(0, 0, 0, 0));
        QVERIFY(item.strOutFileExt().isNull());
        QVERIFY(item.filePath().isNull());
    }

    void aCopyCarriesEverythingButProfileAndAspect()
    {
        LSMedia item;
        item.setFilePath("/in/a.flac");
        item.setDuration(12.5);
        item.setEumMediaType(LSMedia::MediaTypeAudio);
        item.setStrProfileName("iPod");
        item.setStrProfileType("ipod");
        item.setAspectOption(LSMedia::Aspect16x9);
        item.setStrFmtName("MP3 Audio");
        item.setStrOutFileName("a");
        item.setStrOutFileExt("mp3");
        item.setVOACodecName("libmp3lame");
        item.setDAOBitrate(320);
        item.setDAOSamplerate(44100);
        item.setDProgress(42.5f);
        item.setEumCvtState(LSMedia::CvtStateFinished);
        item.setDTrimLength(12.5);
        item.setRcCroped(QRectF(1, 2, 3, 4));
        item.setEumCropType(2);
        item.setBSampeQuality(true);

        const LSMediaPtr copy = item.copy();
        QVERIFY(copy->strProfileName().isNull());
        QVERIFY(copy->strProfileType().isNull());
        QCOMPARE(copy->aspectOption(), qint32(LSMedia::AspectKeepSource));
        QCOMPARE(copy->filePath(), QString("/in/a.flac"));
        QCOMPARE(copy->duration(), 12.5);
        QCOMPARE(copy->eumMediaType(), qint32(LSMedia::MediaTypeAudio));
        QCOMPARE(copy->strFmtName(), QString("MP3 Audio"));
        QCOMPARE(copy->strOutFileName(), QString("a"));
        QCOMPARE(copy->strOutFileExt(), QString("mp3"));
        QCOMPARE(copy->vOACodecName(), QString("libmp3lame"));
        QCOMPARE(copy->dAOBitrate(), 320.0);
        QCOMPARE(copy->dAOSamplerate(), 44100.0);
        QCOMPARE(copy->dProgress(), 42.5f);
        QCOMPARE(copy->eumCvtState(), qint32(LSMedia::CvtStateFinished));
        QCOMPARE(copy->rcCroped(), QRectF(1, 2, 3, 4));
        QCOMPARE(copy->eumCropType(), 2);
        QVERIFY(copy->bSampeQuality());
    }

    void aCopyCarriesTheNotesAndOwnsThem()
    {
        LSMedia item;
        item.setStrSourceRoot(QStringLiteral("/music/Album"));
        item.setStrInputProblem(QStringLiteral("no audio stream"));
        item.setFailureReason(QStringLiteral("No space left on device"));
        item.setStrWarning(QStringLiteral("the input ends early"));
        item.setImgThumbnail(QStringLiteral("thumb"));
        item.setCoverStreamIndex(1);
        item.setCoverCodecName(QStringLiteral("png"));

        const LSMediaPtr copy = item.copy();
        QCOMPARE(copy->strSourceRoot(), QStringLiteral("/music/Album"));
        QCOMPARE(copy->strInputProblem(), QStringLiteral("no audio stream"));
        QCOMPARE(copy->failureReason(), QStringLiteral("No space left on device"));
        QCOMPARE(copy->strWarning(), QStringLiteral("the input ends early"));
        QCOMPARE(copy->imgThumbnail(), QStringLiteral("thumb"));
        QCOMPARE(copy->coverStreamIndex(), 1);
        QCOMPARE(copy->coverCodecName(), QStringLiteral("png"));
        // The copy's notes are its own: what its conversion writes leaves the original alone.
        copy->clearConversionNotes();
        copy->setRcCroped(QRectF(1, 2, 3, 4));
        QCOMPARE(item.failureReason(), QStringLiteral("No space left on device"));
        QCOMPARE(item.rcCroped(), QRectF(0, 0, 0, 0));
    }
};

WAVELARK_TEST_MAIN(TestLSMedia)
#include "tst_LSMedia.moc"
