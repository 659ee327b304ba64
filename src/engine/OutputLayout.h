#pragma once

#include "model/LSMedia.h"

#include <QString>

// Where a file's output goes below the output folder. Flat by default: every output lands in the
// output folder itself. With "Keep folder structure" the folders between the folder that was
// dropped or named (the item's source root) and the file are recreated below the output folder,
// so "Album/A/01 Intro.flac" and "Album/B/01 Intro.flac", dropped as "Album", become
// "A/01 Intro.mp3" and "B/01 Intro.mp3" there. A file named by itself, or one that does not lie
// below its root, goes into the output folder.
//
// The paths are those a run would choose before numbering; the window, wavelark-cli and whatever
// decides whether an output exists already all ask here.
//
// Thread: any. Only ensureFolder() and removeStaleTemporaries() touch the file system.
class OutputLayout
{
public:
    OutputLayout() = delete;

    // The folder below `outputFolder` that the output of `file`, found below `root`, goes into.
    static QString folderFor(const QString &outputFolder, const QString &root, const QString &file,
                             bool keepFolders);

    // The output path of `item` in `outputFolder`, not yet numbered: its folder (folderFor with
    // the item's source root), its output name and extension.
    static QString plannedPath(const LSMedia &item, const QString &outputFolder, bool keepFolders);

    // Removes the temporaries that killed programs left in `outputFolder` and, when folders are
    // kept, in each folder below it that the outputs of `files` (found below `roots`, same
    // length) go into. Answers how many were removed.
    static int removeStaleTemporaries(const QString &outputFolder, const QStringList &roots,
                                      const QStringList &files, bool keepFolders);

    // Creates the folders between `outputFolder` and `folder`; the output folder itself must
    // exist already (a missing one is the user's to decide on). True when `folder` is there.
    static bool ensureFolder(const QString &outputFolder, const QString &folder);
};
