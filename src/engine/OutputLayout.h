#pragma once

#include "engine/OutputNaming.h"
#include "model/LSMedia.h"

#include <QString>

// Where a file's output goes below the output folder. Flat by default: every output lands in the
// output folder itself. With "Keep folder structure" the folders between the folder that was
// dropped or named (the item's source root) and the file are recreated below the output folder,
// so "Album/A/01 Intro.flac" and "Album/B/01 Intro.flac", dropped as "Album", become
// "A/01 Intro.mp3" and "B/01 Intro.mp3" there. A file named by itself, or one that does not lie
// below its root, goes into the output folder.
//
// A name pattern (OutputNaming) names the output's path below those folders instead of the input's
// name. A pattern that makes folders of its own ("{album}/{title}") says where the output goes, so
// the source's folders are not kept then; one without folders names the file in them. With
// cleaned names every file and folder name below the output folder is cleaned; the output folder
// itself is the user's and stays as it is.
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
    // the item's source root), its output name (or the pattern's path) and extension, named as
    // `naming` says.
    static QString plannedPath(const LSMedia &item, const QString &outputFolder, bool keepFolders,
                               const OutputNaming &naming = OutputNaming());

    // Removes the temporaries that killed programs left in `outputFolder` and, when folders are
    // kept, in each folder below it that the outputs of `files` (found below `roots`, same
    // length) go into. Answers how many were removed.
    static int removeStaleTemporaries(const QString &outputFolder, const QStringList &roots,
                                      const QStringList &files, bool keepFolders);

    // Creates the folders between `outputFolder` and `folder`; the output folder itself must
    // exist already (a missing one is the user's to decide on). True when `folder` is there;
    // otherwise `error` names the folder that could not be made and why, and `errorNumber` holds
    // the system's code.
    static bool ensureFolder(const QString &outputFolder, const QString &folder,
                             QString *error = nullptr, int *errorNumber = nullptr);
};
