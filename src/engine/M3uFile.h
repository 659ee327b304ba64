#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// An extended M3U file of the music library (a playlist or the library record), in UTF-8: its
// entries read, entries added at its end, or entries brought up to date where they stand. A new
// file is written whole and atomically; an existing one only grows, by one write of whole lines
// at its end (cut back if it fails), so adding a file costs the same however many it lists. The
// entries of the file last added to with `skipKnown` are remembered, so the next addition does
// not read it again unless another process changed it.
//
// Thread: any; calls on one file are serialised by the caller (PlaylistFolderLibrary holds its
// LibraryFolderLock around them).
class M3uFile
{
public:
    M3uFile() = delete;

    // Some 600,000 entries; a larger playlist or library record is not one of ours.
    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

    // The entries (comment and blank lines left out); empty for a file that is not a regular
    // file of at most kMaxBytes.
    static QStringList readEntries(const QString &m3uPath);
    // Appends each of `entries` after its line of `infos` (same length); with `skipKnown`,
    // entries the file lists already are left out. A new file gets the "#EXTM3U" and
    // "#PLAYLIST:<title>" header.
    static bool append(const QString &m3uPath, const QString &title, const QStringList &entries,
                       const QStringList &infos, bool skipKnown, QString *error);
    // Lists each of `entries` once, after its new line of `infos`: the first listing keeps its
    // place, later ones go, and an entry not listed yet is added at the end.
    static bool update(const QString &m3uPath, const QString &title, const QStringList &entries,
                       const QStringList &infos, QString *error);
    // Replaces the file at `path` with `bytes` atomically.
    static bool writeWhole(const QString &path, const QByteArray &bytes, QString *error);
};
