#pragma once

#include "Shared/PortableFileName.h"

#include <QString>

// What kind of file system a folder lies on, as far as names go: whether it refuses the
// characters FAT, exFAT, NTFS and SMB shares refuse, and what it counts a name's length in.
//
// The kernel names vfat, exFAT, NTFS and CIFS/SMB itself (statfs). FUSE mounts all answer
// "fuseblk" or "fuse" there; the mount table then tells the driver ("fuse.exfat",
// "fuse.fusefat"), and where it only says "fuseblk" (exfat-fuse, ntfs-3g) the device's boot sector
// names the file system when it can be read. When nothing tells, the folder is probed by creating
// (and removing) a hidden file whose name holds a refused character.
//
// Thread: any. Reads /proc/self/mountinfo and may read a block device or create a probe file.
class FileSystemKind
{
public:
    enum class Kind { Unknown, Posix, Fat, Exfat, Ntfs, Smb, RefusesCharacters };

    FileSystemKind() = default;
    explicit FileSystemKind(Kind kind)
        : m_kind(kind)
    {}

    // The kind of the file system holding `folder` (which must exist; Unknown otherwise).
    static FileSystemKind of(const QString &folder);

    // The kind a mount table's type names ("vfat", "fuse.exfat", "fuse.fusefat"); Unknown for
    // FUSE types that name no driver ("fuseblk").
    static Kind fromMountType(const QString &type);
    // The kind a boot sector names (exFAT, NTFS, FAT12/16/32); Unknown for any other.
    static Kind fromBootSector(const QByteArray &sector);

    Kind kind() const { return m_kind; }
    // True on file systems that refuse \ / : * ? " < > |, control characters and DOS device names.
    bool refusesCharacters() const;
    PortableFileName::LengthUnit lengthUnit() const;
    QString name() const;

private:
    Kind m_kind = Kind::Unknown;
};
