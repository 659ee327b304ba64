#pragma once

#include <QString>

class LSMedia;
struct ConversionSettings;

// "Skip files already converted": an input whose output already exists, at the path a run would
// choose for it before numbering, and is not older than the input is not converted again. An
// older output is converted again and replaced once the new one is complete (numbering it would
// leave the stale file at the checked path, and every later run would convert the input again).
//
// Whether it is on is the job's settings.skipConverted.
//
// Thread: any; it reads the file system only.
class UpToDateCheck
{
public:
    UpToDateCheck() = delete;

    // The path checked for `item`: where its output goes before numbering, in the folders
    // below the output folder when the settings keep folders.
    static QString checkedPath(const LSMedia &item, const ConversionSettings &settings);

    // True when `output` is a file whose modification time is not before that of `input`.
    static bool isUpToDate(const QString &input, const QString &output);
};
