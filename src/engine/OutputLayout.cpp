#include "engine/OutputLayout.h"

#include "engine/TemporaryOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// The folders from `root` down to the folder holding `file`, as a relative path; empty when the
// file is directly in `root` or not below it at all.
QString foldersBelow(const QString &root, const QString &file)
{
    if (root.isEmpty())
        return QString();
    const QString base = QDir::cleanPath(root);
    const QString folder = QDir::cleanPath(QFileInfo(file).path());
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    // Compared as text: the collector names every file by a path below the root it named, and
    // following links here could lead the output out of its folder.
    if (!folder.startsWith(prefix))
        return QString();
    return folder.mid(prefix.size());
}

} // namespace

QString OutputLayout::folderFor(const QString &outputFolder, const QString &root,
                                const QString &file, bool keepFolders)
{
    const QString below = keepFolders ? foldersBelow(root, file) : QString();
    if (below.isEmpty())
        return outputFolder;
    return QDir::cleanPath(outputFolder + QLatin1Char('/') + below);
}

QString OutputLayout::plannedPath(const LSMedia &item, const QString &outputFolder,
                                  bool keepFolders)
{
    const QString folder =
        folderFor(outputFolder, item.strSourceRoot(), item.filePath(), keepFolders);
    return folder + QLatin1Char('/') + item.strOutFileName() + QLatin1Char('.') +
           item.strOutFileExt();
}

int OutputLayout::removeStaleTemporaries(const QString &outputFolder, const QStringList &roots,
                                         const QStringList &files, bool keepFolders)
{
    QSet<QString> folders{outputFolder};
    if (keepFolders) {
        for (qsizetype i = 0; i < files.size() && i < roots.size(); ++i)
            folders.insert(folderFor(outputFolder, roots.at(i), files.at(i), true));
    }
    int removed = 0;
    for (const QString &folder : std::as_const(folders))
        removed += TemporaryOutput::removeStale(folder);
    return removed;
}

bool OutputLayout::ensureFolder(const QString &outputFolder, const QString &folder)
{
    if (!QFileInfo(outputFolder).isDir())
        return false;
    return QDir().mkpath(folder);
}
