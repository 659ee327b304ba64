#pragma once

#include <QString>

// File and folder names that every common file system takes: FAT, exFAT, NTFS and SMB shares
// refuse \ / : * ? " < > | and control characters, names ending in a dot or a space, the device
// names of DOS (CON, NUL, COM1...) and names longer than 255 UTF-16 units; most Linux file systems
// stop at 255 bytes. A cleaned name keeps what it can of the original: refused characters become
// "_", and a name that is too long loses the end of its stem, never its extension.
//
// Thread: any.
class PortableFileName
{
public:
    PortableFileName() = delete;

    // What a name's length is counted in: bytes of UTF-8 (Linux file systems, and the one that
    // fits everywhere) or UTF-16 units (FAT, exFAT, NTFS).
    enum class LengthUnit { Utf8Bytes, Utf16Units };

    static constexpr int kMaxLength = 255;
    // What a file name leaves free for the "(n)" that numbering may add.
    static constexpr int kNumberingRoom = 8;

    // `name` (one component, no folders) as every device takes it. With `hasExtension` the text
    // after the last dot is the extension: kept whole, and room is left for numbering.
    static QString clean(const QString &name, bool hasExtension,
                         LengthUnit unit = LengthUnit::Utf8Bytes);

    // clean(), and every character outside ASCII replaced too ("é" becomes "e", "東" "_"): the last
    // resort for the file systems that take nothing else.
    static QString asciiOnly(const QString &name, bool hasExtension);

    // Each name of `relativePath` (folders, then a file name with its extension) cleaned, or made
    // ASCII only with `asciiOnly`.
    static QString cleanPath(const QString &relativePath, bool asciiOnly,
                             LengthUnit unit = LengthUnit::Utf8Bytes);

    // True when clean() leaves `name` as it is.
    static bool isPortable(const QString &name, bool hasExtension,
                           LengthUnit unit = LengthUnit::Utf8Bytes);

    // The length of `name` in `unit`.
    static int lengthOf(const QString &name, LengthUnit unit);
};
