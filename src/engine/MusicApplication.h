#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// The music application as the library sync drives it: the application, its sources, and the
// user playlists of its library source. A backend supplies the objects; ScriptBridgeHelper only
// uses the operations below, in the order the sync needs them.
//
// Thread: objects are created for one sync and used by the thread that runs it.

class MusicPlaylist
{
public:
    virtual ~MusicPlaylist() = default;
    virtual QString name() const = 0;
    // False when the backend could not rename the playlist.
    virtual bool setName(const QString &name) = 0;
};
using MusicPlaylistPtr = std::shared_ptr<MusicPlaylist>;

class MusicSource
{
public:
    // The kind of the library source: the letters 'kLib', most significant byte first.
    static constexpr quint32 kLibraryKind = 0x6B4C6962;

    virtual ~MusicSource() = default;
    virtual quint32 kind() const = 0;
    // The user playlists in the order the application lists them.
    virtual QList<MusicPlaylistPtr> userPlaylists() = 0;
    // A new, empty playlist called `name` placed at `index` of the user playlists (clamped to
    // the list); null when the backend could not create it.
    virtual MusicPlaylistPtr insertPlaylist(int index, const QString &name, QString *error) = 0;
};
using MusicSourcePtr = std::shared_ptr<MusicSource>;

class MusicApplication
{
public:
    virtual ~MusicApplication() = default;
    virtual bool isRunning() const = 0;
    virtual void activate() = 0;
    // The application's sources in order; the library source has the kind kLibraryKind.
    virtual QList<MusicSourcePtr> sources() = 0;
    // Adds `files` (full paths) to `playlist`, or to the library alone when it is null.
    // False with a reason in `error` when not every file could be added.
    virtual bool add(const QStringList &files, MusicPlaylist *playlist, QString *error) = 0;
    // Like add(), for files that replaced files of the same path: each ends up listed exactly
    // once, its entry brought up to date. By default the same as add().
    virtual bool update(const QStringList &files, MusicPlaylist *playlist, QString *error)
    {
        return add(files, playlist, error);
    }
};
