#include "engine/PlaylistFolderLibrary.h"

#include "Shared/BoundedFile.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "model/MVMediaInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

const QLatin1String kPlaylistSuffix(".m3u8");
const QLatin1String kOrderFileName(".wavelark-playlists.json");
const QLatin1String kLibraryRecordName(".wavelark-library.m3u8");
const QLatin1String kLockFileName(".wavelark-library.lock");
const QLatin1String kOrderKey("playlists");
constexpr int kNameMaxBytes = 255;
constexpr int kLockWaitMs = 60000;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// A playlist file name that the library lists: a plain, visible .m3u8 file name.
bool isPlaylistFileName(const QString &fileName)
{
    return !fileName.isEmpty() && !fileName.startsWith(QLatin1Char('.')) &&
           !fileName.contains(QLatin1Char('/')) &&
           fileName.endsWith(kPlaylistSuffix, Qt::CaseInsensitive) &&
           fileName.size() > kPlaylistSuffix.size();
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setError(error, QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

// Serialises rewrites of the library's files across processes; threads of one process are
// already serialised by the sync's own lock.
class FolderLock
{
public:
    explicit FolderLock(const QString &folder)
        : m_folder(folder)
        , m_lock(folder + QLatin1Char('/') + kLockFileName)
    {
        // Something else at the lock's path would look held for the whole wait.
        const QFileInfo existing(folder + QLatin1Char('/') + kLockFileName);
        if (existing.exists() && !existing.isFile()) {
            m_failure =
                QStringLiteral("the lock path %1 is not a file").arg(existing.absoluteFilePath());
            return;
        }
        m_lock.setStaleLockTime(30000);
        if (m_lock.tryLock(kLockWaitMs))
            return;
        m_failure = failureText(m_lock.error());
    }
    bool isLocked() const { return m_failure.isEmpty(); }
    // Why the lock could not be taken, naming the real cause.
    QString failure() const { return m_failure; }

private:
    QString failureText(QLockFile::LockError error) const
    {
        switch (error) {
        case QLockFile::LockFailedError:
            return QStringLiteral("the music library is locked by another program");
        case QLockFile::PermissionError:
            return QStringLiteral("no permission to create files in %1").arg(m_folder);
        default:
            break;
        }
        struct statvfs space = {};
        if (::statvfs(QFile::encodeName(m_folder).constData(), &space) == 0 && space.f_bavail == 0)
            return QStringLiteral("no space left on the disk of %1").arg(m_folder);
        return QStringLiteral("could not create the lock file in %1").arg(m_folder);
    }

    QString m_folder;
    QLockFile m_lock;
    QString m_failure;
};

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
        const QStringList read = PlaylistFolderLibrary::readEntries(path);
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

class FolderPlaylist : public MusicPlaylist
{
public:
    FolderPlaylist(PlaylistFolderLibrary *library, const QString &fileName)
        : m_library(library)
        , m_fileName(fileName)
    {}

    QString name() const override { return PlaylistFolderLibrary::playlistNameForFile(m_fileName); }
    bool setName(const QString &name) override
    {
        if (name == this->name())
            return true;
        QString error;
        if (!m_library->renamePlaylist(m_fileName, name, &error)) {
            qCWarning(lcEngine, "%s", qUtf8Printable(error));
            return false;
        }
        m_fileName = PlaylistFolderLibrary::fileNameForPlaylist(name);
        return true;
    }
    QString fileName() const { return m_fileName; }

private:
    PlaylistFolderLibrary *m_library;
    QString m_fileName;
};

class FolderSource : public MusicSource
{
public:
    explicit FolderSource(PlaylistFolderLibrary *library)
        : m_library(library)
    {}
    quint32 kind() const override { return kLibraryKind; }
    QList<MusicPlaylistPtr> userPlaylists() override { return m_library->userPlaylists(); }
    MusicPlaylistPtr insertPlaylist(int index, const QString &name, QString *error) override
    {
        return m_library->insertPlaylist(index, name, error);
    }

private:
    PlaylistFolderLibrary *m_library;
};

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
    QSet<qsizetype> seen;
    QList<QByteArray> kept;
    for (QByteArray line : lines) {
        QByteArray bare = line;
        if (bare.endsWith('\r'))
            bare.chop(1);
        const qsizetype index =
            bare.isEmpty() || bare.startsWith('#') ? -1 : entries.indexOf(QString::fromUtf8(bare));
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

PlaylistFolderLibrary::PlaylistFolderLibrary(const QString &musicFolder)
    : m_folder(QDir::cleanPath(QFileInfo(musicFolder).absoluteFilePath()))
{}

QString PlaylistFolderLibrary::defaultMusicFolder()
{
    return GlobalFun::RealHomeDirectory() + QStringLiteral("/Music");
}

QString PlaylistFolderLibrary::fileNameForPlaylist(const QString &name)
{
    if (name.isEmpty())
        return {};
    QString encoded;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        const bool escape =
            c == u'%' || c == u'/' || c < 0x20 || c == 0x7F || (i == 0 && c == u'.');
        if (escape)
            encoded += QLatin1Char('%') + QString::number(c, 16).rightJustified(2, u'0').toUpper();
        else
            encoded += name.at(i);
    }
    encoded += kPlaylistSuffix;
    if (QFile::encodeName(encoded).size() > kNameMaxBytes)
        return {};
    return encoded;
}

QString PlaylistFolderLibrary::playlistNameForFile(const QString &fileName)
{
    const QString base = fileName.left(fileName.size() - kPlaylistSuffix.size());
    return QUrl::fromPercentEncoding(base.toUtf8());
}

QString PlaylistFolderLibrary::orderFilePath() const
{
    return m_folder + QLatin1Char('/') + kOrderFileName;
}

QString PlaylistFolderLibrary::libraryRecordPath() const
{
    return m_folder + QLatin1Char('/') + kLibraryRecordName;
}

QString PlaylistFolderLibrary::entryForFile(const QString &filePath) const
{
    const QString absolute = QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    const QString relative = QDir(m_folder).relativeFilePath(absolute);
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
        QDir::isAbsolutePath(relative))
        return absolute;
    // A line that starts with '#' would be read as a comment.
    if (relative.startsWith(QLatin1Char('#')))
        return QStringLiteral("./") + relative;
    return relative;
}

QStringList PlaylistFolderLibrary::playlistFileOrder(QString *error) const
{
    QStringList order;
    const BoundedFile::Result orderFile = BoundedFile::read(orderFilePath(), kMaxOrderBytes);
    if (orderFile.isRefused())
        setError(error, QStringLiteral("%1: %2").arg(orderFilePath(), orderFile.reason));
    if (orderFile.isRead()) {
        const QJsonArray stored =
            QJsonDocument::fromJson(orderFile.bytes).object().value(kOrderKey).toArray();
        for (const QJsonValue &value : stored) {
            const QString fileName = value.toString();
            if (isPlaylistFileName(fileName) && !order.contains(fileName) &&
                QFileInfo(m_folder + QLatin1Char('/') + fileName).isFile())
                order.append(fileName);
        }
    }
    const QStringList present =
        QDir(m_folder).entryList({QStringLiteral("*.m3u8")}, QDir::Files, QDir::Name);
    for (const QString &fileName : present) {
        if (isPlaylistFileName(fileName) && !order.contains(fileName))
            order.append(fileName);
    }
    return order;
}

QStringList PlaylistFolderLibrary::readEntries(const QString &m3uPath)
{
    const BoundedFile::Result file = BoundedFile::read(m3uPath, kMaxPlaylistBytes);
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

bool PlaylistFolderLibrary::isRunning() const
{
    return QFileInfo(m_folder).isDir();
}

void PlaylistFolderLibrary::activate()
{
    if (!GlobalFun::MakeSureFolderExsist(m_folder))
        qCWarning(lcEngine, "could not create the music folder %s", qUtf8Printable(m_folder));
}

QList<MusicSourcePtr> PlaylistFolderLibrary::sources()
{
    if (!isRunning())
        return {};
    return {std::make_shared<FolderSource>(this)};
}

QList<MusicPlaylistPtr> PlaylistFolderLibrary::userPlaylists()
{
    QList<MusicPlaylistPtr> playlists;
    for (const QString &fileName : playlistFileOrder())
        playlists.append(std::make_shared<FolderPlaylist>(this, fileName));
    return playlists;
}

MusicPlaylistPtr PlaylistFolderLibrary::insertPlaylist(int index, const QString &name,
                                                       QString *error)
{
    const QString fileName = fileNameForPlaylist(name);
    if (fileName.isEmpty()) {
        setError(error, QStringLiteral("unusable playlist name \"%1\"").arg(name));
        return nullptr;
    }
    FolderLock lock(m_folder);
    if (!lock.isLocked()) {
        setError(error, lock.failure());
        return nullptr;
    }
    QString orderError;
    QStringList order = playlistFileOrder(&orderError);
    if (!orderError.isEmpty()) {
        setError(error, orderError);
        return nullptr;
    }
    // Another process may have created it a moment ago: keep its entries.
    const QString path = m_folder + QLatin1Char('/') + fileName;
    if (!QFileInfo::exists(path)) {
        const QByteArray header = "#EXTM3U\n#PLAYLIST:" + name.simplified().toUtf8() + '\n';
        if (!writeWhole(path, header, error))
            return nullptr;
    }
    order.removeAll(fileName);
    order.insert(qBound(0, index, int(order.size())), fileName);
    if (!writeOrder(order, error))
        return nullptr;
    return std::make_shared<FolderPlaylist>(this, fileName);
}

bool PlaylistFolderLibrary::renamePlaylist(const QString &oldFileName, const QString &newName,
                                           QString *error)
{
    const QString newFileName = fileNameForPlaylist(newName);
    if (newFileName.isEmpty()) {
        setError(error, QStringLiteral("unusable playlist name \"%1\"").arg(newName));
        return false;
    }
    FolderLock lock(m_folder);
    if (!lock.isLocked()) {
        setError(error, lock.failure());
        return false;
    }
    const QString newPath = m_folder + QLatin1Char('/') + newFileName;
    if (QFileInfo::exists(newPath)) {
        setError(error, QStringLiteral("a playlist called \"%1\" exists already").arg(newName));
        return false;
    }
    QString orderError;
    QStringList order = playlistFileOrder(&orderError);
    if (!orderError.isEmpty()) {
        setError(error, orderError);
        return false;
    }
    if (!QFile::rename(m_folder + QLatin1Char('/') + oldFileName, newPath)) {
        setError(error, QStringLiteral("could not rename the playlist file %1").arg(oldFileName));
        return false;
    }
    const qsizetype position = order.indexOf(oldFileName);
    if (position >= 0)
        order[position] = newFileName;
    return writeOrder(order, error);
}

QString PlaylistFolderLibrary::extinfLine(const QString &filePath)
{
    const MediaTags tags = MVMediaInfo::readTags(filePath);
    QString shown = tags.title;
    if (shown.isEmpty())
        shown = QFileInfo(filePath).completeBaseName();
    else if (!tags.artist.isEmpty())
        shown = tags.artist + QStringLiteral(" - ") + tags.title;
    const qint64 seconds = tags.duration > 0.0 ? qRound64(tags.duration) : -1;
    // One line whatever the tags hold.
    return QStringLiteral("#EXTINF:%1,%2").arg(seconds).arg(shown.simplified());
}

bool PlaylistFolderLibrary::add(const QStringList &files, MusicPlaylist *playlist, QString *error)
{
    return addOrUpdate(files, playlist, false, error);
}

bool PlaylistFolderLibrary::update(const QStringList &files, MusicPlaylist *playlist,
                                   QString *error)
{
    return addOrUpdate(files, playlist, true, error);
}

bool PlaylistFolderLibrary::addOrUpdate(const QStringList &files, MusicPlaylist *playlist,
                                        bool update, QString *error)
{
    QStringList entries;
    QStringList infos;
    for (const QString &file : files) {
        if (file.isEmpty() || file.contains(QLatin1Char('\n')) ||
            file.contains(QLatin1Char('\r'))) {
            setError(error, QStringLiteral("a playlist cannot hold the path \"%1\"").arg(file));
            return false;
        }
        entries.append(entryForFile(file));
        infos.append(extinfLine(file));
    }
    QString playlistPath;
    QString title;
    if (playlist) {
        const auto *ours = dynamic_cast<FolderPlaylist *>(playlist);
        if (!ours) {
            setError(error, QStringLiteral("the playlist does not belong to this library"));
            return false;
        }
        playlistPath = m_folder + QLatin1Char('/') + ours->fileName();
        title = ours->name();
    }

    FolderLock lock(m_folder);
    if (!lock.isLocked()) {
        setError(error, lock.failure());
        return false;
    }
    if (update) {
        // A replaced file: rare enough for a rewrite of the files that list it.
        if (!updateEntries(libraryRecordPath(), QStringLiteral("Library"), entries, infos, error))
            return false;
        return playlistPath.isEmpty() || updateEntries(playlistPath, title, entries, infos, error);
    }
    // Like a music application, adding to a playlist adds to the library too.
    if (!appendEntries(libraryRecordPath(), QStringLiteral("Library"), entries, infos, true, error))
        return false;
    return playlistPath.isEmpty() ||
           appendEntries(playlistPath, title, entries, infos, false, error);
}

bool PlaylistFolderLibrary::updateEntries(const QString &m3uPath, const QString &title,
                                          const QStringList &entries, const QStringList &infos,
                                          QString *error)
{
    QFile file(m3uPath);
    if (!file.exists() || file.size() == 0)
        return appendEntries(m3uPath, title, entries, infos, true, error);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("could not read %1: %2").arg(m3uPath, file.errorString()));
        return false;
    }
    const QByteArray bytes = withEntriesUpdated(file.readAll(), entries, infos);
    file.close();
    // The record's remembered entries carry the old stamp, so they are read anew next time.
    return writeWhole(m3uPath, bytes, error);
}

bool PlaylistFolderLibrary::writeOrder(const QStringList &fileNames, QString *error)
{
    QJsonObject root;
    root.insert(kOrderKey, QJsonArray::fromStringList(fileNames));
    return writeWhole(orderFilePath(), QJsonDocument(root).toJson(), error);
}

bool PlaylistFolderLibrary::appendEntries(const QString &m3uPath, const QString &title,
                                          const QStringList &entries, const QStringList &infos,
                                          bool skipKnown, QString *error)
{
    // Appending opens the file by name and reads its last byte: a FIFO there would block the
    // sync for ever, a device would take endless lines.
    const BoundedFile::Result found = BoundedFile::check(m3uPath, kMaxPlaylistBytes);
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
