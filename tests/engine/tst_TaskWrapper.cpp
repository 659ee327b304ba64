#include "TestEnvironment.h"
#include "engine/OutputDecoder.h"
#include "engine/TaskWrapper.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Records every call of the runner, in order, with the thread it came on.
class Recorder : public TaskWrapperController
{
public:
    void processStarted() override { calls << QStringLiteral("started"); }
    void appendOutput(const QString &output) override
    {
        calls << QStringLiteral("output");
        if (output.isNull())
            ++undecodable;
        this->output += output;
        threads << QThread::currentThread();
    }
    void processFinished() override { calls << QStringLiteral("finished"); }
    void launcherDidTerminatedWithCode(int code) override
    {
        calls << QStringLiteral("exit");
        status = code;
        ++exits;
        threads << QThread::currentThread();
    }

    QStringList calls;
    QString output;
    QList<QThread *> threads;
    int undecodable = 0;
    int status = -1000;
    int exits = 0;
};

QStringList shell(const QString &script)
{
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script};
}

} // namespace

class TestTaskWrapper : public QObject
{
    Q_OBJECT

private:
    // Starts `arguments`, notes what came before startProcess() returned, and waits for the
    // exit status.
    static void runToExit(Recorder &recorder, const QStringList &arguments,
                          std::unique_ptr<TaskWrapper> &task)
    {
        const int exitsBefore = recorder.exits;
        task = std::make_unique<TaskWrapper>(&recorder, arguments);
        task->startProcess();
        recorder.calls << QStringLiteral("returned");
        QTRY_COMPARE_WITH_TIMEOUT(recorder.exits, exitsBefore + 1, 60000);
    }

private slots:
    void exitStatusAndOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("only standard error")
            << shell(QStringLiteral("echo to-stderr >&2")) << 0 << "to-stderr\n";
        QTest::newRow("both streams") << shell(QStringLiteral("echo one; echo two >&2; echo three"))
                                      << 0 << "one\ntwo\nthree\n";
        QTest::newRow("immediate exit") << QStringList{QStringLiteral("/bin/true")} << 0 << "";
        QTest::newRow("exit code") << shell(QStringLiteral("exit 3")) << 3 << "";
        QTest::newRow("killed by a signal") << shell(QStringLiteral("kill -TERM $$")) << 15 << "";
        // Standard input is the null device: a program that reads it ends at once.
        QTest::newRow("stdin is empty") << QStringList{QStringLiteral("/bin/cat")} << 0 << "";
    }
    void exitStatusAndOutput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder, arguments, task);
        QCOMPARE(recorder.status, status);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.output, output, 10000);
        QCOMPARE(recorder.calls.first(), QStringLiteral("started"));
        QCOMPARE(recorder.calls.at(1), QStringLiteral("returned"));
        QVERIFY(!recorder.calls.mid(2).contains(QStringLiteral("started")));
    }

    void oneElementStartsWithoutArguments()
    {
        QTemporaryDir folder;
        const QString script = folder.path() + QStringLiteral("/count-args");
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\necho \"count:$#\"\n");
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner);
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder, {script}, task);
        QCOMPARE(recorder.output, QStringLiteral("count:0\n"));
        runToExit(recorder, {script, QStringLiteral("a b"), QStringLiteral("c")}, task);
        QCOMPARE(recorder.output, QStringLiteral("count:0\ncount:2\n"));
    }

    void programThatCannotStart_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/wavelark/ffmpeg");
        QTest::newRow("not executable") << QStringLiteral("not-executable");
        QTest::newRow("a folder") << QStringLiteral("/tmp");
    }
    void programThatCannotStart()
    {
        QFETCH(QString, program);
        QTemporaryDir folder;
        if (program == QLatin1String("not-executable")) {
            program = folder.path() + QStringLiteral("/plain.txt");
            QFile file(program);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\nexit 0\n");
        }
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder, {program, QStringLiteral("-version")}, task);
        QVERIFY(recorder.status != 0);
        QVERIFY(!task->startErrorString().isEmpty());
        // The status came from the event loop, after startProcess() had returned.
        QCOMPARE(recorder.calls.mid(0, 2),
                 (QStringList{QStringLiteral("started"), QStringLiteral("returned")}));
    }

    void stopEndsARunningChild()
    {
        Recorder recorder;
        auto task = std::make_unique<TaskWrapper>(
            &recorder, QStringList{QStringLiteral("/bin/sleep"), QStringLiteral("60")});
        task->startProcess();
        task->stopProcess();
        QVERIFY(recorder.calls.contains(QStringLiteral("finished")));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.exits, 1, 30000);
        QCOMPARE(recorder.status, 15);
    }

    // A child that ignores SIGTERM (as the stand-in does) is killed after the grace, so stopping
    // never hangs.
    void childIgnoringTheStopRequestIsKilled()
    {
        Recorder recorder;
        auto task = std::make_unique<TaskWrapper>(
            &recorder, shell(QStringLiteral("trap '' TERM; echo ready; exec sleep 600")));
        task->startProcess();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.output.contains(QStringLiteral("ready")), 30000);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("killing it")));
        task->stopProcess();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.exits, 1, 60000);
        QCOMPARE(recorder.status, 9);
    }

    void nothingReachesTheOwnerAfterTheExitStatus()
    {
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder, shell(QStringLiteral("echo done")), task);
        QCoreApplication::processEvents();
        const QStringList before = recorder.calls;
        task->stopProcess();
        QCoreApplication::processEvents();
        task.reset();
        QCOMPARE(recorder.calls, before);
        QCOMPARE(recorder.exits, 1);
    }

    void undecodableChunkComesAsNoText()
    {
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder, shell(QStringLiteral("printf '\\377\\376'")), task);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.undecodable, 1, 10000);
        QVERIFY(recorder.output.isEmpty());
    }

    void characterSplitBetweenChunksArrivesWhole()
    {
        // "é" is C3 A9; a read that ends between the two bytes must not lose the character, nor
        // spoil the chunk after it.
        OutputDecoder decoder;
        QCOMPARE(decoder.decode(QByteArray("time=00:00:01 caf\xc3")),
                 QStringLiteral("time=00:00:01 caf"));
        QCOMPARE(decoder.decode(QByteArray("\xa9 \xe2\x82")), QString::fromUtf8("\xc3\xa9 "));
        QCOMPARE(decoder.decode(QByteArray("\xac\n")), QString::fromUtf8("\xe2\x82\xac\n"));
        // A bad chunk is reported as such, and the stream carries on after it.
        QVERIFY(decoder.decode(QByteArray("\xff\xfe")).isNull());
        QCOMPARE(decoder.decode(QByteArray("ok")), QStringLiteral("ok"));

        // The same through a real child whose writes are a second apart.
        Recorder recorder;
        std::unique_ptr<TaskWrapper> task;
        runToExit(recorder,
                  shell(QStringLiteral("printf 'Mix \\303'; sleep 1; printf '\\251t\\n'")), task);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.output, QString::fromUtf8("Mix \xc3\xa9t\n"), 10000);
        QCOMPARE(recorder.undecodable, 0);
    }

    void callsArriveOnTheStartingThread()
    {
        Recorder recorder;
        QThread *worker = nullptr;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            worker = QThread::currentThread();
            TaskWrapper task(&recorder, shell(QStringLiteral("echo a; sleep 0.2; echo b")));
            task.startProcess();
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (recorder.exits > 0)
                    loop.quit();
            });
            poll.start(10);
            loop.exec();
        }));
        thread->start();
        QVERIFY(thread->wait(60000));
        QCOMPARE(recorder.exits, 1);
        QVERIFY(!recorder.threads.isEmpty());
        for (QThread *caller : std::as_const(recorder.threads))
            QCOMPARE(caller, worker);
        QCOMPARE(recorder.output, QStringLiteral("a\nb\n"));
    }
};

WAVELARK_TEST_MAIN(TestTaskWrapper)
#include "tst_TaskWrapper.moc"
