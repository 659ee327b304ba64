#include "engine/PlaylistFolderLibrary.h"

#include "Shared/BoundedFile.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "engine/LibraryFolderLock.h"
#include "engine/M3uFile.h"
#include "model/MVMediaInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

const QLatin1String kPlaylistSuffix(".m3u8");
const QLatin1String kOrderFileName(".wavelark-playlists.json");
const QLatin1String kLibraryRecordName(".wavelark-library.m3u8");
const QLatin1String kOrderKey("playlists");
constexpr int kNameMaxBytes = 255;

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

QStringList PlaylistFolderLibrary::readEntries(const QString &m3uPath)
{
    return M3uFile::readEntries(m3uPath);
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
    LibraryFolderLock lock(m_folder);
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
        if (!M3uFile::writeWhole(path, header, error))
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
    LibraryFolderLock lock(m_folder);
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

    LibraryFolderLock lock(m_folder);
    if (!lock.isLocked()) {
        setError(error, lock.failure());
        return false;
    }
    if (update) {
        // A replaced file: rare enough for a rewrite of the files that list it.
        if (!M3uFile::update(libraryRecordPath(), QStringLiteral("Library"), entries, infos, error))
            return false;
        return playlistPath.isEmpty() ||
               M3uFile::update(playlistPath, title, entries, infos, error);
    }
    // Like a music application, adding to a playlist adds to the library too.
    if (!M3uFile::append(libraryRecordPath(), QStringLiteral("Library"), entries, infos, true,
                         error))
        return false;
    return playlistPath.isEmpty() ||
           M3uFile::append(playlistPath, title, entries, infos, false, error);
}

bool PlaylistFolderLibrary::writeOrder(const QStringList &fileNames, QString *error)
{
    QJsonObject root;
    root.insert(kOrderKey, QJsonArray::fromStringList(fileNames));
    return M3uFile::writeWhole(orderFilePath(), QJsonDocument(root).toJson(), error);
}
