#include "Shared/GlobalFun.h"
#include "TestEnvironment.h"
#include "crash/CrashReportObject.h"
#include "crash/CrashReportSender.h"
#include "crash/CrashReportUtil.h"
#include "model/UserIdentity.h"

#include <AppInfo.h>

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ChildRun
{
    bool ended = false; // false: still running after 30 s, then killed
    int signal = 0;     // the signal that ended it, 0 for a normal exit
    QString log;        // stdout and stderr
    QDateTime started;  // UTC, just before the start
    QDateTime finished; // UTC, just after the end
};

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void collectMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_messages.append(message);
    g_previousHandler(type, context, message);
}

class CollectingDelegate : public CrashReportDelegate
{
public:
    void handleCrashReport(const CrashReportObject &report) override
    {
        reports.append(report);
        CrashReportSender::sharedCrashReportSender().noticeHandleCrashReportSuccess();
    }
    QList<CrashReportObject> reports;
};

QString recordPath()
{
    return CrashReportUtil::getCrashReportObjectPath();
}

// The permission bits of `path`, -1 when it is not there.
int fileMode(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

QStringList documentsEntries()
{
    return QDir(QFileInfo(recordPath()).absolutePath()).entryList(QDir::Files | QDir::Hidden);
}

// The keys of the record file, in file order.
QStringList fileKeys(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList keys;
    const QCborMap map = QCborValue::fromCbor(file.readAll()).toMap();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        keys.append(it.key().toString());
    return keys;
}

bool anyLineContains(const QStringList &lines, const QString &text)
{
    for (const QString &line : lines) {
        if (line.contains(text))
            return true;
    }
    return false;
}

const QStringList kKeyOrder = {"osName",    "deviceModel", "deviceUniqueIdentifier",
                               "osVersion", "version",     "identifier",
                               "date",      "stackArray"};
const QString kWarning =
    QStringLiteral("-------------注意：注意：发现未处理得异常！！！------------");
const QString kSignalBanner =
    QStringLiteral("------------------------\\\\----------------------------");
const QString kHandedOver = QStringLiteral("已经交由Objective C处理，已经记录，因此C++不再处理");

} // namespace

class TestCrashReport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_logs;

    // Runs crash_child with `mode` and waits for it (at most 30 s, then it is killed).
    ChildRun runChild(const QString &mode, bool hooks = true)
    {
        QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/crash_child"));
        QByteArray modeArgument = mode.toUtf8();
        QByteArray plain("plain");
        char *argv[] = {program.data(), modeArgument.data(), hooks ? nullptr : plain.data(),
                        nullptr};
        const QString logPath = m_logs.filePath(QStringLiteral("child.log"));
        const int logFd = ::open(QFile::encodeName(logPath).constData(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ChildRun run;
        if (logFd < 0)
            return run;
        run.started = QDateTime::currentDateTimeUtc();
        const pid_t pid = fork();
        if (pid == 0) {
            const rlimit noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            dup2(logFd, STDOUT_FILENO);
            dup2(logFd, STDERR_FILENO);
            execv(argv[0], argv);
            _exit(127);
        }
        ::close(logFd);
        int status = 0;
        QDeadlineTimer deadline(30000);
        pid_t done = 0;
        while ((done = waitpid(pid, &status, WNOHANG)) == 0 && !deadline.hasExpired())
            QThread::msleep(20);
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        } else {
            run.ended = true;
            run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
        run.finished = QDateTime::currentDateTimeUtc();
        QFile log(logPath);
        if (log.open(QIODevice::ReadOnly))
            run.log = QString::fromUtf8(log.readAll());
        return run;
    }

    static void verifyDeviceFields(const CrashReportObject &record)
    {
        QCOMPARE(record.osName(), QStringLiteral("mac os"));
        QCOMPARE(record.osVersion(), GlobalFun::getSystemVersionString());
        QCOMPARE(record.deviceUniqueIdentifier(), UserIdentity::getGUID());
        QCOMPARE(record.deviceModel(), QStringLiteral("Mac|___"));
        QCOMPARE(record.identifier(), QStringLiteral("com.morvane.wavelark"));
        QCOMPARE(record.version(), QLatin1String(AppInfo::kShortVersion) +
                                       QStringLiteral(".build") +
                                       QLatin1String(AppInfo::kBuildNumber));
    }

    static void verifyCrashMoment(const CrashReportObject &record, const ChildRun &run)
    {
        // Only ordering, with slack for clock steps: the moment lies within the child's run.
        QVERIFY(record.date().isValid());
        QVERIFY(record.date() >= run.started.addSecs(-5));
        QVERIFY(record.date() <= run.finished.addSecs(5));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_logs.isValid());
        // QTest installs its own handler when it starts: collect on top of it.
        g_previousHandler = qInstallMessageHandler(collectMessage);
        QVERIFY(recordPath().startsWith(TestEnvironment::home() + QLatin1Char('/')));
        QVERIFY(recordPath().endsWith(QStringLiteral("/crash.info")));
        // The children read the id this creates.
        QVERIFY(!UserIdentity::getGUID().isEmpty());
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }

    void init()
    {
        QFile::remove(recordPath());
        g_messages.clear();
    }

    void recordFileRoundTrip()
    {
        const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1790000000123, Qt::UTC);
        const QStringList stack = {QStringLiteral("one"), QStringLiteral("two 注意")};
        const CrashReportObject written = CrashReportObject::initWithCrashDate(moment, stack);
        QVERIFY(written.writeToFile(recordPath(), true));
        QCOMPARE(fileKeys(recordPath()), kKeyOrder);
        // The record holds the permanent user id.
        QCOMPARE(fileMode(recordPath()), 0600);
        QFile::remove(recordPath());
        QVERIFY(written.writeToFile(recordPath(), false));
        QCOMPARE(fileMode(recordPath()), 0600);

        const std::optional<CrashReportObject> read =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(read);
        verifyDeviceFields(*read);
        QCOMPARE(read->date(), moment);
        QCOMPARE(read->stackArray(), std::optional<QStringList>(stack));
        QCOMPARE(read->description(), QStringLiteral("STACK:\none\ntwo 注意\n"));
    }

    void absentFieldsAreNotStored()
    {
        CrashReportObject record;
        record.setOsName(QStringLiteral("mac os"));
        record.setVersion(QStringLiteral("1.2.build45"));
        QVERIFY(record.writeToFile(recordPath(), true));
        QCOMPARE(fileKeys(recordPath()), QStringList({"osName", "version"}));

        const std::optional<CrashReportObject> read =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(read);
        QCOMPARE(read->osName(), QStringLiteral("mac os"));
        QVERIFY(read->identifier().isNull());
        QVERIFY(!read->date().isValid());
        QVERIFY(!read->stackArray());
        QCOMPARE(read->description(), QStringLiteral("STACK:\n"));
    }

    void fatalSignalLeavesOneRecord_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("signal");
        QTest::newRow("segmentation fault") << "segv" << SIGSEGV;
        QTest::newRow("abort") << "abort" << SIGABRT;
        QTest::newRow("write into a closed pipe") << "pipe" << SIGPIPE;
        QTest::newRow("expired alarm") << "alarm" << SIGALRM;
        QTest::newRow("division by zero") << "fpe" << SIGFPE;
        QTest::newRow("bus error") << "bus" << SIGBUS;
    }
    void fatalSignalLeavesOneRecord()
    {
        QFETCH(QString, mode);
        QFETCH(int, signal);

        const ChildRun plain = runChild(mode, false);
        QVERIFY(plain.ended);
        QCOMPARE(plain.signal, signal);
        QVERIFY(!QFile::exists(recordPath()));

        const ChildRun run = runChild(mode);
        QVERIFY2(run.ended, qPrintable(run.log));
        QCOMPARE(run.signal, plain.signal);
        QCOMPARE(documentsEntries(), QStringList({"crash.info"}));
        QCOMPARE(fileKeys(recordPath()), kKeyOrder);
        QCOMPARE(fileMode(recordPath()), 0600);

        const std::optional<CrashReportObject> record =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(record);
        verifyDeviceFields(*record);
        verifyCrashMoment(*record, run);
        const QStringList stack = record->stackArray().value_or(QStringList());
        QVERIFY(!stack.isEmpty());
        QVERIFY(stack.size() <= 128);
        QVERIFY2(anyLineContains(stack, QStringLiteral("crashChildTrigger")),
                 qPrintable(stack.join(QLatin1Char('\n'))));

        QCOMPARE(run.log.count(kWarning), 1);
        QVERIFY(run.log.contains(kSignalBanner + QLatin1Char('\n') + kWarning));
        QVERIFY(run.log.contains(QStringLiteral("---------|||||||| : ") + UserIdentity::getGUID()));
        QVERIFY(run.log.contains(stack.first()));
        QVERIFY(!run.log.contains(kHandedOver));
    }

    void uncaughtExceptionRecordsItsOwnStack()
    {
        const ChildRun plain = runChild(QStringLiteral("exception"), false);
        QVERIFY(plain.ended);
        QCOMPARE(plain.signal, SIGABRT);

        const ChildRun run = runChild(QStringLiteral("exception"));
        QVERIFY2(run.ended, qPrintable(run.log));
        QCOMPARE(run.signal, SIGABRT);
        QCOMPARE(documentsEntries(), QStringList({"crash.info"}));

        const std::optional<CrashReportObject> record =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(record);
        verifyDeviceFields(*record);
        verifyCrashMoment(*record, run);
        const QStringList stack = record->stackArray().value_or(QStringList());
        QVERIFY2(anyLineContains(stack, QStringLiteral("crashChildThrow")),
                 qPrintable(stack.join(QLatin1Char('\n'))));
        QVERIFY(!anyLineContains(stack, QStringLiteral("tarnwhistle")));
        QVERIFY(!anyLineContains(stack, QStringLiteral("NAME:")));

        // One framed block from the exception; the abort after it only says it was handed over.
        QCOMPARE(run.log.count(kWarning), 1);
        QVERIFY(
            run.log.contains(QStringLiteral("\r\rNAME:std::runtime_error\rREASON:disk on fire")));
        QVERIFY(run.log.contains(QStringLiteral("-[CrashReportSingal handleAllException:]")));
        QCOMPARE(fileMode(recordPath()), 0600);
        QCOMPARE(run.log.count(kHandedOver), 1);
        QVERIFY(!run.log.contains(kSignalBanner));
    }

    void untrappedSignals_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << "int" << SIGINT;
        QTest::newRow("SIGTERM") << "term" << SIGTERM;
        QTest::newRow("SIGHUP") << "hup" << SIGHUP;
    }
    void untrappedSignals()
    {
        QFETCH(QString, mode);
        QFETCH(int, signal);
        const ChildRun run = runChild(mode);
        QVERIFY(run.ended);
        QCOMPARE(run.signal, signal);
        QVERIFY(!QFile::exists(recordPath()));
        QVERIFY(!run.log.contains(kWarning));
    }

    void secondCrashReplacesFirst()
    {
        QVERIFY(runChild(QStringLiteral("segv")).ended);
        const std::optional<CrashReportObject> first =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(first);
        QVERIFY(!anyLineContains(first->stackArray().value_or(QStringList()),
                                 QStringLiteral("(abort+")));

        QVERIFY(runChild(QStringLiteral("abort")).ended);
        QCOMPARE(documentsEntries(), QStringList({"crash.info"}));
        const std::optional<CrashReportObject> second =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(second);
        QVERIFY(anyLineContains(second->stackArray().value_or(QStringList()),
                                QStringLiteral("(abort+")));
    }

    void crashInsideAllocatorStillEnds()
    {
        // Several tries: each sends the signal at a different moment of the allocator's work.
        for (int attempt = 0; attempt < 5; ++attempt) {
            QFile::remove(recordPath());
            const ChildRun run = runChild(QStringLiteral("malloc"));
            QVERIFY2(run.ended, "the crashing process hung");
            QCOMPARE(run.signal, SIGSEGV);
            QCOMPARE(documentsEntries(), QStringList({"crash.info"}));
            QVERIFY(CrashReportObject::initWithContentsOfFile(recordPath()));
        }
    }

    void pendingRecordIsHandedOnAndDeleted()
    {
        QVERIFY(runChild(QStringLiteral("segv")).ended);
        const std::optional<CrashReportObject> left =
            CrashReportObject::initWithContentsOfFile(recordPath());
        QVERIFY(left);

        CrashReportSender &sender = CrashReportSender::sharedCrashReportSender();
        QVERIFY(sender.hasPendingCrashReport());
        CollectingDelegate delegate;
        sender.handleCrashReport(&delegate);

        QCOMPARE(delegate.reports.size(), 1);
        const CrashReportObject &handed = delegate.reports.first();
        verifyDeviceFields(handed);
        QCOMPARE(handed.date(), left->date());
        QCOMPARE(handed.stackArray(), left->stackArray());
        QVERIFY(g_messages.contains(QStringLiteral("CRASH REPORT 处理成功")));
        QVERIFY(!QFile::exists(recordPath()));
        QVERIFY(!sender.hasPendingCrashReport());

        // The next start finds nothing and says nothing.
        g_messages.clear();
        sender.handleCrashReport(&delegate);
        QCOMPARE(delegate.reports.size(), 1);
        QVERIFY(g_messages.isEmpty());
    }

    void damagedRecordIsDeleted_data()
    {
        QCborMap map;
        map.insert(QStringLiteral("osName"), QStringLiteral("mac os"));
        map.insert(QStringLiteral("stackArray"), QCborArray({QStringLiteral("frame one")}));
        const QByteArray valid = map.toCborValue().toCbor();

        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not a crash record");
        QTest::newRow("cut short") << valid.left(valid.size() - 4);
        QTest::newRow("not a map") << QCborValue(42).toCbor();
        QTest::newRow("trailing bytes") << valid + QByteArray("\x01\x02", 2);
    }
    void damagedRecordIsDeleted()
    {
        QFETCH(QByteArray, content);
        QDir().mkpath(QFileInfo(recordPath()).absolutePath());
        QFile file(recordPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        CrashReportSender &sender = CrashReportSender::sharedCrashReportSender();
        QVERIFY(sender.hasPendingCrashReport());
        CollectingDelegate delegate;
        sender.handleCrashReport(&delegate);
        QVERIFY(delegate.reports.isEmpty());
        QVERIFY(!QFile::exists(recordPath()));
        QVERIFY(!sender.hasPendingCrashReport());
    }

    // Something other than a record file in its place must neither block nor flood the start.
    void specialRecordIsRemovedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("link to /dev/urandom") << "urandom";
        QTest::newRow("huge file") << "huge";
    }
    void specialRecordIsRemovedAtOnce()
    {
        QFETCH(QString, kind);
        QDir().mkpath(QFileInfo(recordPath()).absolutePath());
        const QByteArray path = QFile::encodeName(recordPath());
        if (kind == "fifo") {
            QVERIFY(::mkfifo(path.constData(), 0600) == 0);
        } else if (kind == "huge") {
            QFile file(recordPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(64 * 1024 * 1024)); // sparse
        } else {
            QVERIFY(QFile::link("/dev/" + kind, recordPath()));
        }

        CrashReportSender &sender = CrashReportSender::sharedCrashReportSender();
        QVERIFY(sender.hasPendingCrashReport());
        CollectingDelegate delegate;
        sender.handleCrashReport(&delegate);
        QVERIFY(delegate.reports.isEmpty());
        QVERIFY(!QFileInfo(recordPath()).exists() && !QFileInfo(recordPath()).isSymLink());
        QVERIFY(QFileInfo::exists("/dev/zero"));
        QVERIFY2(!g_messages.filter("is not a regular file of at most 1048576 bytes").isEmpty(),
                 qPrintable(g_messages.join('\n')));
    }
};

int main(int argc, char *argv[])
{
    TestEnvironment environment;
    QCoreApplication app(argc, argv);
    TestCrashReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CrashReport.moc"
