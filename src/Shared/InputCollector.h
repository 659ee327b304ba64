#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// A path that was not taken, and why (a sentence for the user).
struct InputRefusal
{
    QString path;
    QString reason;
    // Could not be read (a folder or name the system refused, a name that is not UTF-8, a
    // special file), as against not being audio at all.
    bool unreadable = false;
    // A file refused only for its kind, which "Also convert other audio files" would take: the
    // caller says how to turn that on.
    bool otherKind = false;
};

// What a drop, an import or a command line yields: the files to convert, in order, and what was
// refused.
struct AcceptedInputs
{
    QStringList files;
    // For each file, the folder that was named and led to it; a file named by itself gives its
    // own folder.
    QStringList roots;
    // The named paths that are folders (or links to folders), as named, in order: the window
    // trusts them without looking at them a second time.
    QStringList folders;
    QList<InputRefusal> refused;
};

// Turns the paths a user names (dropped, imported, on the command line) into the input files
// the converter accepts, the same way for the window and the command-line converter.
//
// Links to files and folders are followed. A folder gives its FLAC and Ogg files at any depth,
// in the order the file system lists them; each folder is listed at most once per call, however
// many links lead to it, so link loops end and no file comes twice through two links. Only
// regular files are accepted (a pipe, device or socket would block or feed the encoder endless
// data), and only names that are valid UTF-8 (others cannot be named to the encoder faithfully).
// A named file must have a supported extension; files of other kinds inside folders are passed
// over without a word. With `allAudio` ("Also convert other audio files") a named file is taken
// whatever its name (the probe judges its content), and folders give the files of the other
// audio extensions too (GlobalFun::otherAudioFmts).
//
// Thread: any; it touches only the file system. Listing a large folder takes a while, so not the
// GUI thread.
class InputCollector
{
public:
    InputCollector() = delete;

    // `stop`, when given and set, ends the work early with what was found so far.
    static AcceptedInputs collect(const QStringList &paths, const std::atomic<bool> *stop = nullptr,
                                  bool allAudio = false);

    // The files below `folder` whose extension is one of `extensions` (any case), by the same
    // rules; nothing is said of what was passed over.
    static QStringList listFolder(const QString &folder, const QStringList &extensions);
};
