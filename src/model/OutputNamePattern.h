#pragma once

#include "model/TrackTags.h"

#include <QList>
#include <QString>
#include <QStringList>

// Output names built from tags: a pattern such as "{albumartist}/{album}/{track} - {title}" names
// the output's path below the output folder, "/" separating folders. Fields: {artist},
// {albumartist}, {album}, {title}, {track} (zero-padded), {disc}, {year}, {genre} and {filename}
// (the input's name without extension), in any case of letters. A missing tag gives a word
// ("Unknown Artist", "Unknown Album") or, for the title, the file name; an album artist falls back
// to the artist. A tag's "/" is replaced, so a value never adds a folder of its own, and no
// folder of the result is empty, "." or ".." or starts with a dot: the result stays below the
// output folder. Unknown fields stay as they are written.
//
// Thread: any.
class OutputNamePattern
{
public:
    OutputNamePattern() = delete;

    struct Preset
    {
        QString title;
        QString pattern;
    };
    static QList<Preset> presets();
    // The field names, without braces, in the order the help lists them.
    static QStringList fieldNames();
    // The fields of `pattern` that are not known ("{foo}" gives "foo").
    static QStringList unknownFields(const QString &pattern);
    // True when `pattern` names folders of its own.
    static bool makesFolders(const QString &pattern);

    // The path that `pattern` gives for the input at `inputPath` with `tags`, without an
    // extension; never empty. An empty pattern gives the input's name.
    static QString apply(const QString &pattern, const TrackTags &tags, const QString &inputPath);

    // The value of field `name` ("track", "year"...) for `tags`; a null text for an unknown name.
    static QString fieldValue(const QString &name, const TrackTags &tags, const QString &inputPath);
};
