#include "engine/TemporaryOutput.h"

#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/PathText.h"
#include "Shared/PortableFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QLatin1String kPrefix(".wavelark-part-");
// Room for the prefix and numbers within the 255 bytes a name may take.
constexpr int kMaxStemLength = 80;
// Enough for any folder a person keeps; ends a loop over a name that can never be created.
constexpr int kMaxAttempts = 100000;

std::atomic<quint64> g_sequence{0};

QString errorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// One rename that never replaces: 0, or the errno of the attempt.
int renameWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int renameError = errno;
    if (renameError != EINVAL && renameError != ENOSYS && renameError != EOPNOTSUPP)
        return renameError;
    // Some file systems do not offer the flag; a hard link is just as exclusive.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    const int linkError = errno;
    if (linkError != EPERM && linkError != EOPNOTSUPP && linkError != ENOSYS)
        return linkError;
    // Neither (FAT, some network shares): claim the name exclusively, then move onto the claim,
    // which replaces nothing but the empty file just made.
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;
    ::close(fd);
    if (::rename(from.constData(), to.constData()) == 0)
        return 0;
    const int moveError = errno;
    ::unlink(to.constData());
    return moveError;
}

} // namespace

QString TemporaryOutput::reserve(const QString &finalPath, QString *error)
{
    const QString folder = QFileInfo(finalPath).path();
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString name = nextName(finalPath);
        const QString candidate = folder + QLatin1Char('/') + name;
        const QByteArray native = QFile::encodeName(candidate);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(folder, errorText(errno));
            return QString();
        }
    }
    if (error)
        *error = QStringLiteral("%1: no free temporary name").arg(folder);
    return QString();
}

QString TemporaryOutput::nextName(const QString &finalPath)
{
    const QString extension = PathText::pathExtension(finalPath);
    // Any file system takes the temporary's name, whatever the final one holds.
    QString stem = PortableFileName::asciiOnly(
        PathText::deletingPathExtension(PathText::lastComponent(finalPath)), false);
    stem.truncate(kMaxStemLength);
    return kPrefix + QStringLiteral("%1-%2-%3.%4")
                         .arg(qint64(::getpid()))
                         .arg(g_sequence.fetch_add(1))
                         .arg(stem, extension);
}

QString TemporaryOutput::commit(const QString &temporary, const QString &finalPath,
                                const QString &extension, QString *error, int *errorNumber)
{
    const QByteArray from = QFile::encodeName(temporary);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString candidate = GlobalFun::makeSureFullPathIdentical(finalPath, extension);
        const int result = renameWithoutReplacing(from, QFile::encodeName(candidate));
        if (result == 0)
            return candidate;
        // Someone took the name between the look and the rename: take the next number.
        if (result == EEXIST)
            continue;
        if (error)
            *error = QStringLiteral("%1: %2").arg(candidate, errorText(result));
        if (errorNumber)
            *errorNumber = result;
        return QString();
    }
    if (error)
        *error = QStringLiteral("%1: no free name").arg(finalPath);
    return QString();
}

QString TemporaryOutput::replace(const QString &temporary, const QString &finalPath, QString *error)
{
    if (::rename(QFile::encodeName(temporary).constData(),
                 QFile::encodeName(finalPath).constData()) == 0)
        return finalPath;
    if (error)
        *error = QStringLiteral("%1: %2").arg(finalPath, errorText(errno));
    return QString();
}

int TemporaryOutput::removeStale(const QString &folder)
{
    const QStringList names = QDir(folder).entryList(
        {kPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    int removed = 0;
    for (const QString &name : names) {
        const qint64 owner = ownerOf(name);
        if (owner <= 0 || owner == qint64(::getpid()))
            continue;
        // EPERM: it runs, as another user.
        if (::kill(pid_t(owner), 0) == 0 || errno != ESRCH)
            continue;
        if (QFile::remove(folder + QLatin1Char('/') + name)) {
            ++removed;
            qCInfo(lcEngine).noquote() << QStringLiteral("removed stale temporary %1").arg(name);
        }
    }
    return removed;
}

bool TemporaryOutput::isTemporaryName(const QString &fileName)
{
    return ownerOf(fileName) > 0;
}

qint64 TemporaryOutput::ownerOf(const QString &fileName)
{
    if (!fileName.startsWith(kPrefix))
        return 0;
    const qsizetype start = kPrefix.size();
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'), start);
    if (dash <= start)
        return 0;
    bool ok = false;
    const qint64 pid = fileName.mid(start, dash - start).toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}
