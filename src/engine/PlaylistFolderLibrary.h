#pragma once

#include "engine/M3uFile.h"
#include "engine/MusicApplication.h"

#include <QString>
#include <QStringList>

// The default music library: the user's Music folder, which every Linux music player and MPD
// read. Each user playlist is an extended M3U file in UTF-8, "<Music>/<name>.m3u8", whose entries
// are paths relative to the Music folder (absolute for files outside it).
//
// Beside the playlists the folder holds three hidden files of the converter:
// - ".wavelark-playlists.json": the order of the user playlists (their file names), so that a
//   new playlist can be put first; playlist files it does not name follow in name order;
// - ".wavelark-library.m3u8": every file added to the library, with or without a playlist,
//   each once;
// - ".wavelark-library.lock": held while a file of the library is rewritten, so that two
//   processes (the window and the command-line converter) never lose each other's entries.
// A new file is written whole and atomically; an existing playlist or record only grows, by one
// write of whole lines at its end (cut back if it fails), so adding a file costs the same however
// many files the library holds. Playlist names become file names by percent-encoding "%",
// "/", control characters and a leading ".", so no name reaches outside the folder or hides a
// playlist, and two different names never share a file.
//
// Thread: one object per sync, used by one thread; the library's files may be shared with other
// threads and processes (see the lock above).
class PlaylistFolderLibrary : public MusicApplication
{
public:
    explicit PlaylistFolderLibrary(const QString &musicFolder);

    // GlobalFun::RealHomeDirectory() + "/Music".
    static QString defaultMusicFolder();

    // "<encoded name>.m3u8", or an empty text when the name is empty or too long for a file name.
    static QString fileNameForPlaylist(const QString &name);
    // The playlist name a playlist file stands for (the inverse of fileNameForPlaylist).
    static QString playlistNameForFile(const QString &fileName);

    QString musicFolder() const { return m_folder; }
    QString orderFilePath() const;
    QString libraryRecordPath() const;
    // The entry a playlist file holds for `filePath`: relative inside the Music folder.
    QString entryForFile(const QString &filePath) const;

    // The extended M3U line a player shows for `filePath`: "#EXTINF:<seconds>,Artist - Title"
    // from its tags, the file name without extension when it has no title (seconds -1 when
    // unknown).
    static QString extinfLine(const QString &filePath);

    // Playlist file names in the order of the user playlists.
    // The order file is read only when it is a regular file of at most kMaxOrderBytes; anything
    // else there is left out of the order, and `error` (when given) says what it is.
    QStringList playlistFileOrder(QString *error = nullptr) const;
    // The entries of an M3U file (comment and blank lines left out).
    // Empty for a file that is not a regular file of at most kMaxPlaylistBytes.
    static QStringList readEntries(const QString &m3uPath);

    static constexpr qint64 kMaxOrderBytes = 1024 * 1024;
    // Some 600,000 entries; a larger playlist or library record is not one of ours.
    static constexpr qint64 kMaxPlaylistBytes = M3uFile::kMaxBytes;

    bool isRunning() const override;
    void activate() override;
    QList<MusicSourcePtr> sources() override;
    bool add(const QStringList &files, MusicPlaylist *playlist, QString *error) override;
    // Rewrites the record and the playlist so each file is listed once, after its current
    // "#EXTINF" line (a replaced output's length and tags may have changed).
    bool update(const QStringList &files, MusicPlaylist *playlist, QString *error) override;

    // Used by the library's own source and playlist objects.
    MusicPlaylistPtr insertPlaylist(int index, const QString &name, QString *error);
    bool renamePlaylist(const QString &oldFileName, const QString &newName, QString *error);
    QList<MusicPlaylistPtr> userPlaylists();

private:
    bool addOrUpdate(const QStringList &files, MusicPlaylist *playlist, bool update,
                     QString *error);
    bool writeOrder(const QStringList &fileNames, QString *error);

    QString m_folder;
};
