// The loader of the window and wavelark-cli: what it hands over, in which order, and that the
// copies it keeps convert exactly like the items it made.
#include "TestAudio.h"
#include "TestEnvironment.h"
#include "engine/EncoderCommandLine.h"
#include "engine/MediaLoader.h"
#include "model/ConversionSettings.h"
#include "model/MediaItemBuilder.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestMediaLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tree;
    QString m_root;

    ConversionSettings keptFolders() const
    {
        ConversionSettings settings = ConversionSettings::current();
        settings.audioOutputFolder = QStringLiteral("/out");
        settings.keepFolders = true;
        settings.keepCover = true;
        return settings;
    }

private slots:
    void initTestCase()
    {
        // Album/Disc 1/01 Intro.flac with a front cover, Album/Disc 2/02 Outro.flac without.
        m_root = m_tree.filePath(QStringLiteral("Album"));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/Disc 1")));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/Disc 2")));
        const QString cover = m_tree.filePath(QStringLiteral("cover.png"));
        const QString intro = m_root + QStringLiteral("/Disc 1/01 Intro.flac");
        QVERIFY(
            TestAudio::makeFlac(intro, 2.0, {{QStringLiteral("TITLE"), QStringLiteral("Intro")}}));
        QVERIFY(TestAudio::makePicture(cover, QSize(40, 40)));
        QVERIFY(TestAudio::addFlacCover(intro, cover));
        QVERIFY(TestAudio::makeFlac(m_root + QStringLiteral("/Disc 2/02 Outro.flac"), 1.0));
    }

    void aSettledCopyConvertsLikeTheOriginal()
    {
        const ConversionSettings settings = keptFolders();
        const LSMediaPtr original = MediaItemBuilder::makeMedia(
            m_root + QStringLiteral("/Disc 1/01 Intro.flac"), settings, m_root);
        QVERIFY(original->coverStreamIndex() >= 0);
        const QList<LSMediaPtr> settled = MediaLoader::settled({original});
        QCOMPARE(settled.size(), 1);
        const LSMedia &copy = *settled.constFirst();
        QVERIFY(&copy != original.get());

        const QString planned = EncoderCommandLine::plannedOutputPath(*original, settings);
        QCOMPARE(planned, QStringLiteral("/out/Disc 1/01 Intro.mp3"));
        QCOMPARE(EncoderCommandLine::plannedOutputPath(copy, settings), planned);
        const QString encoder = QStringLiteral("/app/ffmpeg");
        const QStringList arguments =
            EncoderCommandLine::arguments(*original, encoder, planned, settings.keepCover);
        QVERIFY(arguments.contains(QStringLiteral("attached_pic")));
        QCOMPARE(EncoderCommandLine::arguments(copy, encoder, planned, settings.keepCover),
                 arguments);
    }

    void refusalsAndTheListingComeBeforeTheItemsInOrder()
    {
        MediaLoader loader;
        QStringList events;
        QStringList accepted;
        QStringList acceptedRoots;
        QList<LSMediaPtr> items;
        connect(&loader, &MediaLoader::inputsRefused, this,
                [&](const QList<InputRefusal> &refused) {
                    for (const InputRefusal &refusal : refused)
                        events << QStringLiteral("refused ") + refusal.path;
                });
        connect(&loader, &MediaLoader::inputsAccepted, this,
                [&](int batch, const QStringList &files, const QStringList &roots) {
                    events << QStringLiteral("accepted %1").arg(batch);
                    accepted = files;
                    acceptedRoots = roots;
                });
        connect(&loader, &MediaLoader::itemsLoaded, this,
                [&](int batch, const QList<LSMediaPtr> &loaded) {
                    events << QStringLiteral("items %1").arg(batch);
                    items += loaded;
                });
        QSignalSpy finished(&loader, &MediaLoader::batchFinished);
        const QString missing = m_tree.filePath(QStringLiteral("missing.flac"));
        loader.load({m_root, missing}, keptFolders(), 7);
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.constFirst().constFirst().toInt(), 7);

        QCOMPARE(events.value(0), QStringLiteral("refused ") + missing);
        QCOMPARE(events.value(1), QStringLiteral("accepted 7"));
        QCOMPARE(events.mid(2), QStringList(events.size() - 2, QStringLiteral("items 7")));
        // Folders are listed in the file system's order; the items keep the listing's.
        QStringList sorted = accepted;
        sorted.sort();
        QCOMPARE(sorted, QStringList({m_root + QStringLiteral("/Disc 1/01 Intro.flac"),
                                      m_root + QStringLiteral("/Disc 2/02 Outro.flac")}));
        QCOMPARE(acceptedRoots, QStringList({m_root, m_root}));
        QCOMPARE(items.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(items.at(i)->filePath(), accepted.at(i));
            QCOMPARE(items.at(i)->strSourceRoot(), m_root);
            QCOMPARE(items.at(i)->strOutFileExt(), QStringLiteral("mp3"));
        }
    }

    void aStoppedLoaderProbesNothingMore()
    {
        MediaLoader loader;
        loader.stop();
        QSignalSpy accepted(&loader, &MediaLoader::inputsAccepted);
        QSignalSpy loaded(&loader, &MediaLoader::itemsLoaded);
        QSignalSpy finished(&loader, &MediaLoader::batchFinished);
        loader.load({m_root}, keptFolders());
        QVERIFY(finished.wait(60000));
        QCOMPARE(accepted.size(), 1);
        QVERIFY(accepted.constFirst().at(1).toStringList().isEmpty());
        QCOMPARE(loaded.size(), 0);
    }
};

WAVELARK_TEST_MAIN(TestMediaLoader)
#include "tst_MediaLoader.moc"
