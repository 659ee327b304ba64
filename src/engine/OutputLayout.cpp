#include "engine/OutputLayout.h"

#include "engine/TemporaryOutput.h"
#include "model/OutputNamePattern.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

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
                                  bool keepFolders, const OutputNaming &naming)
{
    const QString pattern = naming.pattern();
    const bool keep = keepFolders && !OutputNamePattern::makesFolders(pattern);
    const QString below = keep ? foldersBelow(item.strSourceRoot(), item.filePath()) : QString();
    const QString name = pattern.isEmpty()
                             ? item.strOutFileName()
                             : OutputNamePattern::apply(pattern, item.tags(), item.filePath());
    QString relative = name + QLatin1Char('.') + item.strOutFileExt();
    if (!below.isEmpty())
        relative = below + QLatin1Char('/') + relative;
    relative = naming.applyTo(relative);
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return outputFolder + QLatin1Char('/') + relative;
    return QDir::cleanPath(outputFolder + QLatin1Char('/') + relative.left(slash)) +
           relative.mid(slash);
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

bool OutputLayout::ensureFolder(const QString &outputFolder, const QString &folder, QString *error,
                                int *errorNumber)
{
    const auto fail = [&](const QString &path, int code) {
        if (error)
            *error =
                QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(code)));
        if (errorNumber)
            *errorNumber = code;
        return false;
    };
    if (!QFileInfo(outputFolder).isDir())
        return fail(outputFolder, QFileInfo::exists(outputFolder) ? ENOTDIR : ENOENT);
    const QString base = QDir::cleanPath(outputFolder);
    const QString target = QDir::cleanPath(folder);
    if (target == base)
        return true;
    if (!target.startsWith(base + QLatin1Char('/')))
        return QDir().mkpath(target) || fail(target, EINVAL);
    // One level at a time, so a refusal names the folder that was refused.
    QString path = base;
    for (const QString &name : target.mid(base.size() + 1).split(QLatin1Char('/'))) {
        path += QLatin1Char('/') + name;
        if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
            continue;
        const int code = errno;
        if (code == EEXIST && QFileInfo(path).isDir())
            continue;
        return fail(path, code == EEXIST ? ENOTDIR : code);
    }
    return true;
}
