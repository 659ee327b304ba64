#include "engine/ScriptBridgeHelper.h"

#include "Shared/Logging.h"
#include "engine/MusicApplication.h"
#include "engine/PlaylistFolderLibrary.h"

#include <QMutex>

namespace {

QMutex &syncLock()
{
    static QMutex lock;
    return lock;
}

ScriptBridgeHelper::ApplicationFactory &factorySlot()
{
    static ScriptBridgeHelper::ApplicationFactory factory;
    return factory;
}

std::unique_ptr<MusicApplication> openApplication()
{
    if (factorySlot())
        return factorySlot()();
    return std::make_unique<PlaylistFolderLibrary>(PlaylistFolderLibrary::defaultMusicFolder());
}

void fail(QString *error, const QString &text, const QString &reason = QString())
{
    qCWarning(lcEngine, "%s", qUtf8Printable(text));
    if (error)
        *error = reason.isEmpty() ? text : reason;
}

// The log line keeps its spelling (log readers match it); the reason shown to the user names
// what this system has.
QString noLibraryReason()
{
    return QStringLiteral("could not find the music library (the playlists in the Music folder)");
}

} // namespace

void ScriptBridgeHelper::setApplicationFactory(ApplicationFactory factory)
{
    QMutexLocker locker(&syncLock());
    factorySlot() = std::move(factory);
}

void ScriptBridgeHelper::syncItunesLibrary(const QString &playlistName, const QString &filePath,
                                           QString *error, bool replaced)
{
    QMutexLocker locker(&syncLock());
    if (error)
        error->clear();

    const std::unique_ptr<MusicApplication> application = openApplication();
    if (!application) {
        fail(error, QStringLiteral("could not find iTunes library"), noLibraryReason());
        return;
    }
    if (!application->isRunning())
        application->activate();

    MusicSourcePtr library;
    for (const MusicSourcePtr &source : application->sources()) {
        if (source && source->kind() == MusicSource::kLibraryKind) {
            library = source;
            break;
        }
    }
    if (!library) {
        fail(error, QStringLiteral("could not find iTunes library"), noLibraryReason());
        return;
    }

    MusicPlaylistPtr playlist;
    if (!playlistName.isEmpty()) {
        for (const MusicPlaylistPtr &candidate : library->userPlaylists()) {
            if (candidate && candidate->name() == playlistName) {
                playlist = candidate;
                playlist->setName(playlistName);
                break;
            }
        }
        if (!playlist) {
            QString reason;
            playlist = library->insertPlaylist(0, playlistName, &reason);
            if (!playlist) {
                fail(error, QStringLiteral("could not create the playlist \"%1\": %2")
                                .arg(playlistName, reason));
                return;
            }
            playlist->setName(playlistName);
        }
    }

    QString reason;
    const bool added = replaced ? application->update({filePath}, playlist.get(), &reason)
                                : application->add({filePath}, playlist.get(), &reason);
    if (!added)
        fail(error,
             QStringLiteral("could not add %1 to the music library: %2").arg(filePath, reason));
}
