#pragma once

#include "Shared/PortableFileName.h"

#include <QString>

struct ConversionSettings;

// How the outputs of a run are named below their output folder: the name pattern (empty: the
// input's name) and how strictly each file and folder name is cleaned. Names are made portable
// (PortableFileName) when the user asks for names that work on every device and when the output
// folder's file system refuses characters (FileSystemKind); otherwise they stay as written. A
// name the file system still refuses makes the run try the next stricter level (stricter()):
// portable, then ASCII only, so no file fails because of its name.
//
// Thread: any. forFolder() and forSettings() look at the output folder's file system.
class OutputNaming
{
public:
    enum class Level { AsWritten, Portable, AsciiOnly };

    OutputNaming() = default;
    OutputNaming(const QString &pattern, Level level,
                 PortableFileName::LengthUnit unit = PortableFileName::LengthUnit::Utf8Bytes);

    // The naming for outputs in `outputFolder` with `pattern`: portable when `everyDevice` or when
    // the folder's file system needs it.
    static OutputNaming forFolder(const QString &outputFolder, const QString &pattern,
                                  bool everyDevice);
    // forFolder() for the output folder of items of `destinationType`, with the pattern and "Use
    // names that work on every device" of `settings`.
    static OutputNaming forSettings(const ConversionSettings &settings, int destinationType);

    QString pattern() const { return m_pattern; }
    Level level() const { return m_level; }
    // True when outputs may not lie beside their input's name: a pattern, or cleaned names.
    bool renames() const { return !m_pattern.isEmpty() || m_level != Level::AsWritten; }

    // The next stricter naming into `next`; false at the strictest.
    bool stricter(OutputNaming *next) const;

    // `relativePath` (folders, then a file name with its extension) with each name cleaned as
    // this naming says.
    QString applyTo(const QString &relativePath) const;

    // Whether a failure to create a file or folder whose parent exists may be the name's fault:
    // FAT and exFAT drivers answer EINVAL, EPERM (fusefat) or ENOENT (exfat-fuse) for a refused
    // character, and every file system ENAMETOOLONG for a long name.
    static bool isNameRefusal(int error);

private:
    QString m_pattern;
    Level m_level = Level::AsWritten;
    PortableFileName::LengthUnit m_unit = PortableFileName::LengthUnit::Utf8Bytes;
};
