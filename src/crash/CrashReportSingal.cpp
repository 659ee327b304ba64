#include "crash/CrashReportSingal.h"

#include "Shared/Logging.h"
#include "crash/CrashRecordWriter.h"
#include "crash/CrashReportObject.h"
#include "crash/CrashReportUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <pthread.h>
#include <sys/syscall.h>
#include <typeinfo>
#include <unistd.h>

namespace {

// The fatal signals; SIGEMT exists only on some platforms.
const int kTrappedSignals[] = {
    SIGQUIT, SIGILL, SIGTRAP, SIGABRT,
#ifdef SIGEMT
    SIGEMT,
#endif
    SIGFPE,  SIGBUS, SIGSEGV, SIGSYS,  SIGPIPE, SIGALRM, SIGXCPU, SIGXFSZ,
};

// Set once an uncaught exception has been recorded; the abort that follows must not record again.
volatile std::sig_atomic_t g_exceptionRecorded = 0;
// The thread writing the signal record (0: none), so that a second crashing thread waits for
// the process to end instead of writing the same file at the same time.
std::atomic<long> g_signalThread{0};

// The device and application fields, taken at install time so that the exception handler
// neither creates a user id nor takes the preferences lock while the program dies.
std::atomic<const CrashReportObject *> g_deviceFields{nullptr};

// The crash recorder's log lines keep their wording: docs/ARCHITECTURE.md, "Kept as they are".
const char kHandedOver[] = "已经交由Objective C处理，已经记录，因此C++不再处理";
const QString kDashLine = QString(52, QLatin1Char('-'));

void resetTrappedSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kTrappedSignals)
        sigaction(signal, &action, nullptr);
}

void resetSignal(int signal)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// Log lines go to stderr, which may be a closed pipe: its SIGPIPE must neither end the process
// with the wrong signal nor cut the record short.
void blockBrokenPipe()
{
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, nullptr);
}

// Drops a SIGPIPE left pending by a log line (ignoring a signal discards it).
void discardBrokenPipe()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
    resetSignal(SIGPIPE);
}

void crashSignalHandler(int signal, siginfo_t *, void *)
{
    const int savedErrno = errno;
    if (g_exceptionRecorded) {
        CrashRecordWriter::logLine(kHandedOver);
        // Returning lets abort() end the process. Any other signal here (a fault while the
        // exception was being recorded) would come back at once: end with its default action.
        resetSignal(signal);
        errno = savedErrno;
        return;
    }

    const long self = syscall(SYS_gettid);
    long owner = 0;
    if (!g_signalThread.compare_exchange_strong(owner, self)) {
        if (owner == self) {
            // A fault while writing the record: give up on it and end.
            resetTrappedSignals();
            raise(signal);
            return;
        }
        // Another thread is recording its crash and will end the process.
        for (;;)
            pause();
    }

    blockBrokenPipe();
    CrashRecordWriter::writeSignalRecord();
    resetTrappedSignals();
    if (signal != SIGPIPE)
        discardBrokenPipe();
    // Delivered with the default action as soon as this handler returns.
    raise(signal);
    errno = savedErrno;
}

QString currentExceptionName(const std::type_info &type)
{
    int status = 0;
    char *demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    const QString name = QString::fromUtf8(status == 0 && demangled ? demangled : type.name());
    std::free(demangled);
    return name;
}

QString currentExceptionReason()
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return QString();
    try {
        std::rethrow_exception(current);
    } catch (const std::exception &exception) {
        return QString::fromLocal8Bit(exception.what());
    } catch (...) {
    }
    return QString();
}

[[noreturn]] void handleAllException()
{
    static std::atomic<bool> entered{false};
    const std::type_info *type = abi::__cxa_current_exception_type();
    // std::terminate without an exception (or again from in here) is recorded by the abort
    // signal handler as a plain abort.
    if (type == nullptr || entered.exchange(true))
        std::abort();

    g_exceptionRecorded = 1;
    blockBrokenPipe();

    const QString name = currentExceptionName(*type);
    const QString reason = currentExceptionReason();
    const QStringList stack = CrashRecordWriter::currentStackLines();

    QStringList logList = stack;
    // The fixed first line is what the crash service groups by: docs/ARCHITECTURE.md, "Kept as
    // they are".
    logList.prepend(QStringLiteral("0   tarnwhistle                             0x00000000 "
                                   "-[CrashReportSingal handleAllException:] + 000"));
    logList.append(QStringLiteral("\r\rNAME:%1\rREASON:%2").arg(name, reason));

    const CrashReportObject *fields = g_deviceFields.load(std::memory_order_acquire);
    CrashReportObject record = fields ? *fields : CrashReportObject::deviceFields();
    qCInfo(lcCrash).noquote()
        << QStringLiteral("---------|||||||| : %1").arg(record.deviceUniqueIdentifier());
    record.setDate(QDateTime::currentDateTimeUtc());
    record.setStackArray(stack);

    const QString path = CrashReportUtil::getCrashReportObjectPath();
    if (QFile::exists(path))
        QFile::remove(path);
    record.writeToFile(path, true);

    qCCritical(lcCrash).noquote() << kDashLine;
    qCCritical(lcCrash).noquote() << QStringLiteral(
        "-------------注意：注意：发现未处理得异常！！！------------");
    qCCritical(lcCrash).noquote() << kDashLine;
    qCCritical(lcCrash).noquote() << logList.join(QLatin1Char('\n'));
    qCCritical(lcCrash).noquote() << kDashLine;
    qCCritical(lcCrash).noquote() << kDashLine;

    std::abort();
}

// Traps the signals in table order; stops at the first failure and returns its errno.
int installSignalHandlers()
{
    for (int signal : kTrappedSignals) {
        struct sigaction action;
        std::memset(&action, 0, sizeof(action));
        action.sa_sigaction = crashSignalHandler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        if (sigaction(signal, &action, nullptr) != 0) {
            const int error = errno;
            qCWarning(lcCrash).noquote() << QString::asprintf(
                "Signal registration for %s failed: %s", strsignal(signal), std::strerror(error));
            return error;
        }
    }
    return 0;
}

} // namespace

CrashReportSingal::CrashReportSingal()
{
    // Everything the handlers need is ready before the first of them can run.
    const CrashReportObject fields = CrashReportObject::deviceFields();
    g_deviceFields.store(new CrashReportObject(fields), std::memory_order_release);
    CrashRecordWriter::prepare(fields, CrashReportUtil::getCrashReportObjectPath());

    std::set_terminate(handleAllException);
    m_registrationError = installSignalHandlers();
    if (m_registrationError != 0)
        qCWarning(lcCrash).noquote() << QStringLiteral("set unCaught signals failed...");
}
