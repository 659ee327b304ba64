#include "crash/CrashRecordWriter.h"

#include "crash/CrashReportObject.h"

#include <QByteArray>
#include <QCborValue>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Everything the handler reads, built once in normal context and never changed afterwards.
struct Prepared
{
    QByteArray folder;     // Documents folder, created by the handler when missing
    QByteArray recordPath; // .../crash.info
    QByteArray head;       // map header and the six device and application fields
    QByteArray dateKey;
    QByteArray stackKey;
    QByteArray deviceLine; // "---------|||||||| : <id>\n"
};

// Published once fully built; earlier preparations are leaked on purpose, since a handler on
// another thread may still be reading them.
std::atomic<const Prepared *> g_prepared{nullptr};

constexpr std::size_t kLineLimit = 4096;
constexpr std::size_t kArenaSize = 256 * 1024;

struct StackLine
{
    const char *text;
    std::size_t length;
};

// Appends to a fixed buffer, dropping what does not fit.
class FixedText
{
public:
    FixedText(char *buffer, std::size_t capacity)
        : m_buffer(buffer)
        , m_capacity(capacity)
    {}

    void put(const char *text, std::size_t length)
    {
        const std::size_t room = m_capacity - m_length;
        const std::size_t taken = length < room ? length : room;
        std::memcpy(m_buffer + m_length, text, taken);
        m_length += taken;
    }
    void put(const char *text) { put(text, std::strlen(text)); }
    void putHex(std::uintptr_t value)
    {
        char digits[2 + 2 * sizeof(value)];
        std::size_t at = sizeof(digits);
        do {
            digits[--at] = "0123456789abcdef"[value & 0xf];
            value >>= 4;
        } while (value != 0);
        digits[--at] = 'x';
        digits[--at] = '0';
        put(digits + at, sizeof(digits) - at);
    }
    void putDecimal(unsigned long value, int width)
    {
        char digits[24];
        std::size_t at = sizeof(digits);
        do {
            digits[--at] = char('0' + value % 10);
            value /= 10;
            --width;
        } while (value != 0 || width > 0);
        put(digits + at, sizeof(digits) - at);
    }

    // The length with a cut multi-byte character taken off the end.
    std::size_t wholeLength() const
    {
        std::size_t length = m_length;
        if (length < m_capacity)
            return length;
        std::size_t start = length;
        while (start > 0 && (static_cast<unsigned char>(m_buffer[start - 1]) & 0xc0) == 0x80)
            --start;
        if (start == 0)
            return length;
        const unsigned char lead = static_cast<unsigned char>(m_buffer[start - 1]);
        const std::size_t expected = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
        return length - (start - 1) >= expected ? length : start - 1;
    }

private:
    char *m_buffer;
    std::size_t m_capacity;
    std::size_t m_length = 0;
};

// One frame in the form glibc's backtrace_symbols uses, without its allocation.
std::size_t formatFrame(void *address, char *buffer, std::size_t capacity)
{
    FixedText text(buffer, capacity);
    Dl_info info;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool found = dladdr(address, &info) != 0;
    if (found && info.dli_sname == nullptr && at > 0) {
        // The return address of a call to a function that does not return (abort) lies just
        // past the caller's last byte: the call itself names the caller.
        Dl_info before;
        if (dladdr(reinterpret_cast<void *>(at - 1), &before) != 0 && before.dli_sname != nullptr)
            info = before;
    }
    if (found && info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        text.put(info.dli_fname);
        text.put("(");
        std::uintptr_t base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
        if (info.dli_sname != nullptr) {
            text.put(info.dli_sname);
            base = reinterpret_cast<std::uintptr_t>(info.dli_saddr);
        }
        if (at >= base) {
            text.put("+");
            text.putHex(at - base);
        } else {
            text.put("-");
            text.putHex(base - at);
        }
        text.put(") ");
    }
    text.put("[");
    text.putHex(at);
    text.put("]");
    return text.wholeLength();
}

// Formats `count` frames into `arena`; returns how many lines were formatted.
int formatFrames(void *const *frames, int count, char *arena, std::size_t arenaSize,
                 StackLine *lines)
{
    std::size_t used = 0;
    int formatted = 0;
    for (int i = 0; i < count && used < arenaSize; ++i) {
        const std::size_t room = arenaSize - used;
        const std::size_t length =
            formatFrame(frames[i], arena + used, room < kLineLimit ? room : kLineLimit);
        lines[formatted++] = {arena + used, length};
        used += length;
    }
    return formatted;
}

// The CBOR head of an item: major type and length.
std::size_t cborHead(unsigned major, std::uint64_t value, unsigned char *out)
{
    const unsigned char type = static_cast<unsigned char>(major << 5);
    if (value < 24) {
        out[0] = type | static_cast<unsigned char>(value);
        return 1;
    }
    int bytes = value <= 0xff ? 1 : value <= 0xffff ? 2 : value <= 0xffffffffu ? 4 : 8;
    out[0] = type | (bytes == 1 ? 24 : bytes == 2 ? 25 : bytes == 4 ? 26 : 27);
    for (int i = 0; i < bytes; ++i)
        out[1 + i] = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
    return 1 + bytes;
}

// Buffered writes to one descriptor; remembers whether any write failed.
class FdWriter
{
public:
    explicit FdWriter(int fd)
        : m_fd(fd)
    {}
    ~FdWriter() { flush(); }

    void put(const void *data, std::size_t length)
    {
        const char *bytes = static_cast<const char *>(data);
        while (length > 0) {
            if (m_used == sizeof(m_buffer))
                flush();
            const std::size_t room = sizeof(m_buffer) - m_used;
            const std::size_t taken = length < room ? length : room;
            std::memcpy(m_buffer + m_used, bytes, taken);
            m_used += taken;
            bytes += taken;
            length -= taken;
        }
    }
    void put(const char *text) { put(text, std::strlen(text)); }
    void put(const QByteArray &bytes) { put(bytes.constData(), std::size_t(bytes.size())); }
    void putCborHead(unsigned major, std::uint64_t value)
    {
        unsigned char head[9];
        put(head, cborHead(major, value, head));
    }
    void putCborText(const char *text, std::size_t length)
    {
        putCborHead(3, length);
        put(text, length);
    }

    bool flush()
    {
        std::size_t done = 0;
        while (done < m_used) {
            const ssize_t written = ::write(m_fd, m_buffer + done, m_used - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_failed = true;
                break;
            }
            done += std::size_t(written);
        }
        m_used = 0;
        return !m_failed;
    }
    bool failed() const { return m_failed; }

private:
    int m_fd;
    char m_buffer[4096];
    std::size_t m_used = 0;
    bool m_failed = false;
};

// "yyyy-MM-ddTHH:mm:ss.zzzZ" of a UTC moment, the text Qt writes for a UTC date.
std::size_t formatUtc(const timespec &now, char *buffer, std::size_t capacity)
{
    const long long seconds = now.tv_sec;
    long long days = seconds / 86400;
    long long secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    // Civil date from a day count (proleptic Gregorian calendar, 400-year eras).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    FixedText text(buffer, capacity);
    text.putDecimal(static_cast<unsigned long>(year), 4);
    text.put("-");
    text.putDecimal(static_cast<unsigned long>(month), 2);
    text.put("-");
    text.putDecimal(static_cast<unsigned long>(day), 2);
    text.put("T");
    text.putDecimal(static_cast<unsigned long>(secondOfDay / 3600), 2);
    text.put(":");
    text.putDecimal(static_cast<unsigned long>(secondOfDay % 3600 / 60), 2);
    text.put(":");
    text.putDecimal(static_cast<unsigned long>(secondOfDay % 60), 2);
    text.put(".");
    text.putDecimal(static_cast<unsigned long>(now.tv_nsec / 1000000), 3);
    text.put("Z");
    return text.wholeLength();
}

// Only the thread that won the handler's entry guard touches these.
void *g_frames[CrashRecordWriter::kMaxFrames];
char g_arena[kArenaSize];
StackLine g_lines[CrashRecordWriter::kMaxFrames];
char g_tempPath[4096 + 32];

const char kSignalBanner[] = "------------------------\\\\----------------------------";
// Log wording kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
const char kWarning[] = "-------------注意：注意：发现未处理得异常！！！------------";
const char kDashLine[] = "----------------------------------------------------";

} // namespace

void CrashRecordWriter::prepare(const CrashReportObject &deviceFields, const QString &recordPath)
{
    auto *prepared = new Prepared;
    prepared->folder = QFile::encodeName(QFileInfo(recordPath).absolutePath());
    prepared->recordPath = QFile::encodeName(recordPath);

    // The device and application fields in the same order and form as a record written by
    // CrashReportObject; date and stack follow at crash time, so the map always has eight keys.
    CrashReportObject fixed = deviceFields;
    fixed.setDate(QDateTime());
    fixed.setStackArray(std::nullopt);
    const QCborMap fields = fixed.encodeWithCoder();
    unsigned char mapHead[9];
    prepared->head = QByteArray(reinterpret_cast<const char *>(mapHead),
                                int(cborHead(5, std::uint64_t(fields.size()) + 2, mapHead)));
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        prepared->head += it.key().toCbor() + it.value().toCbor();
    prepared->dateKey = QCborValue(CrashReportObject::kDateKey).toCbor();
    prepared->stackKey = QCborValue(CrashReportObject::kStackArrayKey).toCbor();
    prepared->deviceLine = QStringLiteral("---------|||||||| : %1\n")
                               .arg(deviceFields.deviceUniqueIdentifier())
                               .toUtf8();

    // The first backtrace loads the unwinder library (dlopen, malloc): never in the handler.
    void *frames[4];
    backtrace(frames, 4);

    g_prepared.store(prepared, std::memory_order_release);
}

bool CrashRecordWriter::isPrepared()
{
    return g_prepared.load(std::memory_order_acquire) != nullptr;
}

void CrashRecordWriter::logLine(const char *text)
{
    FdWriter log(STDERR_FILENO);
    log.put(text);
    log.put("\n", 1);
}

void CrashRecordWriter::writeSignalRecord()
{
    const Prepared *prepared = g_prepared.load(std::memory_order_acquire);
    if (prepared == nullptr)
        return;

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int frameCount = backtrace(g_frames, kMaxFrames);
    const int lineCount = formatFrames(g_frames, frameCount, g_arena, sizeof(g_arena), g_lines);

    // The device line that creating a record logs.
    {
        FdWriter log(STDERR_FILENO);
        log.put(prepared->deviceLine);
    }

    // Replace the old record: remove it, write the new one beside it, rename it into place.
    ::mkdir(prepared->folder.constData(), 0777);
    ::unlink(prepared->recordPath.constData());
    FixedText tempName(g_tempPath, sizeof(g_tempPath) - 1);
    tempName.put(prepared->recordPath.constData(), std::size_t(prepared->recordPath.size()));
    tempName.put(".");
    tempName.putDecimal(static_cast<unsigned long>(getpid()), 1);
    tempName.put(".tmp");
    g_tempPath[tempName.wholeLength()] = '\0';

    // Owner only: the record holds the permanent user id. A stale temporary file would keep its
    // own mode, so it goes first.
    ::unlink(g_tempPath);
    const int fd = ::open(g_tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        bool written = false;
        {
            FdWriter record(fd);
            record.put(prepared->head);
            record.put(prepared->dateKey);
            char date[32];
            const std::size_t dateLength = formatUtc(now, date, sizeof(date));
            record.putCborHead(6, 0); // tag 0: date-time text
            record.putCborText(date, dateLength);
            record.put(prepared->stackKey);
            record.putCborHead(4, std::uint64_t(lineCount));
            for (int i = 0; i < lineCount; ++i)
                record.putCborText(g_lines[i].text, g_lines[i].length);
            written = record.flush();
        }
        const bool closed = ::close(fd) == 0;
        if (!written || !closed || ::rename(g_tempPath, prepared->recordPath.constData()) != 0)
            ::unlink(g_tempPath);
    }

    FdWriter log(STDERR_FILENO);
    for (const char *line : {kSignalBanner, kWarning, kDashLine}) {
        log.put(line);
        log.put("\n", 1);
    }
    for (int i = 0; i < lineCount; ++i) {
        log.put(g_lines[i].text, g_lines[i].length);
        log.put("\n", 1);
    }
    for (const char *line : {kDashLine, kDashLine}) {
        log.put(line);
        log.put("\n", 1);
    }
}

__attribute__((noinline)) QStringList CrashRecordWriter::currentStackLines()
{
    void *frames[kMaxFrames + 1];
    const int count = backtrace(frames, kMaxFrames + 1);
    QStringList lines;
    QByteArray buffer(int(kLineLimit), Qt::Uninitialized);
    // Frame 0 is this function: the stack starts at its caller.
    for (int i = 1; i < count; ++i) {
        const std::size_t length = formatFrame(frames[i], buffer.data(), kLineLimit);
        lines.append(QString::fromUtf8(buffer.constData(), qsizetype(length)));
    }
    return lines;
}
