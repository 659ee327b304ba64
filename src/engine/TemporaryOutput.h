#pragma once

#include <QString>

// The hidden file an encoder writes into before its output is complete, and the step that gives
// a complete output its final name. Until that step nothing exists under the final name, so a
// stopped, failed or killed conversion never leaves a cut-off file that looks finished.
//
// A temporary is named ".wavelark-part-<pid>-<n>-<name>.<ext>" in the output folder: the
// extension stays, as the encoder picks its container from it, and the process id tells a later
// run whether its owner still runs.
//
// Thread: any. Each function works on the file system only.
class TemporaryOutput
{
public:
    TemporaryOutput() = delete;

    // Creates an empty temporary (exclusive create) beside `finalPath`, whose extension it
    // keeps. Answers its path, or an empty text with the reason in `error`.
    static QString reserve(const QString &finalPath, QString *error = nullptr);

    // Gives `temporary` the numbered free form of `finalPath` (with `extension`) without ever
    // replacing a file: an atomic no-replace rename, or a hard link then unlink where the file
    // system lacks it, or, without links either (FAT), an exclusively created empty file that the
    // rename then takes over. A name taken meanwhile by anyone moves on to the next number. Answers
    // the final path, or an empty text with the reason in `error` and the system's code in
    // `errorNumber` (the temporary is then kept).
    static QString commit(const QString &temporary, const QString &finalPath,
                          const QString &extension, QString *error = nullptr,
                          int *errorNumber = nullptr);

    // Gives `temporary` the name `finalPath` in one atomic rename, replacing the file there (an
    // out-of-date output). Answers `finalPath`, or an empty text with the reason in `error`.
    static QString replace(const QString &temporary, const QString &finalPath,
                           QString *error = nullptr);

    // Removes the temporaries in `folder` whose process no longer runs; those of this process and
    // of other running processes stay. Answers how many were removed.
    static int removeStale(const QString &folder);

    // A temporary's name for `finalPath` that this process has not handed out before.
    static QString nextName(const QString &finalPath);

    static bool isTemporaryName(const QString &fileName);
    // The process id a temporary's name carries; 0 when `fileName` is not a temporary's.
    static qint64 ownerOf(const QString &fileName);
};
