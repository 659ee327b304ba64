#include "engine/ConversionRecord.h"

#include "Shared/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QLatin1String kInput("in");
const QLatin1String kOutput("out");
const QLatin1String kSettings("set");
const QLatin1String kInputSize("inSize");
const QLatin1String kInputTime("inTime");
const QLatin1String kOutputSize("outSize");
const QLatin1String kOutputTime("outTime");
const QLatin1String kComplete("complete");

// A journal this much longer than its live entries is rewritten with the live ones only.
constexpr qint64 kSupersededSlack = 1024;

QString errorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Holds a flock on the record's lock file for one scope. Released by the kernel when the
// process dies, so a killed program never leaves the record locked.
class JournalLock
{
public:
    JournalLock(const QString &path, bool exclusive)
    {
        const QByteArray native = QFile::encodeName(path);
        m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0) {
            m_error = QStringLiteral("%1: %2").arg(path, errorText(errno));
            return;
        }
        while (::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno == EINTR)
                continue;
            m_error = QStringLiteral("%1: %2").arg(path, errorText(errno));
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
    ~JournalLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    JournalLock(const JournalLock &) = delete;
    JournalLock &operator=(const JournalLock &) = delete;

    bool isLocked() const { return m_fd >= 0; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

QJsonObject toJson(const ConversionRecord::Entry &entry)
{
    QJsonObject object;
    object.insert(kInput, entry.input);
    object.insert(kOutput, entry.output);
    object.insert(kSettings, entry.settings);
    object.insert(kInputSize, double(entry.inputStamp.size));
    object.insert(kInputTime, QString::number(entry.inputStamp.modifiedNs));
    object.insert(kOutputSize, double(entry.outputStamp.size));
    object.insert(kOutputTime, QString::number(entry.outputStamp.modifiedNs));
    object.insert(kComplete, entry.complete);
    return object;
}

QByteArray lineOf(const ConversionRecord::Entry &entry)
{
    return QJsonDocument(toJson(entry)).toJson(QJsonDocument::Compact) + '\n';
}

bool readNumber(const QJsonObject &object, QLatin1String key, qint64 *value)
{
    const QJsonValue found = object.value(key);
    if (found.isDouble()) {
        *value = qint64(found.toDouble());
        return *value >= 0;
    }
    bool ok = false;
    *value = found.toString().toLongLong(&ok);
    return ok;
}

std::optional<ConversionRecord::Entry> fromLine(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    ConversionRecord::Entry entry;
    entry.input = object.value(kInput).toString();
    entry.output = object.value(kOutput).toString();
    entry.settings = object.value(kSettings).toString();
    const QJsonValue complete = object.value(kComplete);
    if (entry.input.isEmpty() || entry.output.isEmpty() || entry.settings.isEmpty() ||
        !complete.isBool())
        return std::nullopt;
    entry.complete = complete.toBool();
    if (!readNumber(object, kInputSize, &entry.inputStamp.size) ||
        !readNumber(object, kInputTime, &entry.inputStamp.modifiedNs) ||
        !readNumber(object, kOutputSize, &entry.outputStamp.size) ||
        !readNumber(object, kOutputTime, &entry.outputStamp.modifiedNs))
        return std::nullopt;
    return entry;
}

} // namespace

ConversionRecord::Stamp ConversionRecord::Stamp::of(const QString &path)
{
    Stamp stamp;
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return stamp;
    stamp.size = qint64(status.st_size);
    stamp.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return stamp;
}

ConversionRecord::ConversionRecord(const QString &journalPath)
    : m_path(journalPath)
    , m_lockPath(journalPath + QStringLiteral(".lock"))
{}

ConversionRecord &ConversionRecord::standard()
{
    static ConversionRecord record(defaultPath());
    return record;
}

QString ConversionRecord::defaultPath()
{
    QString state = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    // The base directory specification ignores relative values.
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/wavelark/outputs.jsonl");
}

QList<ConversionRecord::Entry> ConversionRecord::madeFrom(const QString &input)
{
    QMutexLocker locker(&m_lock);
    {
        const JournalLock lock(m_lockPath, false);
        if (!lock.isLocked()) {
            // Without the lock nothing read could be trusted: nothing is known.
            forgetAll();
            return {};
        }
        refresh();
    }
    QList<Entry> found;
    const QStringList outputs = m_outputsOf.value(input);
    for (auto output = outputs.crbegin(); output != outputs.crend(); ++output) {
        const auto entry = m_byOutput.constFind(*output);
        if (entry != m_byOutput.cend() && entry->input == input)
            found.append(*entry);
    }
    return found;
}

std::optional<ConversionRecord::Entry> ConversionRecord::entryFor(const QString &output)
{
    QMutexLocker locker(&m_lock);
    {
        const JournalLock lock(m_lockPath, false);
        if (!lock.isLocked()) {
            forgetAll();
            return std::nullopt;
        }
        refresh();
    }
    const auto entry = m_byOutput.constFind(output);
    if (entry == m_byOutput.cend())
        return std::nullopt;
    return *entry;
}

bool ConversionRecord::note(const Entry &entry, QString *error)
{
    QMutexLocker locker(&m_lock);
    const QString folder = QFileInfo(m_path).path();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(folder);
        return false;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const JournalLock lock(m_lockPath, true);
    if (!lock.isLocked()) {
        if (error)
            *error = lock.error();
        return false;
    }
    refresh();
    const qint64 live = m_byOutput.size() + 1;
    if (m_needsRebuild || m_linesRead > 2 * live + kSupersededSlack)
        return rebuild(entry, error);
    return append(entry, error);
}

int ConversionRecord::corruptLinesSeen() const
{
    QMutexLocker locker(&m_lock);
    return m_corruptLines;
}

void ConversionRecord::forgetAll()
{
    m_byOutput.clear();
    m_outputsOf.clear();
    m_read = FileState();
    m_readOffset = 0;
    m_linesRead = 0;
}

void ConversionRecord::refresh()
{
    // Non-blocking: a pipe put at the journal's path must not hang the run.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const bool missing = errno == ENOENT;
        if (!missing)
            qCWarning(lcEngine).noquote() << QStringLiteral("conversion record %1 unreadable: %2")
                                                 .arg(m_path, errorText(errno));
        forgetAll();
        m_needsRebuild = !missing;
        return;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxBytes) {
        ::close(fd);
        qCWarning(lcEngine).noquote()
            << QStringLiteral("conversion record %1 is not a regular file of at most %2 bytes")
                   .arg(m_path)
                   .arg(kMaxBytes);
        forgetAll();
        m_needsRebuild = true;
        return;
    }
    const bool sameFile = m_read.device == quint64(status.st_dev) &&
                          m_read.inode == quint64(status.st_ino) &&
                          qint64(status.st_size) >= m_readOffset;
    if (!sameFile) {
        forgetAll();
        m_needsRebuild = false;
    }
    m_read.device = quint64(status.st_dev);
    m_read.inode = quint64(status.st_ino);
    m_read.size = qint64(status.st_size);
    if (m_read.size == m_readOffset) {
        ::close(fd);
        return;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) ||
        !file.seek(m_readOffset)) {
        forgetAll();
        m_needsRebuild = true;
        return;
    }
    const QByteArray bytes = file.read(m_read.size - m_readOffset);
    // Only whole lines: a line without its end was not written completely.
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end < 0)
        return;
    parseLines(bytes.left(end));
    m_readOffset += end + 1;
}

void ConversionRecord::parseLines(const QByteArray &bytes)
{
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty())
            continue;
        ++m_linesRead;
        const std::optional<Entry> entry = fromLine(line);
        if (!entry) {
            ++m_corruptLines;
            m_needsRebuild = true;
            continue;
        }
        remember(*entry);
    }
}

void ConversionRecord::remember(const Entry &entry)
{
    m_byOutput.insert(entry.output, entry);
    QStringList &outputs = m_outputsOf[entry.input];
    outputs.removeAll(entry.output);
    outputs.append(entry.output);
}

bool ConversionRecord::append(const Entry &entry, QString *error)
{
    const QByteArray line = lineOf(entry);
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, errorText(errno));
        return false;
    }
    struct stat status;
    bool written = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    // One write of one whole line; a short one is cut back so no half line stays behind.
    if (written) {
        const ssize_t count = ::write(fd, line.constData(), size_t(line.size()));
        written = count == line.size();
        if (!written) {
            const int code = count < 0 ? errno : ENOSPC;
            if (::ftruncate(fd, status.st_size) != 0)
                m_needsRebuild = true;
            if (error)
                *error = QStringLiteral("%1: %2").arg(m_path, errorText(code));
        }
    } else if (error) {
        *error = QStringLiteral("%1 is not a regular file").arg(m_path);
    }
    ::close(fd);
    if (written)
        refresh();
    return written;
}

bool ConversionRecord::rebuild(const Entry &added, QString *error)
{
    remember(added);
    QByteArray bytes;
    for (auto entry = m_byOutput.cbegin(); entry != m_byOutput.cend(); ++entry) {
        // Outputs that are gone say nothing any more.
        if (entry->output != added.output && !QFileInfo::exists(entry->output))
            continue;
        bytes += lineOf(*entry);
    }
    QSaveFile file(m_path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    qCInfo(lcEngine).noquote() << QStringLiteral("conversion record %1 rebuilt").arg(m_path);
    forgetAll();
    m_needsRebuild = false;
    refresh();
    return true;
}
