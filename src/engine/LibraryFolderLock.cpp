#include "engine/LibraryFolderLock.h"

#include <QFile>
#include <QFileInfo>

#include <sys/statvfs.h>

namespace {
const QLatin1String kLockFileName(".wavelark-library.lock");
constexpr int kLockWaitMs = 60000;
} // namespace

LibraryFolderLock::LibraryFolderLock(const QString &folder)
    : m_folder(folder)
    , m_lock(folder + QLatin1Char('/') + kLockFileName)
{
    // Something else at the lock's path would look held for the whole wait.
    const QFileInfo existing(folder + QLatin1Char('/') + kLockFileName);
    if (existing.exists() && !existing.isFile()) {
        m_failure =
            QStringLiteral("the lock path %1 is not a file").arg(existing.absoluteFilePath());
        return;
    }
    m_lock.setStaleLockTime(30000);
    if (m_lock.tryLock(kLockWaitMs))
        return;
    m_failure = failureText(m_lock.error());
}

QString LibraryFolderLock::failureText(QLockFile::LockError error) const
{
    switch (error) {
    case QLockFile::LockFailedError:
        return QStringLiteral("the music library is locked by another program");
    case QLockFile::PermissionError:
        return QStringLiteral("no permission to create files in %1").arg(m_folder);
    default:
        break;
    }
    struct statvfs space = {};
    if (::statvfs(QFile::encodeName(m_folder).constData(), &space) == 0 && space.f_bavail == 0)
        return QStringLiteral("no space left on the disk of %1").arg(m_folder);
    return QStringLiteral("could not create the lock file in %1").arg(m_folder);
}
