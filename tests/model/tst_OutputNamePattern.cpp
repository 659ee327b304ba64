#include "TestAudio.h"
#include "TestEnvironment.h"
#include "model/MVMediaInfo.h"
#include "model/MVMediaInfoItem.h"
#include "model/OutputNamePattern.h"

#include <QTemporaryDir>
#include <QtTest>

// Output names from tags: the fields, what a missing tag gives, and that no value leads out of
// the output folder; the tags as the probe reads them from real FLAC and Ogg files.
class TestOutputNamePattern : public QObject
{
    Q_OBJECT

    static TrackTags fullTags()
    {
        TrackTags tags;
        tags.artist = QStringLiteral("Nina Simone");
        tags.albumArtist = QStringLiteral("Various Artists");
        tags.album = QStringLiteral("Jazz Ballads");
        tags.title = QStringLiteral("Lilac Wine");
        tags.track = QStringLiteral("3/12");
        tags.disc = QStringLiteral("2/2");
        tags.date = QStringLiteral("1966-05-03");
        tags.genre = QStringLiteral("Jazz");
        return tags;
    }

private slots:
    void fieldsTakeTheirTags_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("path");
        QTest::newRow("artist album track title")
            << QStringLiteral("{albumartist}/{album}/{track} - {title}")
            << QStringLiteral("Various Artists/Jazz Ballads/03 - Lilac Wine");
        QTest::newRow("disc, year, genre, artist")
            << QStringLiteral("{genre}/{year}/{disc}-{track} {artist}")
            << QStringLiteral("Jazz/1966/2-03 Nina Simone");
        QTest::newRow("file name, any case of letters")
            << QStringLiteral("{FileName} ({Title})") << QStringLiteral("03 lilac (Lilac Wine)");
        QTest::newRow("unknown field stays")
            << QStringLiteral("{composer} - {title}") << QStringLiteral("{composer} - Lilac Wine");
        QTest::newRow("empty folders dropped")
            << QStringLiteral("//{album}///{title}/") << QStringLiteral("Jazz Ballads/Lilac Wine");
        QTest::newRow("no pattern") << QString() << QStringLiteral("03 lilac");
    }

    void fieldsTakeTheirTags()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, path);
        QCOMPARE(OutputNamePattern::apply(pattern, fullTags(), QStringLiteral("/in/03 lilac.flac")),
                 path);
    }

    void missingTagsGiveWordsOrTheFileName()
    {
        const QString input = QStringLiteral("/music/rip/track7.flac");
        QCOMPARE(OutputNamePattern::apply(QStringLiteral("{albumartist}/{album}/{track} - {title}"),
                                          TrackTags(), input),
                 QStringLiteral("Unknown Artist/Unknown Album/00 - track7"));
        QCOMPARE(OutputNamePattern::apply(QStringLiteral("{disc}|{year}|{genre}|{artist}"),
                                          TrackTags(), input),
                 QStringLiteral("1|Unknown Year|Unknown Genre|Unknown Artist"));
        TrackTags onlyArtist;
        onlyArtist.artist = QStringLiteral("  Björk ");
        onlyArtist.title = QStringLiteral("   ");
        QCOMPARE(
            OutputNamePattern::apply(QStringLiteral("{albumartist}/{title}"), onlyArtist, input),
            QStringLiteral("Björk/track7"));
    }

    // Two discs of one album stay apart, and a track count of three digits pads to three.
    void multiDiscAlbumsAndLongAlbums()
    {
        const QString pattern = QStringLiteral("{album}/{disc}-{track} {title}");
        TrackTags first = fullTags();
        first.disc = QStringLiteral("1/2");
        first.track = QStringLiteral("1");
        TrackTags second = fullTags();
        second.disc = QStringLiteral("2/2");
        second.track = QStringLiteral("1/9");
        const QString a = OutputNamePattern::apply(pattern, first, QStringLiteral("/a.flac"));
        const QString b = OutputNamePattern::apply(pattern, second, QStringLiteral("/b.flac"));
        QCOMPARE(a, QStringLiteral("Jazz Ballads/1-01 Lilac Wine"));
        QCOMPARE(b, QStringLiteral("Jazz Ballads/2-01 Lilac Wine"));
        TrackTags box = fullTags();
        box.track = QStringLiteral("7/120");
        QCOMPARE(OutputNamePattern::fieldValue(QStringLiteral("track"), box, QString()),
                 QStringLiteral("007"));
        box.track = QStringLiteral("A1");
        QCOMPARE(OutputNamePattern::fieldValue(QStringLiteral("track"), box, QString()),
                 QStringLiteral("A1"));
    }

    // A value never adds a folder, and nothing the pattern or a tag says leads out of the output
    // folder or hides the output.
    void valuesStayOneNameInsideTheFolder()
    {
        TrackTags tags;
        tags.artist = QStringLiteral("AC/DC");
        tags.album = QStringLiteral("..");
        tags.title = QStringLiteral(".hidden\nline");
        QCOMPARE(OutputNamePattern::apply(QStringLiteral("{artist}/{album}/{title}"), tags,
                                          QStringLiteral("/in/x.flac")),
                 QStringLiteral("AC_DC/_./_hidden line"));
        QCOMPARE(OutputNamePattern::apply(QStringLiteral("../../{artist}"), tags,
                                          QStringLiteral("/in/x.flac")),
                 QStringLiteral("_./_./AC_DC"));
        QCOMPARE(
            OutputNamePattern::apply(QStringLiteral("/ / /"), tags, QStringLiteral("/in/x.flac")),
            QStringLiteral("x"));
    }

    void presetsAndFieldsAreKnown()
    {
        QVERIFY(OutputNamePattern::presets().size() >= 2);
        QCOMPARE(OutputNamePattern::presets().first().title,
                 QStringLiteral("Artist/Album/Track - Title"));
        for (const OutputNamePattern::Preset &preset : OutputNamePattern::presets())
            QVERIFY2(OutputNamePattern::unknownFields(preset.pattern).isEmpty(),
                     qPrintable(preset.pattern));
        QCOMPARE(OutputNamePattern::unknownFields(QStringLiteral("{Album}/{foo}-{bar}{foo}")),
                 QStringList({QStringLiteral("foo"), QStringLiteral("bar")}));
        QVERIFY(OutputNamePattern::makesFolders(QStringLiteral("{album}/{title}")));
        QVERIFY(!OutputNamePattern::makesFolders(QStringLiteral("{artist} - {title}")));
    }

    // The probe reads the tags FLAC keeps on the file and Ogg on its stream, under the names
    // taggers write (ALBUMARTIST, TRACKNUMBER, DISCNUMBER, DATE).
    void theProbeReadsTheTags()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const TestAudio::Tags written{{QStringLiteral("ARTIST"), QStringLiteral("Artist A")},
                                      {QStringLiteral("ALBUMARTIST"), QStringLiteral("Band B")},
                                      {QStringLiteral("ALBUM"), QStringLiteral("Album C")},
                                      {QStringLiteral("TITLE"), QStringLiteral("Title D")},
                                      {QStringLiteral("TRACKNUMBER"), QStringLiteral("4/10")},
                                      {QStringLiteral("DISCNUMBER"), QStringLiteral("2")},
                                      {QStringLiteral("DATE"), QStringLiteral("2001-02-03")},
                                      {QStringLiteral("GENRE"), QStringLiteral("Folk")}};
        const QString flac = dir.filePath(QStringLiteral("t.flac"));
        const QString ogg = dir.filePath(QStringLiteral("t.ogg"));
        QVERIFY(TestAudio::makeFlac(flac, 0.5, written));
        QVERIFY(TestAudio::makeOgg(ogg, 0.5, written));
        for (const QString &path : {flac, ogg}) {
            MVMediaInfoItem item;
            item.setFilePath(path);
            QVERIFY(MVMediaInfo::dumpMediaInfo(&item));
            const TrackTags tags = item.tags();
            QCOMPARE(tags.artist, QStringLiteral("Artist A"));
            QCOMPARE(tags.albumArtist, QStringLiteral("Band B"));
            QCOMPARE(tags.album, QStringLiteral("Album C"));
            QCOMPARE(tags.title, QStringLiteral("Title D"));
            QCOMPARE(tags.track, QStringLiteral("4/10"));
            QCOMPARE(tags.disc, QStringLiteral("2"));
            QCOMPARE(tags.date, QStringLiteral("2001-02-03"));
            QCOMPARE(tags.genre, QStringLiteral("Folk"));
            // A copy carries them; probing a file without tags clears them.
            MVMediaInfoItem copy(item);
            QCOMPARE(copy.tags().album, QStringLiteral("Album C"));
        }
        const QString bare = dir.filePath(QStringLiteral("bare.flac"));
        QVERIFY(TestAudio::makeFlac(bare, 0.5));
        MVMediaInfoItem item;
        item.setFilePath(flac);
        QVERIFY(MVMediaInfo::dumpMediaInfo(&item));
        item.setFilePath(bare);
        QVERIFY(MVMediaInfo::dumpMediaInfo(&item));
        QVERIFY(item.tags().album.isEmpty());
        QVERIFY(item.tags().artist.isEmpty());
    }
};

WAVELARK_TEST_MAIN(TestOutputNamePattern)
#include "tst_OutputNamePattern.moc"
