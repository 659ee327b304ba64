#pragma once

#include "engine/ConversionRecord.h"

#include <QString>
#include <QStringList>

class LSMedia;
struct ConversionSettings;

// "Skip files already converted": whether an input needs converting, from what the conversion
// record says Wavelark made of it.
//
// An output is up to date when the record names it as made from this very input (same real
// path) with the same encoder settings, at the path a run would choose for the input (the planned
// name or a numbered form of it, in the planned folder), and neither file has changed since. It
// is replaced when the record names it as this input's but something changed (the input, the
// output, the settings, or it ended early). Anything else is converted anew and numbered: an
// output of another input is never a reason to skip or to replace.
//
// An output without an entry (made by an earlier version or another program) is adopted only
// where "Keep folder structure" makes the planned path this input's own: no other input beside it
// shares its name, no entry names another input for it, it is a regular file, and its duration
// is within a second of the input's. An adopted output is entered in the record as this input's,
// then judged like any other (up to date unless it is older than its input).
//
// Whether it is on is the job's settings.skipConverted.
//
// Thread: any; it reads the file system and the record.
class UpToDateCheck
{
public:
    UpToDateCheck() = delete;

    enum class Verdict {
        Convert,  // convert, the output taking the numbered free form of the planned path
        UpToDate, // nothing to do: `output` is this input's and current
        Replace,  // convert and replace `output`, which this input made
    };

    struct Decision
    {
        Verdict verdict = Verdict::Convert;
        // UpToDate, Replace: the output. Convert: the output this input made before and that is
        // gone, if any.
        QString output;
    };

    // The path checked for `item`: where its output goes before numbering, in the folders
    // below the output folder when the settings keep folders.
    static QString checkedPath(const LSMedia &item, const ConversionSettings &settings);

    // What identifies the encoder settings of `item` (format, codec, rates, quality, trim, cover,
    // a copy of the audio rather than an encode): two conversions with the same key give the same
    // output from the same input.
    static QString settingsKey(const LSMedia &item, bool keepCover, bool copyAudio = false);

    // Where `item`'s output may lie before numbering: the planned path first, then the paths the
    // stricter namings give (a file system that refused a name made the run take one of them).
    static QStringList plannedPaths(const LSMedia &item, const ConversionSettings &settings);

    // What to do with `item`, whose output is planned at `plannedPath` (checkedPath()) or, as far
    // as the record goes, at one of `alsoPlanned` (plannedPaths()).
    static Decision decide(const LSMedia &item, const QString &plannedPath,
                           const QStringList &alsoPlanned, const QString &settings,
                           bool keepFolders, ConversionRecord &record);

    // Enters `output` as made from `item`'s input (whose stamp before the conversion was
    // `inputStamp`) with `settings`. False, with the reason, when the record could not be written.
    static bool noteConverted(ConversionRecord &record, const LSMedia &item,
                              const ConversionRecord::Stamp &inputStamp, const QString &output,
                              const QString &settings, bool complete, QString *error = nullptr);

    // True when `path` is `planned` or a numbered form of it ("name(2).mp3" of "name.mp3") in the
    // same folder.
    static bool isNumberedFormOf(const QString &path, const QString &planned);

    // The real path of a file's input, or an empty text when it does not exist.
    static QString realPath(const QString &path);
};
