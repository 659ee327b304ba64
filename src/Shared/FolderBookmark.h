#pragma once

#include <QByteArray>
#include <QString>

// A persistent reference to one folder (or file): its path with the device and inode numbers it
// had when the reference was made, kept as a small CBOR map.
// Thread: any.
class FolderBookmark
{
public:
    enum class Resolution {
        Resolved, // the same folder is still at the path
        Stale,    // another folder is at the path now
        Missing,  // nothing is at the path
        Invalid,  // the data is not a bookmark
    };

    // Empty when nothing exists at `path`.
    static QByteArray create(const QString &path);
    // The path recorded in `data` and whether it still names the same object.
    static Resolution resolve(const QByteArray &data, QString *path = nullptr);
};
