#include "cli/CliInputs.h"

#include "Shared/GlobalFun.h"
#include "Shared/PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace CliInputs {
namespace {

bool isSupportedExtension(const QString &path)
{
    const QString extension = PathText::pathExtension(path);
    for (const QString &supported : GlobalFun::getSupportedFmts()) {
        if (extension.compare(supported, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QStringList acceptedFiles(const QStringList &paths, QStringList *skipped)
{
    QStringList accepted;
    for (const QString &path : paths) {
        struct stat status;
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
            skipped->append(
                QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            continue;
        }
        const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (S_ISDIR(status.st_mode)) {
            const QStringList found =
                GlobalFun::fileListAtDirenctory(absolute, GlobalFun::getSupportedFmts());
            if (found.isEmpty())
                skipped->append(
                    QStringLiteral("%1: no FLAC or Ogg files in this folder").arg(path));
            accepted += found;
        } else if (isSupportedExtension(path)) {
            accepted.append(absolute);
        } else {
            skipped->append(QStringLiteral("%1: not a FLAC or Ogg file").arg(path));
        }
    }
    return accepted;
}

} // namespace CliInputs
