// Temporaries of the encoder's output and their final names; what the encoder said and which
// line of it explains a failure.

#include "TestEnvironment.h"
#include "engine/EncoderDiagnostics.h"
#include "engine/OutputReservation.h"
#include "engine/TemporaryOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <unistd.h>

namespace {

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The id of a process that has certainly ended.
qint64 endedProcessId()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), {});
    process.waitForFinished(30000);
    return process.processId() > 0 ? process.processId() : 999999;
}

} // namespace

class TestTemporaryOutput : public QObject
{
    Q_OBJECT

private slots:
    void temporaryIsHiddenBesideTheOutputAndKeepsTheExtension()
    {
        QTemporaryDir folder;
        const QString temporary = TemporaryOutput::reserve(folder.path() + "/Song.m4a");
        const QFileInfo info(temporary);
        QCOMPARE(info.path(), folder.path());
        QVERIFY(info.fileName().startsWith('.'));
        QCOMPARE(info.suffix(), QStringLiteral("m4a"));
        QCOMPARE(info.size(), 0);
        QCOMPARE(TemporaryOutput::ownerOf(info.fileName()), qint64(::getpid()));
        QVERIFY(!QFileInfo::exists(folder.path() + "/Song.m4a"));

        QString error;
        QVERIFY(TemporaryOutput::reserve("/nonexistent-wavelark/x.mp3", &error).isEmpty());
        QVERIFY(error.contains("nonexistent-wavelark"));
    }

    void commitNumbersAndNeverReplaces()
    {
        QTemporaryDir folder;
        const QString planned = folder.path() + "/a.mp3";
        write(planned, "keep me");
        QStringList finals;
        for (int i = 0; i < 3; ++i) {
            const QString temporary = TemporaryOutput::reserve(planned);
            write(temporary, QByteArray::number(i));
            finals << TemporaryOutput::commit(temporary, planned, "mp3");
            QVERIFY(!QFileInfo::exists(temporary));
        }
        QCOMPARE(finals, (QStringList{folder.path() + "/a(1).mp3", folder.path() + "/a(2).mp3",
                                      folder.path() + "/a(3).mp3"}));
        QCOMPARE(contents(planned), QByteArray("keep me"));
        QCOMPARE(contents(finals.at(2)), QByteArray("2"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    // Many threads finishing outputs of the same name at once: each gets its own.
    void concurrentCommitsKeepEveryOutput()
    {
        QTemporaryDir folder;
        const QString planned = folder.path() + "/same.m4a";
        constexpr int kThreads = 6;
        constexpr int kEach = 20;
        std::vector<QStringList> finals(kThreads);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back(QThread::create([&, t] {
                for (int i = 0; i < kEach; ++i) {
                    const QString temporary = TemporaryOutput::reserve(planned);
                    QFile file(temporary);
                    if (file.open(QIODevice::WriteOnly))
                        file.write(QByteArray::number(t * 1000 + i));
                    file.close();
                    finals[size_t(t)] << TemporaryOutput::commit(temporary, planned, "m4a");
                }
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        QSet<QString> distinct;
        QSet<QByteArray> written;
        for (const QStringList &list : finals) {
            for (const QString &path : list) {
                QVERIFY(!path.isEmpty());
                distinct.insert(path);
                written.insert(contents(path));
            }
        }
        QCOMPARE(distinct.size(), kThreads * kEach);
        QCOMPARE(written.size(), kThreads * kEach);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 kThreads * kEach);
    }

    // What the encoder writes through the descriptor is what gets the final name, numbered
    // beside an existing output; replacing takes the name of an out-of-date one.
    void reservationWritesThroughItsDescriptor()
    {
        QTemporaryDir folder;
        const QString final = folder.filePath(QStringLiteral("song.mp3"));
        write(final, "older");
        OutputReservation reservation;
        QString error;
        QVERIFY2(reservation.reserve(folder.path(), final, &error), qPrintable(error));
        QVERIFY(
            TemporaryOutput::isTemporaryName(QFileInfo(reservation.temporaryPath()).fileName()));
        QCOMPARE(reservation.encoderTarget(),
                 QStringLiteral("/proc/self/fd/%1").arg(reservation.descriptor()));
        write(reservation.encoderTarget(), "new");
        const QString committed = reservation.commit(final, QStringLiteral("mp3"), &error);
        QCOMPARE(committed, folder.filePath(QStringLiteral("song(1).mp3")));
        QCOMPARE(contents(committed), QByteArray("new"));
        QCOMPARE(contents(final), QByteArray("older"));
        QVERIFY(!QFileInfo::exists(reservation.temporaryPath()));

        OutputReservation again;
        QVERIFY(again.reserve(folder.path(), final, &error));
        write(again.encoderTarget(), "newest");
        QCOMPARE(again.replace(final, &error), final);
        QCOMPARE(contents(final), QByteArray("newest"));
        QVERIFY(!QFileInfo::exists(again.temporaryPath()));
    }

    // Someone who can write into the folder swaps the temporary for a link to another file:
    // neither that file nor the link gets anything.
    void swappedTemporaryIsNeitherFollowedNorNamed()
    {
        QTemporaryDir folder;
        QTemporaryDir elsewhere;
        const QString precious = elsewhere.filePath(QStringLiteral("precious.txt"));
        write(precious, "keep");
        const QString final = folder.filePath(QStringLiteral("song.mp3"));
        for (bool replacing : {false, true}) {
            OutputReservation reservation;
            QString error;
            QVERIFY(reservation.reserve(folder.path(), final, &error));
            QVERIFY(QFile::remove(reservation.temporaryPath()));
            QVERIFY(QFile::link(precious, reservation.temporaryPath()));
            write(reservation.encoderTarget(), "output");
            const QString named = replacing
                                      ? reservation.replace(final, &error)
                                      : reservation.commit(final, QStringLiteral("mp3"), &error);
            QVERIFY(named.isEmpty());
            QVERIFY2(error.contains(QStringLiteral("replaced")), qPrintable(error));
            QCOMPARE(contents(precious), QByteArray("keep"));
            QVERIFY(!QFileInfo::exists(final));
            reservation.discard();
            // The link is someone else's: left where it is.
            QVERIFY(QFileInfo(reservation.temporaryPath()).isSymLink());
            QFile::remove(reservation.temporaryPath());
        }
    }

    // A folder below the output folder (kept folder structure) replaced with a link leading out
    // of it: nothing is created there.
    void folderLinkLeadingOutIsRefused()
    {
        QTemporaryDir output;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), output.filePath(QStringLiteral("Album"))));
        QVERIFY(QDir().mkpath(output.filePath(QStringLiteral("Real/Disc 1"))));
        OutputReservation reservation;
        QString error;
        QVERIFY(!reservation.reserve(output.path(), output.filePath(QStringLiteral("Album/a.mp3")),
                                     &error));
        QVERIFY2(error.contains(QStringLiteral("leads outside the output folder")),
                 qPrintable(error));
        QCOMPARE(QDir(elsewhere.path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(reservation.reserve(output.path(),
                                    output.filePath(QStringLiteral("Real/Disc 1/a.mp3")), &error));
    }

    void staleTemporariesGoAndLiveOnesStay()
    {
        QTemporaryDir folder;
        const QString dead =
            QStringLiteral("%1/.wavelark-part-%2-0-a.mp3").arg(folder.path()).arg(endedProcessId());
        write(dead, "cut off");
        QProcess sleeper;
        sleeper.start(QStringLiteral("/bin/sleep"), {QStringLiteral("600")});
        QVERIFY(sleeper.waitForStarted(30000));
        const QString alive = QStringLiteral("%1/.wavelark-part-%2-0-b.mp3")
                                  .arg(folder.path())
                                  .arg(sleeper.processId());
        write(alive, "being written");
        const QString own = TemporaryOutput::reserve(folder.path() + "/c.mp3");
        const QString other = folder.path() + "/.wavelark-partial-notes.mp3";
        write(other, "not ours");

        QCOMPARE(TemporaryOutput::removeStale(folder.path()), 1);
        QVERIFY(!QFileInfo::exists(dead));
        QVERIFY(QFileInfo::exists(alive));
        QVERIFY(QFileInfo::exists(own));
        QVERIFY(QFileInfo::exists(other));
        sleeper.kill();
        sleeper.waitForFinished(30000);
    }

    void mostTellingLineNamesTheCause_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no space") << "Input #0, flac, from 'a.flac':\n"
                                     "  Duration: 00:00:40.00, start: 0.000000\n"
                                     "    TITLE           : Trial and Error\n"
                                     "size=     256kB time=00:00:16.00 bitrate= 131.1kbits/s\r"
                                     "av_interleaved_write_frame(): No space left on device\n"
                                     "Error writing trailer of out.mp3: No space left on device\n"
                                     "Conversion failed!\n"
                                  << "Error writing trailer of out.mp3: No space left on device";
        QTest::newRow("sample rate")
            << "[libmp3lame @ 0x55d0c1a2b3c0] Specified sample rate 12345 is not supported\n"
               "Error while opening encoder for output stream #0:0 - maybe incorrect parameters\n"
               "Conversion failed!\n"
            << "[libmp3lame] Specified sample rate 12345 is not supported";
        QTest::newRow("invalid data") << "ffmpeg version 5.1.6-0+deb12u1 Copyright (c) 2000-2024\n"
                                         "  libavcodec     59. 37.100 / 59. 37.100\n"
                                         "a.flac: Invalid data found when processing input"
                                      << "a.flac: Invalid data found when processing input";
        QTest::newRow("only the closing line") << "Conversion failed!\n"
                                               << "Conversion failed!";
        QTest::newRow("nothing") << ""
                                 << "";
    }
    void mostTellingLineNamesTheCause()
    {
        QFETCH(QString, output);
        QFETCH(QString, expected);
        EncoderDiagnostics diagnostics;
        // In pieces, as the pipe delivers it.
        for (qsizetype at = 0; at < output.size(); at += 7)
            diagnostics.append(output.mid(at, 7));
        diagnostics.finish();
        QCOMPARE(diagnostics.mostTellingLine(), expected);
        for (const QString &line : diagnostics.lines())
            QVERIFY(!EncoderDiagnostics::isProgressLine(line));
    }

    void keepsOnlyTheLastLines()
    {
        EncoderDiagnostics diagnostics;
        for (int i = 0; i < 100; ++i)
            diagnostics.append(QStringLiteral("line %1\n").arg(i));
        QCOMPARE(diagnostics.lines().size(), EncoderDiagnostics::kMaxLines);
        QCOMPARE(diagnostics.lastLine(), QStringLiteral("line 99"));
    }
};

WAVELARK_TEST_MAIN(TestTemporaryOutput)
#include "tst_TemporaryOutput.moc"
