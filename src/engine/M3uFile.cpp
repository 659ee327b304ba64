#include "engine/M3uFile.h"

#include "Shared/BoundedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QSet>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// What identifies one state of a file cheaply: a file that another process rewrote or
// appended to has another stamp.
struct FileStamp
{
    qint64 size = -1; // -1: no such file
    quint64 inode = 0;
    qint64 modifiedNs = 0;

    static FileStamp of(const QString &path)
    {
        FileStamp stamp;
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return stamp;
        stamp.size = qint64(status.st_size);
        stamp.inode = quint64(status.st_ino);
        stamp.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
        return stamp;
    }
    bool operator==(const FileStamp &other) const
    {
        return size == other.size && inode == other.inode && modifiedNs == other.modifiedNs;
    }
};

// The entries of the library record as this process last read or wrote it, so that adding one
// file does not read the whole record again; a record changed elsewhere is read anew.
class KnownEntries
{
public:
    static KnownEntries &shared()
    {
        static KnownEntries instance;
        return instance;
    }

    QSet<QString> entries(const QString &path, const FileStamp &stamp)
    {
        {
            QMutexLocker locker(&m_lock);
            if (m_path == path && m_stamp == stamp)
                return m_entries;
        }
        const QStringList read = M3uFile::readEntries(path);
        return QSet<QString>(read.cbegin(), read.cend());
    }

    void remember(const QString &path, const FileStamp &stamp, QSet<QString> entries)
    {
        QMutexLocker locker(&m_lock);
        m_path = path;
        m_stamp = stamp;
        m_entries = std::move(entries);
    }

private:
    QMutex m_lock;
    QString m_path;
    FileStamp m_stamp;
    QSet<QString> m_entries;
};

QString spaceOrWriteError(const QString &path, const QString &reason)
{
    struct statvfs space = {};
    const QString folder = QFileInfo(path).absolutePath();
    if (::statvfs(QFile::encodeName(folder).constData(), &space) == 0 && space.f_bavail == 0)
        return QStringLiteral("no space left on the disk of %1").arg(folder);
    return QStringLiteral("could not write %1: %2").arg(path, reason);
}

// Appends `bytes` (whole lines) to the file of `size` bytes in one write. A write that fails
// halfway is cut off again, so no half line stays behind.
bool appendToFile(const QString &path, qint64 size, QByteArray bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        setError(error, QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    // A file edited by hand may lack its last line feed.
    char last = '\n';
    if (!file.seek(size - 1) || file.read(&last, 1) != 1 || last != '\n')
        bytes.prepend('\n');
    const bool written = file.seek(size) && file.write(bytes) == bytes.size() && file.flush();
    if (written)
        return true;
    const QString reason = file.errorString();
    file.resize(size);
    setError(error, spaceOrWriteError(path, reason));
    return false;
}

// The "#EXTINF" and path lines of `entries`; with `skipKnown`, entries already in `known` are
// left out. Every entry written is added to `known`.
QByteArray entryLines(const QStringList &entries, const QStringList &infos, bool skipKnown,
                      QSet<QString> &known)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString &entry = entries.at(i);
        if (skipKnown && known.contains(entry))
            continue;
        known.insert(entry);
        bytes += infos.at(i).toUtf8() + '\n' + entry.toUtf8() + '\n';
    }
    return bytes;
}

// The lines of an M3U file with each of `entries` listed once, after its line of `infos` (same
// length): the first listing of an entry keeps its place and gets the new "#EXTINF" line, later
// ones go, and an entry not listed yet is added at the end.
QByteArray withEntriesUpdated(const QByteArray &content, const QStringList &entries,
                              const QStringList &infos)
{
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    QHash<QString, qsizetype> indexOf;
    for (qsizetype i = 0; i < entries.size(); ++i)
        indexOf.insert(entries.at(i), i);
    QSet<qsizetype> seen;
    QList<QByteArray> kept;
    for (QByteArray line : lines) {
        QByteArray bare = line;
        if (bare.endsWith('\r'))
            bare.chop(1);
        const qsizetype index = bare.isEmpty() || bare.startsWith('#')
                                    ? -1
                                    : indexOf.value(QString::fromUtf8(bare), -1);
        if (index < 0) {
            kept.append(line);
            continue;
        }
        // The "#EXTINF" line belongs to the entry that follows it.
        if (!kept.isEmpty() && kept.constLast().startsWith("#EXTINF:"))
            kept.removeLast();
        if (seen.contains(index))
            continue;
        seen.insert(index);
        kept.append(infos.at(index).toUtf8());
        kept.append(line);
    }
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!seen.contains(i)) {
            kept.append(infos.at(i).toUtf8());
            kept.append(entries.at(i).toUtf8());
        }
    }
    return kept.join('\n') + '\n';
}

} // namespace

QStringList M3uFile::readEntries(const QString &m3uPath)
{
    const BoundedFile::Result file = BoundedFile::read(m3uPath, kMaxBytes);
    if (!file.isRead())
        return {};
    QStringList entries;
    const QList<QByteArray> lines = file.bytes.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && !line.startsWith('#'))
            entries.append(QString::fromUtf8(line));
    }
    return entries;
}

bool M3uFile::writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

bool M3uFile::update(const QString &m3uPath, const QString &title, const QStringList &entries,
                     const QStringList &infos, QString *error)
{
    // A FIFO or device at the name would hang the rewrite or fill the memory.
    const BoundedFile::Result file = BoundedFile::read(m3uPath, kMaxBytes);
    if (file.isRefused()) {
        setError(error, QStringLiteral("%1: %2").arg(m3uPath, file.reason));
        return false;
    }
    if (!file.isRead() || file.bytes.isEmpty())
        return append(m3uPath, title, entries, infos, true, error);
    const QByteArray bytes = withEntriesUpdated(file.bytes, entries, infos);
    // The record's remembered entries carry the old stamp, so they are read anew next time.
    return writeWhole(m3uPath, bytes, error);
}

bool M3uFile::append(const QString &m3uPath, const QString &title, const QStringList &entries,
                     const QStringList &infos, bool skipKnown, QString *error)
{
    // Appending opens the file by name and reads its last byte: a FIFO there would block the
    // sync for ever, a device would take endless lines.
    const BoundedFile::Result found = BoundedFile::check(m3uPath, kMaxBytes);
    if (found.isRefused()) {
        setError(error, QStringLiteral("%1: %2").arg(m3uPath, found.reason));
        return false;
    }
    const FileStamp before = FileStamp::of(m3uPath);
    if (before.size <= 0) {
        // A new (or empty) file is written whole, header and all.
        QSet<QString> known;
        const QByteArray bytes = "#EXTM3U\n#PLAYLIST:" + title.simplified().toUtf8() + '\n' +
                                 entryLines(entries, infos, skipKnown, known);
        if (!writeWhole(m3uPath, bytes, error))
            return false;
        if (skipKnown)
            KnownEntries::shared().remember(m3uPath, FileStamp::of(m3uPath), std::move(known));
        return true;
    }

    // An existing file only grows at its end: the cost of adding a file does not grow with the
    // number of files already listed.
    QSet<QString> known;
    if (skipKnown)
        known = KnownEntries::shared().entries(m3uPath, before);
    const QByteArray bytes = entryLines(entries, infos, skipKnown, known);
    if (bytes.isEmpty())
        return true;
    if (!appendToFile(m3uPath, before.size, bytes, error))
        return false;
    if (skipKnown)
        KnownEntries::shared().remember(m3uPath, FileStamp::of(m3uPath), std::move(known));
    return true;
}
